#include "capture/CanPacket.h"

#include "capture/CanFrame.h"

#include <utility>

CAN_Packet::CAN_Packet(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                       const std::uint8_t (&data)[8], std::uint32_t timestampLow,
                       std::uint32_t timestampHigh, std::string dataText, std::string timeText)
    : number(number)
    , type(type)
    , id(id)
    , dlc(dlc)
    , timestamp((std::uint64_t{timestampHigh} << 32) | timestampLow)
    , dataText(std::move(dataText))
    , timeText(std::move(timeText))
{
    for (int i = 0; i < 8; ++i)
        this->data[i] = data[i];
}

int storedByteCount(std::uint8_t type, std::uint8_t dlc)
{
    if (type & FrameType::Remote)
        return 0;
    const auto signedDlc = static_cast<std::int8_t>(dlc);
    if (signedDlc <= 0)
        return 0;
    return signedDlc > 8 ? 8 : signedDlc;
}

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

// Appends value in decimal, zero-padded to at least width digits.
void appendDecimal(std::string &out, std::uint32_t value, int width)
{
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < width; ++i)
        out.push_back('0');
    while (count > 0)
        out.push_back(digits[--count]);
}

} // namespace

std::string formatDataText(const std::uint8_t *bytes, int count)
{
    std::string text;
    if (count <= 0)
        return text;
    text.reserve(static_cast<std::size_t>(count) * 3 - 1);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text.push_back(' ');
        text.push_back(HexDigits[bytes[i] >> 4]);
        text.push_back(HexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string formatTimeText(std::uint32_t timestampLow, std::uint32_t timestampHigh)
{
    const std::uint32_t seconds = timestampHigh & 0xFFFF;
    std::string text;
    text.reserve(15);
    appendDecimal(text, seconds / 60, 2);
    text.push_back(':');
    appendDecimal(text, seconds % 60, 2);
    text.append("  ");
    appendDecimal(text, timestampLow / 1000, 3);
    text.push_back('.');
    appendDecimal(text, timestampLow % 1000, 3);
    return text;
}
