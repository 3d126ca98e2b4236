#include "logfile/FrameRecorder.h"

namespace {

// The writer is woken early once this many frames wait.
constexpr std::size_t BatchFrames = 4096;

} // namespace

FrameRecorder::FrameRecorder(RecordSettings settings, std::size_t queueLimit)
    : m_writer(std::move(settings)), m_queueLimit(queueLimit)
{
    m_queue.reserve(std::min<std::size_t>(m_queueLimit, BatchFrames * 4));
}

FrameRecorder::~FrameRecorder()
{
    stop();
}

bool FrameRecorder::start(std::string &error)
{
    if (m_thread.joinable())
        return true;
    if (!m_writer.open(std::chrono::steady_clock::now())) {
        error = m_writer.error();
        return false;
    }
    {
        std::lock_guard guard(m_mutex);
        m_status.running = true;
        m_status.file = m_writer.currentPath();
        m_status.files = m_writer.fileCount();
        m_status.bytesWritten = m_writer.bytesWritten();
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void FrameRecorder::stop()
{
    {
        std::lock_guard guard(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    m_writer.close();
    std::lock_guard guard(m_mutex);
    m_status.running = false;
    if (m_writer.failed())
        m_status.failure = m_writer.error();
}

void FrameRecorder::framesDelivered(std::span<const CAN_Frame> frames)
{
    std::lock_guard guard(m_mutex);
    if (m_stopping)
        return;
    const std::size_t room = m_queueLimit - std::min(m_queueLimit, m_queue.size());
    const std::size_t taken = std::min(room, frames.size());
    m_queue.insert(m_queue.end(), frames.begin(), frames.begin() + taken);
    m_lostInQueue += frames.size() - taken;
    if (m_queue.size() >= BatchFrames && !m_woken) {
        m_woken = true;
        m_wake.notify_one();
    }
}

void FrameRecorder::setLostBefore(std::uint64_t lost)
{
    m_lostBefore.store(lost, std::memory_order_relaxed);
}

FrameRecorder::Status FrameRecorder::status() const
{
    std::lock_guard guard(m_mutex);
    Status status = m_status;
    status.lostInQueue = m_lostInQueue;
    status.queued = m_queue.size();
    status.lost = m_lostInQueue + m_lostBefore.load(std::memory_order_relaxed);
    return status;
}

bool FrameRecorder::writeLosses(std::uint64_t &noted)
{
    std::uint64_t lost = m_lostBefore.load(std::memory_order_relaxed);
    {
        std::lock_guard guard(m_mutex);
        lost += m_lostInQueue;
    }
    if (lost <= noted)
        return true;
    const std::uint64_t newly = lost - noted;
    noted = lost;
    return m_writer.noteLoss(newly, lost);
}

void FrameRecorder::run()
{
    using Clock = std::chrono::steady_clock;
    std::vector<CAN_Frame> batch;
    batch.reserve(m_queue.capacity());
    std::uint64_t notedLoss = 0;
    auto lastSync = Clock::now();
    bool stopping = false;
    while (!stopping) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, WriteInterval, [this] { return m_stopping || m_woken; });
            m_woken = false;
            stopping = m_stopping;
            batch.swap(m_queue);
        }
        const auto now = Clock::now();
        if (const std::uint64_t start = m_captureStart.load())
            m_writer.setCaptureStart(start);
        // A loss goes into the file where it was noticed, before the frames
        // that came after it.
        bool ok = writeLosses(notedLoss) && m_writer.write(batch, now);
        batch.clear();
        if (ok && (stopping || now - lastSync >= SyncInterval)) {
            ok = m_writer.sync();
            lastSync = now;
        }
        std::lock_guard guard(m_mutex);
        m_status.file = m_writer.currentPath();
        m_status.files = m_writer.fileCount();
        m_status.framesWritten = m_writer.framesWritten();
        m_status.bytesWritten = m_writer.bytesWritten();
        if (!ok) {
            // Nothing more is taken; what was written stays.
            m_status.failure = m_writer.error();
            m_status.running = false;
            m_stopping = true;
            m_queue.clear();
            m_queue.shrink_to_fit();
            return;
        }
    }
}
