#pragma once

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
    Binary, // ".dcu": every field of every frame record, exactly
    Text,   // any other extension: one line of comma-separated fields per frame
};

// The extension is what follows the last dot of the file name; exactly "dcu"
// (case-sensitive) is a binary log, anything else, "DCU" and none included, text.
LogFormat logFormatForPath(std::string_view path);

// Reads a whole log into frames (emptied first). On any status but Ok the
// frames read so far are dropped.
LogStatus readLog(LogFormat format, std::string_view bytes, std::vector<CAN_Packet> &frames);

// Writes frames in order as a whole log into bytes (emptied first). On any
// status but Ok, bytes is left empty.
LogStatus writeLog(LogFormat format, std::span<const CAN_Packet> frames, std::string &bytes);
