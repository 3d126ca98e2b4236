#include "logfile/BinaryLog.h"

#include "capture/CanPacket.h"
#include "logfile/ArchivedString.h"
#include "logfile/ByteReader.h"
#include "logfile/LogReport.h"

#include <algorithm>
#include <cstring>

namespace {

// The fixed fields of a record and two empty single-byte strings: the least
// a record can take, which bounds the count a log of a given size can hold.
constexpr std::size_t FixedRecordSize = 26;
constexpr std::size_t SmallestRecordSize = FixedRecordSize + 2;

template <typename T> void appendLittleEndian(std::string &out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool readRecord(ByteReader &in, CAN_Packet &packet)
{
    std::string_view data;
    if (!in.read(packet.number) || !in.read(packet.type) || !in.read(packet.id)
        || !in.read(packet.dlc) || !in.take(sizeof packet.data, data))
        return false;
    std::memcpy(packet.data, data.data(), sizeof packet.data);
    std::string dataText;
    std::string timeText;
    if (!in.read(packet.timestamp) || !readArchivedString(in, dataText)
        || !readArchivedString(in, timeText))
        return false;
    packet.dataText = dataText;
    packet.timeText = timeText;
    return true;
}

} // namespace

LogStatus ReadBinaryLog(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport *report)
{
    frames.clear();
    const auto refuse = [&](std::string problem) {
        frames.clear();
        if (report)
            report->problem = std::move(problem);
        return LogStatus::CanNotOpen;
    };
    const auto truncated = [&](std::string_view what) {
        return refuse("truncated at byte " + std::to_string(bytes.size()) + " (" + std::string(what)
                      + ")");
    };
    ByteReader in(bytes);
    std::uint8_t magic = 0;
    std::uint32_t storedCount = 0;
    if (!in.read(magic))
        return refuse("empty, no binary log");
    if (magic != BinaryLogMagic)
        return refuse("no binary log (its first byte is not CC)");
    if (!in.read(storedCount))
        return truncated("it ends inside its frame count");

    const auto count = static_cast<std::int32_t>(storedCount);
    if (count <= 0)
        return LogStatus::Ok;
    const std::string announced = std::to_string(count) + " frames it announces";
    if (static_cast<std::size_t>(count) > in.remaining() / SmallestRecordSize)
        return truncated("too short for the " + announced);

    frames.reserve(std::min(static_cast<std::size_t>(count), LogReserveLimit));
    for (std::int32_t i = 0; i < count; ++i) {
        CAN_Packet packet;
        if (!readRecord(in, packet))
            return truncated("it ends inside frame " + std::to_string(i) + " of the " + announced);
        frames.push_back(std::move(packet));
    }
    return LogStatus::Ok;
}

void WriteBinaryLog(std::span<const CAN_Packet> frames, std::string &bytes)
{
    bytes.clear();
    // Records of a live capture take 26 bytes and two strings of up to 23
    // and 14 characters.
    bytes.reserve(5 + frames.size() * (FixedRecordSize + 2 * 4 + 2 * (23 + 14)));
    bytes.push_back(static_cast<char>(BinaryLogMagic));
    appendLittleEndian(bytes, static_cast<std::uint32_t>(frames.size()));
    for (const CAN_Packet &p : frames) {
        appendLittleEndian(bytes, p.number);
        appendLittleEndian(bytes, p.type);
        appendLittleEndian(bytes, p.id);
        appendLittleEndian(bytes, p.dlc);
        bytes.append(reinterpret_cast<const char *>(p.data), 8);
        appendLittleEndian(bytes, p.timestamp);
        appendArchivedString(bytes, p.dataText);
        appendArchivedString(bytes, p.timeText);
    }
}
