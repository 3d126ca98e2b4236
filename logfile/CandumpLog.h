#pragma once

#include "capture/CaptureTime.h"
#include "logfile/LogStatus.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

class CAN_Packet;
struct LogReport;

// The candump log of can-utils, one frame per line:
//   (1700000000.123456) can0 123#11223344 T
// the time stamp in seconds and microseconds, the interface, the identifier in
// 3 hexadecimal digits for a standard and 8 for an extended frame, '#', then
// the data bytes in hexadecimal (optionally separated by dots) or R with an
// optional DLC digit for a remote frame; "_X" after eight data bytes or "R8"
// gives a DLC of 9 to 15. An optional T or R at the end marks the direction.

// The time stamp becomes the frame's seconds and microseconds. Error frames
// (identifier flag 0x20000000) and CAN FD frames ("##") are skipped and
// counted; every other line that is not a frame is bad and refuses the file
// (FileOpenError), the first few listed in the report. Blank lines and
// comments (#) are passed over.
LogStatus ReadCandumpLog(std::string_view bytes, std::vector<CAN_Packet> &frames,
                         LogReport &report);

// Writes every frame on interface can0 with its direction mark, its time the
// capture's start (when known) plus its time stamp. Refuses (PacketError, the
// frame named in the report) a frame these logs cannot hold.
LogStatus WriteCandumpLog(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                          CaptureStart start = {});
