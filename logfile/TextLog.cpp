#include "logfile/TextLog.h"

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"
#include "logfile/LogReport.h"
#include "logfile/TextEncoding.h"
#include "logfile/TextLogFields.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace {

constexpr std::size_t FieldCount = 8;
constexpr char LineEnd[] = {'\0', '\r', '\n'};
constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr std::uint8_t ExtendedRemoteKind =
    FrameType::FrameBit | FrameType::Extended | FrameType::Remote;
// The store's page window counts in int32.
constexpr std::size_t MaxFrames = std::numeric_limits<std::int32_t>::max();

bool isBlankLine(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::array<std::string_view, FieldCount> splitFields(std::string_view line)
{
    std::array<std::string_view, FieldCount> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i < FieldCount; ++i) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields[i] = line.substr(start);
            break;
        }
        fields[i] = line.substr(start, comma - start);
        start = comma + 1;
    }
    return fields;
}

int dataByteCount(std::uint8_t dlc)
{
    return std::min<int>(dlc, 8);
}

// Reads a frame from the line; on failure, reason tells why.
bool readLine(std::string_view line, CAN_Packet &packet, std::string &reason)
{
    const auto fields = splitFields(line);
    const DecimalField type = readDecimalField(fields[1]);
    packet.type = static_cast<std::uint8_t>(type.value);
    if (!type.isNumber) {
        reason = "its second field (the frame type) is no number";
        return false;
    }
    if ((packet.type & FrameType::FrameBit) == 0) {
        reason = "its frame type " + std::to_string(packet.type) + " names no data or remote frame";
        return false;
    }

    packet.number = static_cast<std::uint32_t>(readDecimalField(fields[0]).value);
    packet.id = readHexField(fields[2]);
    packet.dlc = static_cast<std::uint8_t>(readDecimalField(fields[3]).value);
    readDataField(fields[4], dataByteCount(packet.dlc), packet.data);
    packet.timestamp = readUnsignedDecimalField(fields[5]);
    std::string text;
    appendLatin1AsUtf8(text, fields[6]);
    packet.dataText = text;
    text.clear();
    appendLatin1AsUtf8(text, fields[7]);
    packet.timeText = text;
    return true;
}

template <typename T> void appendDecimal(std::string &out, T value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendHex(std::string &out, std::uint32_t value, int minDigits)
{
    char digits[8];
    int count = 0;
    do {
        digits[count++] = HexDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < minDigits; ++i)
        out.push_back('0');
    while (count > 0)
        out.push_back(digits[--count]);
}

// A text field as single-byte text that keeps the line's eight fields.
void appendTextField(std::string &out, std::string_view utf8)
{
    const std::size_t start = out.size();
    appendUtf8AsLatin1(out, utf8);
    std::replace_if(
        out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
        [](char c) { return c == ',' || c == '\n' || c == '\0'; }, ' ');
}

} // namespace

LogStatus ReadTextLog(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport *report)
{
    frames.clear();
    const auto lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    frames.reserve(std::min(lines, LogReserveLimit));

    std::size_t position = 0;
    std::size_t lineNumber = 0;
    while (position < bytes.size()) {
        const std::size_t feed = bytes.find('\n', position);
        const std::size_t end = feed == std::string_view::npos ? bytes.size() : feed;
        std::string_view line = bytes.substr(position, end - position);
        position = end + 1;
        ++lineNumber;

        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = line.substr(0, line.find('\0'));
        if (isBlankLine(line))
            continue;

        CAN_Packet packet;
        std::string reason = "more frames than a capture can hold";
        if (frames.size() >= MaxFrames || !readLine(line, packet, reason)) {
            frames.clear();
            if (report)
                report->addBadLine(lineNumber, reason);
            return LogStatus::FileOpenError;
        }
        frames.push_back(std::move(packet));
    }
    return LogStatus::Ok;
}

LogStatus WriteTextLog(std::span<const CAN_Packet> frames, std::string &bytes)
{
    bytes.clear();
    bytes.reserve(frames.size() * 80);
    for (const CAN_Packet &p : frames) {
        const int kind = p.type & 0x0F;
        if (kind < FrameType::FrameBit || kind > ExtendedRemoteKind) {
            bytes.clear();
            return LogStatus::PacketError;
        }
        appendDecimal(bytes, static_cast<std::int32_t>(p.number));
        bytes.push_back(',');
        appendDecimal(bytes, int{p.type});
        bytes.append(",0x");
        appendHex(bytes, p.id, kind == ExtendedRemoteKind ? 8 : 4);
        bytes.push_back(',');
        appendDecimal(bytes, int{p.dlc});
        bytes.push_back(',');
        for (int i = 0; i < dataByteCount(p.dlc); ++i) {
            bytes.push_back(HexDigits[p.data[i] >> 4]);
            bytes.push_back(HexDigits[p.data[i] & 0x0F]);
        }
        bytes.push_back(',');
        appendDecimal(bytes, p.timestamp);
        bytes.push_back(',');
        appendTextField(bytes, p.dataText);
        bytes.push_back(',');
        appendTextField(bytes, p.timeText);
        bytes.append(LineEnd, sizeof LineEnd);
    }
    return LogStatus::Ok;
}
