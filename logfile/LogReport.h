#pragma once

#include "logfile/LogStatus.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What reading or writing a log noticed beyond its status: the bad lines of a
// refused file (the first few with their reasons, and how many in all), the
// lines of an opened file that held no frame the capture keeps, and the frame
// a writer could not write.
struct LogReport {
    struct BadLine {
        std::size_t line = 0; // counted from 1
        std::string reason;
    };
    static constexpr std::size_t ListedBadLines = 5;

    std::vector<BadLine> badLines; // the first ListedBadLines
    std::size_t badLineCount = 0;
    std::size_t skippedErrorFrames = 0;
    std::size_t skippedFdFrames = 0;
    std::size_t skippedOtherLines = 0; // comments, statistics, events
    std::size_t clippedDlcFrames = 0;  // frames opened with a DLC above 8, shown with 8
    std::string problem;               // why a whole file is no log: "truncated at byte 9"
    std::string unwritableFrame;       // why a writer refused, naming the frame
    // The last line had no line end and no frame could be read from it: the
    // program writing the log stopped in the middle of it. It is left out.
    bool cutShortLastLine = false;

    void addBadLine(std::size_t line, std::string_view reason);
    std::size_t skippedLines() const
    {
        return skippedErrorFrames + skippedFdFrames + skippedOtherLines;
    }
};

// The message for a read or write that failed: the status's message, then
// the file's name (when given) with the problem or the bad lines, or the
// frame that could not be written.
std::string logFailureMessage(LogStatus status, const LogReport &report,
                              std::string_view fileName = {});

// The note after a read that succeeded but skipped lines or clipped DLCs;
// empty when it did neither.
std::string logSkippedMessage(const LogReport &report);
