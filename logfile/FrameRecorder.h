#pragma once

#include "device/FrameTap.h"
#include "logfile/RecordWriter.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A recording in progress: takes the frames the library delivers (as its
// frame tap) into a bounded queue and writes them from a thread of its own,
// in batches, so that neither the library nor the user interface ever waits
// for the disk. Frames that find the queue full are counted as lost.
class FrameRecorder : public FrameTap {
public:
    // About a minute of a saturated 1 Mbit/s bus.
    static constexpr std::size_t DefaultQueueLimit = 1 << 19;
    // The writer writes at least this often, and syncs with the disk about
    // once a second.
    static constexpr std::chrono::milliseconds WriteInterval{100};
    static constexpr std::chrono::milliseconds SyncInterval{1000};

    struct Status {
        std::string file; // the file being written
        int files = 0;
        std::uint64_t framesWritten = 0;
        std::uint64_t bytesWritten = 0;
        std::uint64_t lostInQueue = 0;
        std::size_t queued = 0; // waiting for the writer
        std::uint64_t lost = 0; // on the whole way: the queue and before it
        bool running = false;
        // "path: reason" once writing failed; the recording has then ended.
        std::string failure;
    };

    explicit FrameRecorder(RecordSettings settings, std::size_t queueLimit = DefaultQueueLimit);
    ~FrameRecorder() override;
    FrameRecorder(const FrameRecorder &) = delete;
    FrameRecorder &operator=(const FrameRecorder &) = delete;

    // Creates the first file and starts the writer. False, with the reason
    // ("path: reason"), when the file cannot be created.
    bool start(std::string &error);
    // Writes what is still queued and closes the file. Take the recorder off
    // the library first, so that nothing more comes.
    void stop();

    // Any thread; never waits for the writer.
    void framesDelivered(std::span<const CAN_Frame> frames) override;
    // Where the frames' time stamps count from (microseconds since the epoch):
    // the wall-clock time at which the adapter was opened.
    void setCaptureStart(std::uint64_t micros) { m_captureStart.store(micros); }
    // Frames lost before they reached the recorder (the library's own
    // counts), in all since the recording started.
    void setLostBefore(std::uint64_t lost);

    Status status() const;

private:
    void run();
    bool writeLosses(std::uint64_t &noted);

    RecordWriter m_writer;
    const std::size_t m_queueLimit;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<CAN_Frame> m_queue;  // guarded by m_mutex
    std::uint64_t m_lostInQueue = 0; // guarded by m_mutex
    bool m_stopping = false;         // guarded by m_mutex
    bool m_woken = false;            // guarded by m_mutex
    Status m_status;                 // guarded by m_mutex; the writer's figures
    std::atomic<std::uint64_t> m_lostBefore{0};
    std::atomic<std::uint64_t> m_captureStart{0}; // 0: not known
    std::thread m_thread;
};
