#pragma once

#include "capture/CaptureTime.h"
#include "logfile/LogReport.h"
#include "logfile/LogStatus.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

class CAN_Packet;

// The formats a capture is saved in and opened from, chosen by the file's
// extension. Opening and saving go through readLog and writeLog, so a new
// format is one more entry here.
enum class LogFormat {
    Binary,  // ".dcu": every field of every frame record, exactly
    Text,    // any other extension: one line of comma-separated fields per frame
    Candump, // ".log": the candump log of can-utils
    Asc,     // ".asc": the Vector ASC log
};

// The extension is what follows the last dot of the file name; exactly "dcu"
// (case-sensitive) is a binary log, "log" and "asc" in any case a candump and
// an ASC log, anything else, "DCU" and none included, text.
LogFormat logFormatForPath(std::string_view path);

// Reads a whole log into frames (emptied first). On any status but Ok the
// frames read so far are dropped. The report, when given, is emptied first
// and tells which lines were bad or skipped.
LogStatus readLog(LogFormat format, std::string_view bytes, std::vector<CAN_Packet> &frames,
                  LogReport *report = nullptr);

// Reads a log as the capture a user opens: readLog, then the times of a
// candump or ASC log count from its first (earliest) frame and start gets
// where that frame lies in absolute time; binary and text logs keep their
// times and leave start empty. A DLC above 8 becomes 8, the frames counted
// in the report.
LogStatus openLog(LogFormat format, std::string_view bytes, std::vector<CAN_Packet> &frames,
                  LogReport &report, CaptureStart &start);

// Writes frames in order as a whole log into bytes (emptied first). On any
// status but Ok, bytes is left empty and the report, when given, names the
// frame that could not be written. The logs that hold absolute times (candump,
// ASC) place the frames at start plus their time stamps, when start is known.
LogStatus writeLog(LogFormat format, std::span<const CAN_Packet> frames, std::string &bytes,
                   LogReport *report = nullptr, CaptureStart start = {});
