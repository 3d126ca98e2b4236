#pragma once

#include "capture/CaptureTime.h"
#include "logfile/LogFormat.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct CAN_Frame;
class CAN_Packet;

// How a recording is written: the file, its format, and when a new file of a
// numbered series begins.
struct RecordSettings {
    std::string path;
    LogFormat format = LogFormat::Candump;
    // A new file once the current one holds this many bytes; 0: never.
    std::uint64_t rotateBytes = 0;
    // A new file once the current one is this old; 0: never.
    std::chrono::seconds rotateInterval{0};

    bool rotates() const { return rotateBytes > 0 || rotateInterval.count() > 0; }
};

// The name of file number n (from 1) of a recording: the path itself for a
// single file; with rotation "name-001.log", "name-002.log" and so on.
std::string recordFilePath(const std::string &path, bool rotates, int number);

// The log formats a recording can be written in, as frames come: all of them;
// the binary log rewrites its frame count in its header after every write.
// Writes frames into a log file as they come, each write ending with a whole
// line or record, so the file reads back up to its last complete frame
// whenever the program stops. Not thread-safe: one thread drives it.
class RecordWriter {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit RecordWriter(RecordSettings settings);
    ~RecordWriter();
    RecordWriter(const RecordWriter &) = delete;
    RecordWriter &operator=(const RecordWriter &) = delete;

    // Creates the first file. False when it cannot be created (see error()).
    bool open(TimePoint now);
    // Appends frames, starting new files as the settings say. False, with
    // the reason in error(), when writing failed: the recording is over and
    // the files keep what was written before.
    bool write(std::span<const CAN_Frame> frames, TimePoint now);
    // Where the frames' time stamps count from, once known: candump logs then
    // hold absolute times, and ASC logs times from the date in their header.
    void setCaptureStart(CaptureStart start) { m_captureStart = start; }
    // Tells the file that frames were lost on the way: a comment line in
    // formats that have comments (ASC), nothing in the others.
    bool noteLoss(std::uint64_t newlyLost, std::uint64_t lostInAll);
    // Hands what was written to the disk, so that a crash of the machine
    // loses no more than what came since.
    bool sync();
    void close();

    bool failed() const { return !m_error.empty(); }
    // "path: reason" of the failure; empty while all is well.
    const std::string &error() const { return m_error; }
    const std::string &currentPath() const { return m_currentPath; }
    int fileCount() const { return m_fileNumber; }
    std::uint64_t framesWritten() const { return m_framesWritten; }
    std::uint64_t bytesWritten() const { return m_bytesWritten; }
    // Frames the format cannot hold (skipped, not written).
    std::uint64_t framesRefused() const { return m_framesRefused; }

    // The most frames one binary log file holds: its count is an int32.
    static constexpr std::uint64_t BinaryFrameLimit = 0x7FFFFFFF;

private:
    bool openFile(int number, TimePoint now);
    bool closeFile();
    bool needsNewFile(TimePoint now) const;
    void appendDueAscHeader(std::span<const CAN_Frame> frames);
    void appendFrames(std::span<const CAN_Frame> frames);
    bool writeBuffer();
    bool fail(const std::string &path, int error);

    RecordSettings m_settings;
    int m_fd = -1;
    int m_fileNumber = 0;
    std::string m_currentPath;
    TimePoint m_fileOpened;
    std::uint64_t m_fileBytes = 0;
    std::uint64_t m_fileFrames = 0;
    std::uint64_t m_bufferedFrames = 0; // formatted, not yet in the file
    std::uint64_t m_framesWritten = 0;
    std::uint64_t m_bytesWritten = 0;
    std::uint64_t m_framesRefused = 0;
    CaptureStart m_captureStart;
    std::uint64_t m_fileDateMicros = 0; // the date an ASC file's header gives
    bool m_ascHeaderDue = false;
    std::string m_buffer;
    std::vector<CAN_Packet> m_packets;
    std::string m_error;
};
