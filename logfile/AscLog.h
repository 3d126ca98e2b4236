#pragma once

#include "capture/CaptureTime.h"
#include "logfile/LogStatus.h"

#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CAN_Packet;
struct LogReport;

// The Vector ASC log: a header ("date ...", "base hex|dec  timestamps
// absolute|relative", "[no] internal events logged"), then one event per line,
// a frame being
//      1.234567 1  123x            Rx   d 8 11 22 33 44 55 66 77 88
// time in seconds, channel, identifier (x: extended) in the file's base,
// Rx or Tx, d (data) with DLC and data bytes or r (remote) with an optional DLC.

// The times become the frames' time stamps (with relative time stamps, summed
// from line to line); the channel is not kept. The date line, read as local
// time, goes to date when it can be read. CANFD lines holding classic frames
// (the EDL flag clear) are read as classic frames. Error frames,
// CAN FD frames and other events, comments and statistics are skipped and
// counted; header lines (date, base, internal events, version comment, trigger
// blocks, start of measurement) are passed over. A line that starts like a
// frame (time, channel, identifier, Rx or Tx) but is no readable frame, or a
// time or base that cannot be read, is bad and refuses the file (FileOpenError).
LogStatus ReadAscLog(std::string_view bytes, std::vector<CAN_Packet> &frames, LogReport &report,
                     CaptureStart *date = nullptr);

// Writes a header, then every frame on channel 1. With the capture's start
// known, the header is dated (local time) with the second of the earliest
// frame and the times count from it, as log2asc writes them; otherwise it is
// dated savedAt and the times are the time stamps. Refuses (PacketError, the
// frame named in the report) a frame these logs cannot hold.
LogStatus WriteAscLog(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                      std::time_t savedAt, CaptureStart start = {});

// The pieces of an ASC log for writing one as frames come: the header dated
// savedAt, then frames in batches, each time stamp plus timeShift microseconds
// and at least 0 (on PacketError nothing of the batch is appended), and comment
// lines, which readers pass over.
void AppendAscHeader(std::string &bytes, std::time_t savedAt);
LogStatus AppendAscFrames(std::span<const CAN_Packet> frames, std::string &bytes, LogReport &report,
                          std::int64_t timeShift = 0);
void AppendAscComment(std::string &bytes, std::string_view text);
