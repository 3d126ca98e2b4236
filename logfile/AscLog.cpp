#include "logfile/AscLog.h"

#include "capture/CanFrame.h"
#include "logfile/InterchangeFrame.h"

#include <algorithm>
#include <ctime>
#include <iterator>

namespace {

constexpr std::size_t IdentifierWidth = 15;

constexpr std::uint32_t FdEdlFlag = 0x1000;    // the frame is a CAN FD frame
constexpr std::uint32_t FdRemoteFlag = 0x0010; // a classic remote frame

struct AscState {
    int base = 16;
    bool relative = false;
    std::uint64_t lastTime = 0; // microseconds, for relative time stamps
    CaptureStart date;          // the "date" line, when it could be read
};

bool startsWithDigit(std::string_view text)
{
    return !text.empty() && text.front() >= '0' && text.front() <= '9';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

LineKind readBase(std::string_view rest, AscState &state, std::string &reason)
{
    const std::string_view base = nextToken(rest);
    const std::string_view timestamps = nextToken(rest);
    const std::string_view mode = nextToken(rest);
    if (base != "hex" && base != "dec") {
        reason = "the base is neither hex nor dec";
        return LineKind::Bad;
    }
    if (!timestamps.empty()
        && (timestamps != "timestamps" || (mode != "absolute" && mode != "relative"))) {
        reason = "the time stamps are neither absolute nor relative";
        return LineKind::Bad;
    }
    state.base = base == "hex" ? 16 : 10;
    state.relative = mode == "relative";
    return LineKind::Ignored;
}

// "Tue Nov 14 22:13:20 2023", "Tue Nov 14 10:13:20.123 pm 2023": local time,
// with milliseconds and am/pm as Vector's tools write it. Empty when the text
// is no such date.
CaptureStart readDate(std::string_view rest)
{
    static constexpr std::string_view Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    nextToken(rest); // the day of the week
    const std::string_view month = nextToken(rest);
    const std::string_view day = nextToken(rest);
    std::string_view clock = nextToken(rest);
    std::string_view year = nextToken(rest);
    std::string_view half;
    if (equalsIgnoringCase(year, "am") || equalsIgnoringCase(year, "pm")) {
        half = year;
        year = nextToken(rest);
    }
    std::tm local{};
    const auto monthAt =
        std::find_if(std::begin(Months), std::end(Months),
                     [&](std::string_view m) { return equalsIgnoringCase(m, month); });
    std::uint32_t values[5] = {};
    const std::size_t colon = clock.find(':');
    const std::size_t second = clock.find(':', colon + 1);
    std::uint32_t seconds = 0;
    std::uint32_t micros = 0;
    if (monthAt == std::end(Months) || colon == std::string_view::npos
        || second == std::string_view::npos || !readNumber(day, 10, 2, values[0])
        || !readNumber(clock.substr(0, colon), 10, 2, values[1])
        || !readNumber(clock.substr(colon + 1, second - colon - 1), 10, 2, values[2])
        || !readSeconds(clock.substr(second + 1), seconds, micros)
        || !readNumber(year, 10, 4, values[3]) || values[3] < 1970 || seconds > 60)
        return {};
    std::uint32_t hour = values[1];
    if (!half.empty()) {
        if (hour < 1 || hour > 12)
            return {};
        hour = hour % 12 + (equalsIgnoringCase(half, "pm") ? 12 : 0);
    }
    local.tm_year = static_cast<int>(values[3]) - 1900;
    local.tm_mon = static_cast<int>(monthAt - std::begin(Months));
    local.tm_mday = static_cast<int>(values[0]);
    local.tm_hour = static_cast<int>(hour);
    local.tm_min = static_cast<int>(values[2]);
    local.tm_sec = static_cast<int>(seconds);
    local.tm_isdst = -1;
    const std::time_t at = std::mktime(&local);
    if (at < 0)
        return {};
    return static_cast<std::uint64_t>(at) * MicrosecondsPerSecond + micros;
}

// A line that starts with a word: the header, comments and the like.
LineKind readWordLine(std::string_view first, std::string_view rest, AscState &state,
                      std::string &reason)
{
    if (first == "base")
        return readBase(rest, state, reason);
    if (first == "date") {
        state.date = readDate(rest);
        return LineKind::Ignored;
    }
    const std::string_view second = nextToken(rest);
    if ((first == "internal" && second == "events") || (first == "no" && second == "internal")
        || ((first == "Begin" || first == "End") && equalsIgnoringCase(second, "triggerblock"))
        || (first == "//" && second == "version"))
        return LineKind::Ignored;
    return LineKind::Other;
}

bool readIdentifier(std::string_view idText, int base, InterchangeFrame &frame, std::string &reason)
{
    frame.extended = !idText.empty() && (idText.back() == 'x' || idText.back() == 'X');
    if (frame.extended)
        idText.remove_suffix(1);
    if (!readNumber(idText, base, base == 16 ? 8 : 10, frame.id)
        || frame.id > (frame.extended ? LargestExtendedId : LargestStandardId)) {
        reason = "the identifier is no standard or extended (x) identifier in the file's base";
        return false;
    }
    return true;
}

bool readDataBytes(std::string_view &rest, int base, std::uint32_t count, InterchangeFrame &frame)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t byte = 0;
        if (!readNumber(nextToken(rest), base, base == 16 ? 2 : 3, byte) || byte > 0xFF)
            return false;
        frame.data[i] = static_cast<std::uint8_t>(byte);
    }
    return true;
}

// What follows "CANFD": channel, Rx or Tx, identifier, an optional symbolic
// name, BRS, ESI, DLC, data length, the data bytes, message duration, bit
// count and the flags. Loggers that can write CAN FD write classic frames
// this way too, with the EDL flag clear: those are read as classic frames.
LineKind readFdLine(std::string_view rest, const AscState &state, InterchangeFrame &frame,
                    std::string &reason)
{
    std::uint32_t channel = 0;
    if (!readNumber(nextToken(rest), 10, 10, channel))
        return LineKind::Other;
    const std::string_view direction = nextToken(rest);
    const std::string_view idText = nextToken(rest);
    if (idText == "ErrorFrame")
        return LineKind::ErrorFrame;
    if (direction != "Rx" && direction != "Tx")
        return LineKind::Other;
    frame.transmitted = direction == "Tx";
    if (!readIdentifier(idText, state.base, frame, reason))
        return LineKind::Bad;

    std::string_view brs = nextToken(rest);
    if (brs != "0" && brs != "1")
        brs = nextToken(rest); // after the symbolic name
    nextToken(rest);           // ESI
    std::uint32_t dlc = 0;
    std::uint32_t length = 0;
    if (!readNumber(nextToken(rest), state.base, 2, dlc)
        || !readNumber(nextToken(rest), 10, 2, length)) {
        reason = "the CAN FD frame's DLC or data length is no number";
        return LineKind::Bad;
    }
    if (length > 64) {
        reason = "the CAN FD frame's data length is above 64";
        return LineKind::Bad;
    }
    InterchangeFrame classic = frame;
    const bool fitsClassic = dlc <= LargestInterchangeDlc && length <= 8;
    if (fitsClassic && !readDataBytes(rest, state.base, length, classic)) {
        reason =
            "fewer data bytes than the data length, or a byte that is no number in the file's base";
        return LineKind::Bad;
    }
    if (!fitsClassic)
        for (std::uint32_t i = 0; i < length; ++i)
            nextToken(rest);
    nextToken(rest); // message duration
    nextToken(rest); // bit count
    std::uint32_t flags = 0;
    if (!fitsClassic || !readNumber(nextToken(rest), 16, 8, flags) || (flags & FdEdlFlag) != 0)
        return LineKind::FdFrame;

    classic.remote = (flags & FdRemoteFlag) != 0;
    if (!classic.remote && length != std::min<std::uint32_t>(dlc, 8)) {
        reason = "the data length does not match the DLC of a classic frame";
        return LineKind::Bad;
    }
    classic.dlc = static_cast<std::uint8_t>(dlc);
    frame = classic;
    return LineKind::Frame;
}

LineKind readFrame(std::string_view idText, std::string_view rest, const AscState &state,
                   InterchangeFrame &frame, std::string &reason)
{
    const int base = state.base;
    if (!readIdentifier(idText, base, frame, reason))
        return LineKind::Bad;

    const std::string_view kind = nextToken(rest);
    std::uint32_t dlc = 0;
    const auto readDlc = [&](std::string_view text) {
        return readNumber(text, base, 2, dlc) && dlc <= LargestInterchangeDlc;
    };
    if (kind == "r") {
        frame.remote = true;
        if (readDlc(nextToken(rest)))
            frame.dlc = static_cast<std::uint8_t>(dlc);
        return LineKind::Frame;
    }
    if (kind != "d") {
        reason = "the frame is neither d (data) nor r (remote)";
        return LineKind::Bad;
    }
    if (!readDlc(nextToken(rest))) {
        reason = "the DLC is no number 0 to 15 in the file's base";
        return LineKind::Bad;
    }
    frame.dlc = static_cast<std::uint8_t>(dlc);
    if (!readDataBytes(rest, base, std::min<std::uint32_t>(dlc, 8), frame)) {
        reason = "fewer data bytes than the DLC, or a byte that is no number in the file's base";
        return LineKind::Bad;
    }
    return LineKind::Frame;
}

LineKind readLine(std::string_view line, AscState &state, InterchangeFrame &frame,
                  std::string &reason)
{
    std::string_view rest = line;
    const std::string_view first = nextToken(rest);
    if (first.empty())
        return LineKind::Ignored;
    if (!startsWithDigit(first))
        return readWordLine(first, rest, state, reason);

    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
    if (!readSeconds(first, seconds, microseconds)) {
        reason = "the time is no number of seconds";
        return LineKind::Bad;
    }
    std::uint64_t time = seconds * MicrosecondsPerSecond + microseconds;
    if (state.relative)
        time += state.lastTime;
    if (time / MicrosecondsPerSecond > std::numeric_limits<std::uint32_t>::max()) {
        reason = "the time lies beyond 2^32 seconds";
        return LineKind::Bad;
    }
    state.lastTime = time;
    frame.seconds = static_cast<std::uint32_t>(time / MicrosecondsPerSecond);
    frame.microseconds = static_cast<std::uint32_t>(time % MicrosecondsPerSecond);

    const std::string_view channel = nextToken(rest);
    std::uint32_t channelNumber = 0;
    if (channel == "CANFD")
        return readFdLine(rest, state, frame, reason);
    if (!readNumber(channel, 10, 10, channelNumber)) {
        const bool start = channel == "Start" && nextToken(rest) == "of"
            && nextToken(rest) == "measurement" && nextToken(rest).empty();
        return start ? LineKind::Ignored : LineKind::Other;
    }
    const std::string_view idText = nextToken(rest);
    if (idText == "ErrorFrame")
        return LineKind::ErrorFrame;
    const std::string_view direction = nextToken(rest);
    if (direction != "Rx" && direction != "Tx")
        return LineKind::Other;
    frame.transmitted = direction == "Tx";
    return readFrame(idText, rest, state, frame, reason);
}

void appendDate(std::string &out, std::time_t at)
{
    static constexpr const char *Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char *Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (!localtime_r(&at, &local))
        local = std::tm{};
    out.append(Days[std::clamp(local.tm_wday, 0, 6)]);
    out.push_back(' ');
    out.append(Months[std::clamp(local.tm_mon, 0, 11)]);
    out.push_back(' ');
    if (local.tm_mday < 10)
        out.push_back(' ');
    appendDecimal(out, static_cast<std::uint32_t>(local.tm_mday), 1);
    out.push_back(' ');
    appendDecimal(out, static_cast<std::uint32_t>(local.tm_hour), 2);
    out.push_back(':');
    appendDecimal(out, static_cast<std::uint32_t>(local.tm_min), 2);
    out.push_back(':');
    appendDecimal(out, static_cast<std::uint32_t>(local.tm_sec), 2);
    out.push_back(' ');
    appendDecimal(out, static_cast<std::uint32_t>(local.tm_year + 1900), 1);
}

void appendPadded(std::string &out, std::size_t start, std::size_t width)
{
    if (out.size() - start < width)
        out.append(width - (out.size() - start), ' ');
}

} // namespace

LogStatus ReadAscLog(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport &report,
                     CaptureStart *date)
{
    AscState state;
    const LogStatus status = readFrameLines(
        bytes, frames, report,
        [&state](std::string_view line, InterchangeFrame &frame, std::string &reason) {
            return readLine(line, state, frame, reason);
        });
    if (date)
        *date = state.date;
    return status;
}

void AppendAscHeader(std::string &bytes, std::time_t savedAt)
{
    bytes.append("date ");
    appendDate(bytes, savedAt);
    bytes.append("\nbase hex  timestamps absolute\nno internal events logged\n");
}

LogStatus AppendAscFrames(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                          std::int64_t timeShift)
{
    const std::size_t before = bytes.size();
    bytes.reserve(before + frames.size() * 64);
    for (const CAN_Packet &p : frames) {
        const std::string problem = interchangeProblem(p);
        if (!problem.empty()) {
            bytes.resize(before);
            report.unwritableFrame = "Frame " + std::to_string(p.number)
                + " cannot be written to an ASC log: " + problem + '.';
            return LogStatus::PacketError;
        }
        const std::int64_t shifted = static_cast<std::int64_t>(packetMicroseconds(p)) + timeShift;
        const auto time = static_cast<std::uint64_t>(std::max<std::int64_t>(shifted, 0));
        const std::string seconds = std::to_string(time / MicrosecondsPerSecond);
        if (seconds.size() < 4)
            bytes.append(4 - seconds.size(), ' ');
        bytes.append(seconds);
        bytes.push_back('.');
        appendDecimal(bytes, static_cast<std::uint32_t>(time % MicrosecondsPerSecond), 6);
        bytes.append(" 1  ");
        const std::size_t idStart = bytes.size();
        appendHex(bytes, p.id, 1);
        if (p.type & FrameType::Extended)
            bytes.push_back('x');
        appendPadded(bytes, idStart, IdentifierWidth);
        bytes.append((p.type & FrameType::Transmitted) ? " Tx   " : " Rx   ");
        bytes.append((p.type & FrameType::Remote) ? "r " : "d ");
        appendHex(bytes, p.dlc, 1);
        for (int i = 0; i < storedByteCount(p.type, p.dlc); ++i) {
            bytes.push_back(' ');
            appendHex(bytes, p.data[i], 2);
        }
        bytes.push_back('\n');
    }
    return LogStatus::Ok;
}

LogStatus WriteAscLog(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                      std::time_t savedAt, CaptureStart start)
{
    // With the capture's start known, the date is the second of the first
    // frame and the times count from it; otherwise the date is the saving's
    // and the times are the frames' own.
    std::int64_t timeShift = 0;
    if (start) {
        std::uint64_t first = frames.empty() ? 0 : packetMicroseconds(frames.front());
        for (const CAN_Packet &p : frames)
            first = std::min(first, packetMicroseconds(p));
        const std::uint64_t dateMicros =
            (*start + first) / MicrosecondsPerSecond * MicrosecondsPerSecond;
        savedAt = static_cast<std::time_t>(dateMicros / MicrosecondsPerSecond);
        timeShift = static_cast<std::int64_t>(*start) - static_cast<std::int64_t>(dateMicros);
    }
    bytes.clear();
    bytes.reserve(80 + frames.size() * 64);
    AppendAscHeader(bytes, savedAt);
    const LogStatus status = AppendAscFrames(frames, bytes, report, timeShift);
    if (status != LogStatus::Ok)
        bytes.clear();
    return status;
}

void AppendAscComment(std::string &bytes, std::string_view text)
{
    bytes.append("// ");
    bytes.append(text);
    bytes.push_back('\n');
}
