#include "logfile/AscLog.h"

#include "capture/CanFrame.h"
#include "logfile/InterchangeFrame.h"

#include <algorithm>

namespace {

constexpr std::uint64_t MicrosecondsPerSecond = 1'000'000;
constexpr std::size_t IdentifierWidth = 15;

struct AscState {
    int base = 16;
    bool relative = false;
    std::uint64_t lastTime = 0; // microseconds, for relative time stamps
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

// A line that starts with a word: the header, comments and the like.
LineKind readWordLine(std::string_view first, std::string_view rest, AscState &state,
                      std::string &reason)
{
    if (first == "base")
        return readBase(rest, state, reason);
    const std::string_view second = nextToken(rest);
    if (first == "date" || (first == "internal" && second == "events")
        || (first == "no" && second == "internal")
        || ((first == "Begin" || first == "End") && equalsIgnoringCase(second, "triggerblock"))
        || (first == "//" && second == "version"))
        return LineKind::Ignored;
    return LineKind::Other;
}

LineKind readFrame(std::string_view idText, std::string_view rest, const AscState &state,
                   InterchangeFrame &frame, std::string &reason)
{
    const int base = state.base;
    frame.extended = !idText.empty() && (idText.back() == 'x' || idText.back() == 'X');
    if (frame.extended)
        idText.remove_suffix(1);
    if (!readNumber(idText, base, base == 16 ? 8 : 10, frame.id)
        || frame.id > (frame.extended ? LargestExtendedId : LargestStandardId)) {
        reason = "the identifier is no standard or extended (x) identifier in the file's base";
        return LineKind::Bad;
    }

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
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(dlc, 8); ++i) {
        std::uint32_t byte = 0;
        if (!readNumber(nextToken(rest), base, base == 16 ? 2 : 3, byte) || byte > 0xFF) {
            reason =
                "fewer data bytes than the DLC, or a byte that is no number in the file's base";
            return LineKind::Bad;
        }
        frame.data[i] = static_cast<std::uint8_t>(byte);
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
        return LineKind::FdFrame;
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

LogStatus ReadAscLog(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport &report)
{
    AscState state;
    return readFrameLines(
        bytes, frames, report,
        [&state](std::string_view line, InterchangeFrame &frame, std::string &reason) {
            return readLine(line, state, frame, reason);
        });
}

LogStatus WriteAscLog(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                      std::time_t savedAt)
{
    bytes.clear();
    bytes.reserve(80 + frames.size() * 64);
    bytes.append("date ");
    appendDate(bytes, savedAt);
    bytes.append("\nbase hex  timestamps absolute\nno internal events logged\n");
    for (const CAN_Packet &p : frames) {
        const std::string problem = interchangeProblem(p);
        if (!problem.empty()) {
            bytes.clear();
            report.unwritableFrame = "Frame " + std::to_string(p.number)
                + " cannot be written to an ASC log: " + problem + '.';
            return LogStatus::PacketError;
        }
        std::size_t start = bytes.size();
        appendDecimal(bytes, static_cast<std::uint32_t>(p.timestamp >> 32), 1);
        if (bytes.size() - start < 4)
            bytes.insert(start, 4 - (bytes.size() - start), ' ');
        bytes.push_back('.');
        appendDecimal(bytes, static_cast<std::uint32_t>(p.timestamp), 6);
        bytes.append(" 1  ");
        start = bytes.size();
        appendHex(bytes, p.id, 1);
        if (p.type & FrameType::Extended)
            bytes.push_back('x');
        appendPadded(bytes, start, IdentifierWidth);
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
