#include "logfile/LogReport.h"

#include <utility>

namespace {

std::string counted(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
}

} // namespace

void LogReport::addBadLine(std::size_t line, std::string_view reason)
{
    if (badLines.size() < ListedBadLines)
        badLines.push_back({line, std::string(reason)});
    ++badLineCount;
}

std::string logFailureMessage(LogStatus status, const LogReport &report, std::string_view fileName)
{
    std::string text(logStatusMessage(status));
    if (!fileName.empty() || !report.problem.empty())
        text += "\n\n";
    text += fileName;
    if (!report.problem.empty())
        text += (fileName.empty() ? "" : ": ") + report.problem + '.';
    if (!report.badLines.empty()) {
        if (fileName.empty())
            text += "\n";
        for (const LogReport::BadLine &bad : report.badLines)
            text += "\nLine " + std::to_string(bad.line) + ": " + bad.reason + '.';
        if (report.badLineCount > report.badLines.size())
            text += "\nand "
                + counted(report.badLineCount - report.badLines.size(), "more bad line.",
                          "more bad lines.");
    }
    if (!report.unwritableFrame.empty())
        text += "\n\n" + report.unwritableFrame;
    return text;
}

std::string logSkippedMessage(const LogReport &report)
{
    std::vector<std::string> parts;
    if (report.skippedErrorFrames > 0)
        parts.push_back(counted(report.skippedErrorFrames, "error frame", "error frames"));
    if (report.skippedFdFrames > 0)
        parts.push_back(counted(report.skippedFdFrames, "CAN FD frame", "CAN FD frames"));
    if (report.skippedOtherLines > 0)
        parts.push_back(counted(report.skippedOtherLines, "other line", "other lines")
                        + " (comments, statistics, events)");
    std::string text;
    if (!parts.empty()) {
        text = "Skipped what the capture cannot hold: ";
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0)
                text += i + 1 == parts.size() ? " and " : ", ";
            text += parts[i];
        }
        text += '.';
    }
    if (report.clippedDlcFrames > 0) {
        if (!text.empty())
            text += "\n\n";
        const bool one = report.clippedDlcFrames == 1;
        text += counted(report.clippedDlcFrames, "frame has", "frames have") + " a DLC above 8; "
            + (one ? "it was" : "they were")
            + " opened with DLC 8, the most data bytes a frame carries.";
    }
    if (report.cutShortLastLine) {
        if (!text.empty())
            text += "\n\n";
        text += "The last line was cut short (the log was still being written) and is left out.";
    }
    return text;
}
