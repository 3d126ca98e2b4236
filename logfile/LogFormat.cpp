#include "logfile/LogFormat.h"

#include "capture/CanPacket.h"
#include "logfile/AscLog.h"
#include "logfile/BinaryLog.h"
#include "logfile/CandumpLog.h"
#include "logfile/TextLog.h"

#include <algorithm>
#include <ctime>

namespace {

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase)
{
    return std::equal(
        text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
        [](char c, char lower) { return (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) == lower; });
}

} // namespace

LogFormat logFormatForPath(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos)
        return LogFormat::Text;
    const std::string_view extension = name.substr(dot + 1);
    if (extension == "dcu")
        return LogFormat::Binary;
    if (equalsIgnoringCase(extension, "log"))
        return LogFormat::Candump;
    if (equalsIgnoringCase(extension, "asc"))
        return LogFormat::Asc;
    return LogFormat::Text;
}

LogStatus readLog(LogFormat format, std::string_view bytes, std::vector<CAN_Packet> &frames,
                  LogReport *report)
{
    LogReport ownReport;
    LogReport &notes = report ? *report : ownReport;
    notes = LogReport{};
    switch (format) {
    case LogFormat::Binary:
        return ReadBinaryLog(bytes, frames, &notes);
    case LogFormat::Text:
        return ReadTextLog(bytes, frames, &notes);
    case LogFormat::Candump:
        return ReadCandumpLog(bytes, frames, notes);
    case LogFormat::Asc:
        return ReadAscLog(bytes, frames, notes);
    }
    frames.clear();
    return LogStatus::CanNotOpen;
}

LogStatus openLog(LogFormat format, std::string_view bytes, std::vector<CAN_Packet> &frames,
                  LogReport &report, CaptureStart &start)
{
    start.reset();
    CaptureStart date;
    LogStatus status = LogStatus::Ok;
    if (format == LogFormat::Asc) {
        report = LogReport{};
        status = ReadAscLog(bytes, frames, report, &date);
    } else {
        status = readLog(format, bytes, frames, &report);
    }
    if (status != LogStatus::Ok)
        return status;

    if (format == LogFormat::Candump || format == LogFormat::Asc) {
        if (frames.empty()) {
            start = date;
        } else {
            std::uint64_t first = packetMicroseconds(frames.front());
            for (const CAN_Packet &p : frames)
                first = std::min(first, packetMicroseconds(p));
            start = date.value_or(0) + first;
            for (CAN_Packet &p : frames)
                p = withMicroseconds(p, packetMicroseconds(p) - first);
        }
    }
    for (CAN_Packet &p : frames) {
        if (p.dlc > 8) {
            p.dlc = 8;
            ++report.clippedDlcFrames;
        }
    }
    return LogStatus::Ok;
}

LogStatus writeLog(LogFormat format, std::span<const CAN_Packet> frames, std::string &bytes,
                   LogReport *report, CaptureStart start)
{
    LogReport ownReport;
    LogReport &notes = report ? *report : ownReport;
    notes = LogReport{};
    switch (format) {
    case LogFormat::Binary:
        WriteBinaryLog(frames, bytes);
        return LogStatus::Ok;
    case LogFormat::Text:
        return WriteTextLog(frames, bytes);
    case LogFormat::Candump:
        return WriteCandumpLog(frames, bytes, notes, start);
    case LogFormat::Asc:
        return WriteAscLog(frames, bytes, notes, std::time(nullptr), start);
    }
    bytes.clear();
    return LogStatus::CanNotOpen;
}
