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

std::string logFailureMessage(LogStatus status, const LogReport &report)
{
    std::string text(logStatusMessage(status));
    if (!report.badLines.empty()) {
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
    if (parts.empty())
        return {};
    std::string text = "Skipped what the capture cannot hold: ";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += i + 1 == parts.size() ? " and " : ", ";
        text += parts[i];
    }
    return text + '.';
}
