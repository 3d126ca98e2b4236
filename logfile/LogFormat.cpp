#include "logfile/LogFormat.h"

#include "capture/CanPacket.h"
#include "logfile/BinaryLog.h"
#include "logfile/TextLog.h"

LogFormat logFormatForPath(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && name.substr(dot + 1) == "dcu")
        return LogFormat::Binary;
    return LogFormat::Text;
}

LogStatus readLog(LogFormat format, std::string_view bytes, std::vector<CAN_Packet> &frames)
{
    switch (format) {
    case LogFormat::Binary:
        return ReadBinaryLog(bytes, frames);
    case LogFormat::Text:
        return ReadTextLog(bytes, frames);
    }
    frames.clear();
    return LogStatus::CanNotOpen;
}

LogStatus writeLog(LogFormat format, std::span<const CAN_Packet> frames, std::string &bytes)
{
    switch (format) {
    case LogFormat::Binary:
        WriteBinaryLog(frames, bytes);
        return LogStatus::Ok;
    case LogFormat::Text:
        return WriteTextLog(frames, bytes);
    }
    bytes.clear();
    return LogStatus::CanNotOpen;
}
