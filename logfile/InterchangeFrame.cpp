#include "logfile/InterchangeFrame.h"

#include "capture/CanFrame.h"

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr std::uint32_t MicrosecondsPerSecond = 1'000'000;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

int digitValue(char c, int base)
{
    int value = 99;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    return value < base ? value : -1;
}

std::string hexText(std::uint32_t value)
{
    std::string text = "0x";
    appendHex(text, value, 1);
    return text;
}

} // namespace

CAN_Packet toPacket(std::uint32_t number, const InterchangeFrame &frame)
{
    std::uint8_t type = FrameType::FrameBit;
    if (frame.remote)
        type |= FrameType::Remote;
    if (frame.extended)
        type |= FrameType::Extended;
    if (frame.transmitted)
        type |= FrameType::Transmitted;
    std::uint8_t data[8] = {};
    const int count = storedByteCount(type, frame.dlc);
    for (int i = 0; i < count; ++i)
        data[i] = frame.data[i];
    return CAN_Packet(number, type, frame.id, frame.dlc, data, frame.microseconds, frame.seconds,
                      formatDataText(data, count),
                      formatTimeText(frame.microseconds, frame.seconds));
}

std::string interchangeProblem(const CAN_Packet &packet)
{
    const int kind = packet.type & 0x0F;
    if (kind < FrameType::FrameBit || kind > (FrameType::FrameBit | FrameType::KindMask))
        return "its type " + std::to_string(packet.type) + " names no data or remote frame";
    if ((packet.type & FrameType::Extended) == 0 && packet.id > LargestStandardId)
        return "its standard identifier " + hexText(packet.id) + " is wider than 11 bits";
    if (packet.id > LargestExtendedId)
        return "its extended identifier " + hexText(packet.id) + " is wider than 29 bits";
    if (packet.dlc > LargestInterchangeDlc)
        return "its DLC " + std::to_string(packet.dlc) + " is above 15";
    const auto microseconds = static_cast<std::uint32_t>(packet.timestamp);
    if (microseconds >= MicrosecondsPerSecond)
        return "its time stamp holds " + std::to_string(microseconds)
            + " microseconds, a second or more";
    return {};
}

std::string_view nextToken(std::string_view &rest)
{
    std::size_t start = 0;
    while (start < rest.size() && isBlank(rest[start]))
        ++start;
    std::size_t end = start;
    while (end < rest.size() && !isBlank(rest[end]))
        ++end;
    const std::string_view token = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return token;
}

bool readSeconds(std::string_view text, std::uint32_t &seconds, std::uint32_t &microseconds)
{
    const std::size_t dot = text.find('.');
    if (!readNumber(text.substr(0, dot), 10, 10, seconds))
        return false;
    microseconds = 0;
    if (dot == std::string_view::npos)
        return true;
    const std::string_view fraction = text.substr(dot + 1);
    if (fraction.empty())
        return false;
    std::uint32_t scale = MicrosecondsPerSecond;
    for (const char c : fraction) {
        const int digit = digitValue(c, 10);
        if (digit < 0)
            return false;
        scale /= 10;
        microseconds += static_cast<std::uint32_t>(digit) * scale;
    }
    return true;
}

bool readNumber(std::string_view text, int base, std::size_t maxDigits, std::uint32_t &value)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    std::uint64_t result = 0;
    for (const char c : text) {
        const int digit = digitValue(c, base);
        if (digit < 0)
            return false;
        result = result * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (result > std::numeric_limits<std::uint32_t>::max())
            return false;
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

void appendHex(std::string &out, std::uint32_t value, int digits)
{
    char text[8];
    int count = 0;
    do {
        text[count++] = HexDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < digits; ++i)
        out.push_back('0');
    while (count > 0)
        out.push_back(text[--count]);
}

void appendDecimal(std::string &out, std::uint32_t value, int minDigits)
{
    char text[10];
    int count = 0;
    do {
        text[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < minDigits; ++i)
        out.push_back('0');
    while (count > 0)
        out.push_back(text[--count]);
}
