#pragma once

#include "logfile/LogStatus.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CAN_Packet;

// The binary log: the magic byte 0xCC, an int32 frame count, then per frame
// number (4), type (1), id (4), dlc (1), all eight data bytes, the 64-bit time
// stamp, and the data text and time text as archived strings. Little-endian,
// no padding, no trailer.
inline constexpr std::uint8_t BinaryLogMagic = 0xCC;

struct LogReport;

// Refuses (CanNotOpen) a wrong magic byte, and a log whose count, records or
// string lengths run past its end; the report, when given, tells which (no
// binary log, or truncated at byte N). A count of 0 or less is an empty log;
// bytes after the last record are ignored. Every field is kept as stored, a
// DLC above 8 included.
LogStatus ReadBinaryLog(std::string_view bytes, std::vector<CAN_Packet> &frames,
                        LogReport *report = nullptr);

void WriteBinaryLog(std::span<const CAN_Packet> frames, std::string &bytes);
