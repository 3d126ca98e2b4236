#include "logfile/CandumpLog.h"

#include "capture/CanFrame.h"
#include "capture/CaptureTime.h"
#include "logfile/InterchangeFrame.h"

namespace {

constexpr std::uint32_t ErrorFrameFlag = 0x20000000;
// What the reader takes: 10 digits and 32 bits of seconds.
constexpr std::uint64_t MaxSeconds = std::numeric_limits<std::uint32_t>::max();

int hexValue(char c)
{
    std::uint32_t value = 0;
    return readNumber(std::string_view(&c, 1), 16, 1, value) ? static_cast<int>(value) : -1;
}

// "8_X" after R, or "_X" after eight data bytes: a DLC of 9 to 15.
bool readLongDlc(std::string_view text, std::uint8_t &dlc)
{
    if (text.size() != 2 || text[0] != '_' || hexValue(text[1]) <= 8)
        return false;
    dlc = static_cast<std::uint8_t>(hexValue(text[1]));
    return true;
}

LineKind readRemote(std::string_view dlcText, InterchangeFrame &frame, std::string &reason)
{
    frame.remote = true;
    if (dlcText.empty())
        return LineKind::Frame;
    const int digit = hexValue(dlcText[0]);
    if (digit >= 0 && digit <= 8 && dlcText.size() == 1) {
        frame.dlc = static_cast<std::uint8_t>(digit);
        return LineKind::Frame;
    }
    if (digit == 8 && readLongDlc(dlcText.substr(1), frame.dlc))
        return LineKind::Frame;
    reason = "the remote frame's DLC is not a digit 0 to 8 (or 8_9 to 8_F)";
    return LineKind::Bad;
}

LineKind readData(std::string_view body, InterchangeFrame &frame, std::string &reason)
{
    std::size_t i = 0;
    int count = 0;
    while (i < body.size() && body[i] != '_') {
        if (body[i] == '.') {
            ++i;
            continue;
        }
        if (i + 1 >= body.size() || hexValue(body[i]) < 0 || hexValue(body[i + 1]) < 0) {
            reason = "the data is not pairs of hexadecimal digits";
            return LineKind::Bad;
        }
        if (count == 8) {
            reason = "more than 8 data bytes";
            return LineKind::Bad;
        }
        frame.data[count++] =
            static_cast<std::uint8_t>(hexValue(body[i]) * 16 + hexValue(body[i + 1]));
        i += 2;
    }
    frame.dlc = static_cast<std::uint8_t>(count);
    if (i < body.size() && (count != 8 || !readLongDlc(body.substr(i), frame.dlc))) {
        reason = "the DLC after '_' is not 9 to F after eight data bytes";
        return LineKind::Bad;
    }
    return LineKind::Frame;
}

LineKind readFrame(std::string_view text, InterchangeFrame &frame, std::string &reason)
{
    const std::size_t hash = text.find('#');
    if (hash == std::string_view::npos) {
        reason = "the frame has no '#' after its identifier";
        return LineKind::Bad;
    }
    const std::string_view idText = text.substr(0, hash);
    const std::string_view body = text.substr(hash + 1);
    frame.extended = idText.size() == 8;
    if ((idText.size() != 3 && !frame.extended) || !readNumber(idText, 16, 8, frame.id)) {
        reason = "the identifier is not 3 or 8 hexadecimal digits";
        return LineKind::Bad;
    }
    if (frame.extended && (frame.id & ErrorFrameFlag) != 0)
        return LineKind::ErrorFrame;
    if (!body.empty() && body.front() == '#')
        return LineKind::FdFrame;
    if (frame.id > (frame.extended ? LargestExtendedId : LargestStandardId)) {
        reason = frame.extended ? "the extended identifier is wider than 29 bits"
                                : "the standard identifier is above 7FF";
        return LineKind::Bad;
    }
    if (!body.empty() && (body.front() == 'R' || body.front() == 'r'))
        return readRemote(body.substr(1), frame, reason);
    return readData(body, frame, reason);
}

LineKind readLine(std::string_view line, InterchangeFrame &frame, std::string &reason)
{
    std::string_view rest = line;
    const std::string_view stamp = nextToken(rest);
    if (stamp.empty() || stamp.front() == '#')
        return LineKind::Ignored; // blank lines and comments
    if (stamp.size() < 3 || stamp.front() != '(' || stamp.back() != ')'
        || !readSeconds(stamp.substr(1, stamp.size() - 2), frame.seconds, frame.microseconds)) {
        reason = "no time stamp (seconds.microseconds) in parentheses at its start";
        return LineKind::Bad;
    }
    const std::string_view interface = nextToken(rest);
    const std::string_view frameText = nextToken(rest);
    const std::string_view mark = nextToken(rest);
    if (interface.empty() || frameText.empty()) {
        reason = "no interface and frame after the time stamp";
        return LineKind::Bad;
    }
    if ((!mark.empty() && mark != "T" && mark != "R") || !nextToken(rest).empty()) {
        reason = "text after the frame other than a direction mark T or R";
        return LineKind::Bad;
    }
    frame.transmitted = mark == "T";
    return readFrame(frameText, frame, reason);
}

} // namespace

LogStatus ReadCandumpLog(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport &report)
{
    return readFrameLines(bytes, frames, report, readLine);
}

LogStatus WriteCandumpLog(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                          CaptureStart start)
{
    bytes.clear();
    bytes.reserve(frames.size() * 48);
    for (const CAN_Packet &p : frames) {
        const std::uint64_t time = packetMicroseconds(p) + start.value_or(0);
        std::string problem = interchangeProblem(p);
        if (problem.empty() && time / MicrosecondsPerSecond > MaxSeconds)
            problem = "its time lies beyond the 10 digits of seconds of these logs";
        if (!problem.empty()) {
            bytes.clear();
            report.unwritableFrame = "Frame " + std::to_string(p.number)
                + " cannot be written to a candump log: " + problem + '.';
            return LogStatus::PacketError;
        }
        const bool extended = (p.type & FrameType::Extended) != 0;
        bytes.push_back('(');
        appendDecimal(bytes, static_cast<std::uint32_t>(time / MicrosecondsPerSecond), 10);
        bytes.push_back('.');
        appendDecimal(bytes, static_cast<std::uint32_t>(time % MicrosecondsPerSecond), 6);
        bytes.append(") can0 ");
        appendHex(bytes, p.id, extended ? 8 : 3);
        bytes.push_back('#');
        if (p.type & FrameType::Remote) {
            bytes.push_back('R');
            if (p.dlc > 0)
                appendDecimal(bytes, std::min<std::uint32_t>(p.dlc, 8), 1);
        } else {
            for (int i = 0; i < storedByteCount(p.type, p.dlc); ++i)
                appendHex(bytes, p.data[i], 2);
        }
        if (p.dlc > 8) {
            bytes.push_back('_');
            appendHex(bytes, p.dlc, 1);
        }
        bytes.append((p.type & FrameType::Transmitted) ? " T\n" : " R\n");
    }
    return LogStatus::Ok;
}
