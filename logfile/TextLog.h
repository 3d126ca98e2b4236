#pragma once

#include "logfile/LogStatus.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

class CAN_Packet;
struct LogReport;

// The text log: one line per frame, eight comma-separated fields (number,
// type, identifier "0x%04X" or, for an extended remote frame, "0x%08X", DLC,
// data digits, time stamp, data text, time text), every line ending in the
// three bytes NUL CR LF. No header.

// Reads lines up to each LF; a CR before the LF is dropped and the line ends
// at its first NUL, so CR LF files of other tools read the same. Blank lines
// are skipped. A line whose type field is empty, no number, or lacks the frame
// bit 0x04 makes the whole file bad (FileOpenError). A DLC of 0 is a frame
// without data; a DLC above 8 is kept, with at most eight data bytes read.
// The report, when given, names the bad line and why.
LogStatus ReadTextLog(std::string_view bytes, std::vector<CAN_Packet> &frames,
                      LogReport *report = nullptr);

// Refuses (PacketError) a capture holding a frame whose type & 0x0F is not 4
// to 7. Data digits are written for at most eight bytes. Text characters that
// would break the line (comma, LF, NUL) are written as blanks.
LogStatus WriteTextLog(std::span<const CAN_Packet> frames, std::string &bytes);
