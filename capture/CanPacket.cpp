#include "capture/CanPacket.h"

#include "capture/CanFrame.h"

#include <utility>

CAN_Packet::CAN_Packet(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                       const std::uint8_t (&data)[8], std::uint32_t timestampLow,
                       std::uint32_t timestampHigh, PacketText dataText, PacketText timeText)
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
char *appendDecimal(char *out, std::uint32_t value, int width)
{
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < width; ++i)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

} // namespace

PacketText formatDataText(const std::uint8_t *bytes, int count)
{
    if (count <= 0)
        return {};
    // At most eight bytes: 23 characters.
    char text[8 * 3];
    char *out = text;
    for (int i = 0; i < count && i < 8; ++i) {
        if (i > 0)
            *out++ = ' ';
        *out++ = HexDigits[bytes[i] >> 4];
        *out++ = HexDigits[bytes[i] & 0x0F];
    }
    return PacketText(std::string_view(text, static_cast<std::size_t>(out - text)));
}

PacketText formatTimeText(std::uint32_t timestampLow, std::uint32_t timestampHigh)
{
    const std::uint32_t seconds = timestampHigh & 0xFFFF;
    // Four digits of minutes at most, seven of milliseconds: 20 characters.
    char text[32];
    char *out = text;
    out = appendDecimal(out, seconds / 60, 2);
    *out++ = ':';
    out = appendDecimal(out, seconds % 60, 2);
    *out++ = ' ';
    *out++ = ' ';
    out = appendDecimal(out, timestampLow / 1000, 3);
    *out++ = '.';
    out = appendDecimal(out, timestampLow % 1000, 3);
    return PacketText(std::string_view(text, static_cast<std::size_t>(out - text)));
}
