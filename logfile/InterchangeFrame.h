#pragma once

#include "capture/CanPacket.h"
#include "logfile/LogReport.h"
#include "logfile/LogStatus.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// What the logs of other CAN tools (candump logs, ASC files) carry of a frame:
// its kind, direction, identifier, DLC, data and time. Frame numbers follow
// the order of the lines; other type bits and the tools' channels are not kept.
struct InterchangeFrame {
    bool extended = false;
    bool remote = false;
    bool transmitted = false;
    std::uint32_t id = 0;
    std::uint8_t dlc = 0;
    std::uint8_t data[8] = {};
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
};

// A classic CAN DLC above 8 still means eight data bytes.
inline constexpr std::uint8_t LargestInterchangeDlc = 15;
inline constexpr std::uint32_t LargestStandardId = 0x7FF;
inline constexpr std::uint32_t LargestExtendedId = 0x1FFFFFFF;
inline constexpr std::size_t LongestLogLine = 4096;

// The frame as the store keeps it, its data text and time text built as for
// a live frame.
CAN_Packet toPacket(std::uint32_t number, const InterchangeFrame &frame);

// Why a stored frame cannot be written to these logs (they would read it back
// differently or not at all); empty when it can.
std::string interchangeProblem(const CAN_Packet &packet);

// The next blank-separated token of rest, taken off its front; empty at the end.
std::string_view nextToken(std::string_view &rest);

// "seconds[.fraction]" in decimal: seconds up to 2^32 - 1, the fraction cut
// to microseconds.
bool readSeconds(std::string_view text, std::uint32_t &seconds, std::uint32_t &microseconds);

// A number of 1 to maxDigits digits in base 16 or 10 and nothing else.
bool readNumber(std::string_view text, int base, std::size_t maxDigits, std::uint32_t &value);

void appendHex(std::string &out, std::uint32_t value, int digits);
void appendDecimal(std::string &out, std::uint32_t value, int minDigits);

// What one line of a log holds.
enum class LineKind {
    Frame,
    Ignored,    // blank, or a header line of the format
    ErrorFrame, // skipped and counted
    FdFrame,    // skipped and counted
    Other,      // skipped and counted: comments, statistics, events
    Bad,        // makes the file bad
};

// Reads a log line by line (LF or CR LF) through parse(line, frame, reason),
// which returns the line's kind and, for a bad line, its reason. Lines longer
// than LongestLogLine are bad. The whole file is read, so that the report
// counts every bad line; any bad line refuses the file (FileOpenError), except
// an unreadable last line without a line end, which a writer that stopped
// left behind: it is passed over and noted in the report.
template <typename Parse>
LogStatus readFrameLines(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport &report,
                         Parse parse)
{
    // The store's page window counts in int32.
    constexpr std::size_t MaxFrames = std::numeric_limits<std::int32_t>::max();
    frames.clear();
    frames.reserve(std::min(LogReserveLimit, bytes.size() / 16 + 1));
    std::size_t position = 0;
    std::size_t number = 0;
    while (position < bytes.size()) {
        const std::size_t feed = bytes.find('\n', position);
        const std::size_t end = feed == std::string_view::npos ? bytes.size() : feed;
        std::string_view line = bytes.substr(position, end - position);
        position = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        InterchangeFrame frame;
        std::string reason;
        LineKind kind = LineKind::Bad;
        if (line.size() > LongestLogLine)
            reason = "longer than " + std::to_string(LongestLogLine) + " characters";
        else if (frames.size() >= MaxFrames)
            reason = "more frames than a capture can hold";
        else
            kind = parse(line, frame, reason);

        switch (kind) {
        case LineKind::Frame:
            if (report.badLineCount == 0)
                frames.push_back(toPacket(static_cast<std::uint32_t>(frames.size()), frame));
            break;
        case LineKind::Ignored:
            break;
        case LineKind::ErrorFrame:
            ++report.skippedErrorFrames;
            break;
        case LineKind::FdFrame:
            ++report.skippedFdFrames;
            break;
        case LineKind::Other:
            ++report.skippedOtherLines;
            break;
        case LineKind::Bad:
            if (feed == std::string_view::npos && !line.empty() && report.badLineCount == 0) {
                // A last line without its line end: the writer stopped
                // in the middle of it.
                report.cutShortLastLine = true;
                break;
            }
            report.addBadLine(number, reason);
            break;
        }
    }
    if (report.badLineCount > 0) {
        frames.clear();
        return LogStatus::FileOpenError;
    }
    return LogStatus::Ok;
}
