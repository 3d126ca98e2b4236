#include "logfile/RecordWriter.h"

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"
#include "logfile/AscLog.h"
#include "logfile/BinaryLog.h"
#include "logfile/CandumpLog.h"
#include "logfile/LogReport.h"
#include "logfile/TextLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Frames formatted and written at a time; a new file can begin between them.
constexpr std::size_t ChunkFrames = 256;
constexpr std::size_t BinaryHeaderSize = 5;

bool keepsTexts(LogFormat format)
{
    return format == LogFormat::Binary || format == LogFormat::Text;
}

CAN_Packet toPacket(std::uint32_t number, const CAN_Frame &frame, bool withTexts)
{
    // The data bytes as the store keeps them: those the DLC names, the rest 0.
    std::uint8_t data[8] = {};
    const int count = storedByteCount(frame.type, frame.dlc);
    std::copy_n(frame.data, count, data);
    return CAN_Packet(number, frame.type, frame.id, frame.dlc, data, frame.timestampLow,
                      frame.timestampHigh, withTexts ? formatDataText(data, count) : PacketText(),
                      withTexts ? formatTimeText(frame.timestampLow, frame.timestampHigh)
                                : PacketText());
}

// Appends the frames as lines or records of the format; on a refusal
// nothing is appended. With the capture's start known, candump lines get
// absolute times and ASC lines times from the file's date.
LogStatus appendFormatted(LogFormat format, std::span<const CAN_Packet> packets, std::string &out,
                          CaptureStart start, std::uint64_t fileDateMicros)
{
    LogReport report;
    if (format == LogFormat::Asc) {
        const std::int64_t shift = start
            ? static_cast<std::int64_t>(*start) - static_cast<std::int64_t>(fileDateMicros)
            : 0;
        return AppendAscFrames(packets, out, report, shift);
    }
    std::string bytes;
    LogStatus status = LogStatus::Ok;
    std::size_t skip = 0;
    switch (format) {
    case LogFormat::Candump:
        status = WriteCandumpLog(packets, bytes, report, start);
        break;
    case LogFormat::Text:
        status = WriteTextLog(packets, bytes);
        break;
    case LogFormat::Binary:
        WriteBinaryLog(packets, bytes);
        skip = BinaryHeaderSize; // the records only: the file has its header
        break;
    case LogFormat::Asc:
        break;
    }
    if (status == LogStatus::Ok)
        out.append(bytes, std::min(skip, bytes.size()));
    return status;
}

void appendLittleEndian32(char *out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string recordFilePath(const std::string &path, bool rotates, int number)
{
    if (!rotates && number <= 1)
        return path;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    char digits[16];
    std::snprintf(digits, sizeof digits, "-%03d", number);
    return path.substr(0, dot) + digits + path.substr(dot);
}

RecordWriter::RecordWriter(RecordSettings settings) : m_settings(std::move(settings)) { }

RecordWriter::~RecordWriter()
{
    close();
}

bool RecordWriter::fail(const std::string &path, int error)
{
    if (m_error.empty())
        m_error = path + ": " + std::strerror(error);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return false;
}

bool RecordWriter::open(TimePoint now)
{
    if (m_fd >= 0 || failed())
        return !failed();
    return openFile(1, now);
}

bool RecordWriter::openFile(int number, TimePoint now)
{
    const std::string path = recordFilePath(m_settings.path, m_settings.rotates(), number);
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return fail(path, errno);
    m_fileNumber = number;
    m_currentPath = path;
    m_fileOpened = now;
    m_fileBytes = 0;
    m_fileFrames = 0;
    // An ASC header is dated when the file's first frame is known.
    m_ascHeaderDue = m_settings.format == LogFormat::Asc;
    if (m_settings.format == LogFormat::Binary)
        m_buffer.append({static_cast<char>(BinaryLogMagic), 0, 0, 0, 0});
    return writeBuffer();
}

void RecordWriter::appendDueAscHeader(std::span<const CAN_Frame> frames)
{
    if (!m_ascHeaderDue)
        return;
    m_ascHeaderDue = false;
    // Dated with the second of the earliest frame, the times count from it
    // as log2asc writes them; without the capture's start, with the time now
    // and the time stamps as they are.
    std::time_t date = std::time(nullptr);
    if (m_captureStart && !frames.empty()) {
        std::uint64_t first = frameMicroseconds(frames.front());
        for (const CAN_Frame &frame : frames)
            first = std::min(first, frameMicroseconds(frame));
        date = static_cast<std::time_t>((*m_captureStart + first) / MicrosecondsPerSecond);
    }
    m_fileDateMicros = static_cast<std::uint64_t>(date) * MicrosecondsPerSecond;
    AppendAscHeader(m_buffer, date);
}

bool RecordWriter::closeFile()
{
    if (m_fd < 0)
        return !failed();
    // A file that got no frame is still a log, if an empty one.
    appendDueAscHeader({});
    if (!m_buffer.empty() && !writeBuffer())
        return false;
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        return fail(m_currentPath, errno);
    return true;
}

void RecordWriter::close()
{
    closeFile();
}

bool RecordWriter::needsNewFile(TimePoint now) const
{
    if (m_fileFrames == 0)
        return false;
    if (m_settings.format == LogFormat::Binary && m_fileFrames >= BinaryFrameLimit)
        return true;
    if (m_settings.rotateBytes > 0 && m_fileBytes >= m_settings.rotateBytes)
        return true;
    return m_settings.rotateInterval.count() > 0 && now - m_fileOpened >= m_settings.rotateInterval;
}

bool RecordWriter::write(std::span<const CAN_Frame> frames, TimePoint now)
{
    if (m_fd < 0)
        return false;
    while (!frames.empty()) {
        if (needsNewFile(now)) {
            if (!closeFile() || !openFile(m_fileNumber + 1, now))
                return false;
        }
        std::size_t count = std::min(frames.size(), ChunkFrames);
        if (m_settings.format == LogFormat::Binary)
            count = std::min<std::uint64_t>(count, BinaryFrameLimit - m_fileFrames);
        appendFrames(frames.first(count));
        if (!writeBuffer())
            return false;
        frames = frames.subspan(count);
    }
    return true;
}

void RecordWriter::appendFrames(std::span<const CAN_Frame> frames)
{
    appendDueAscHeader(frames);
    const bool texts = keepsTexts(m_settings.format);
    const std::uint64_t first = m_fileFrames + m_bufferedFrames;
    m_packets.clear();
    for (const CAN_Frame &frame : frames)
        m_packets.push_back(
            toPacket(static_cast<std::uint32_t>(first + m_packets.size()), frame, texts));
    if (appendFormatted(m_settings.format, m_packets, m_buffer, m_captureStart, m_fileDateMicros)
        == LogStatus::Ok) {
        m_bufferedFrames += m_packets.size();
        return;
    }
    // One frame the format cannot hold: the others are written around it.
    for (CAN_Packet &packet : m_packets) {
        packet.number = static_cast<std::uint32_t>(m_fileFrames + m_bufferedFrames);
        if (appendFormatted(m_settings.format, std::span(&packet, 1), m_buffer, m_captureStart,
                            m_fileDateMicros)
            == LogStatus::Ok)
            ++m_bufferedFrames;
        else
            ++m_framesRefused;
    }
}

bool RecordWriter::writeBuffer()
{
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_buffer.clear();
            m_bufferedFrames = 0;
            return fail(m_currentPath, n < 0 ? errno : EIO);
        }
        done += static_cast<std::size_t>(n);
    }
    m_fileBytes += done;
    m_bytesWritten += done;
    m_buffer.clear();
    // Counted once they are in the file.
    m_fileFrames += m_bufferedFrames;
    m_framesWritten += m_bufferedFrames;
    m_bufferedFrames = 0;
    if (m_settings.format == LogFormat::Binary && m_fileFrames > 0) {
        // The count follows the records it counts: a file cut short between
        // the two holds records beyond the count, which readers pass over.
        char count[4];
        appendLittleEndian32(count, static_cast<std::uint32_t>(m_fileFrames));
        if (::pwrite(m_fd, count, sizeof count, 1) != sizeof count)
            return fail(m_currentPath, errno ? errno : EIO);
    }
    return true;
}

bool RecordWriter::noteLoss(std::uint64_t newlyLost, std::uint64_t lostInAll)
{
    if (m_fd < 0)
        return false;
    if (m_settings.format != LogFormat::Asc || newlyLost == 0)
        return true;
    appendDueAscHeader({});
    AppendAscComment(m_buffer,
                     std::to_string(newlyLost) + " frames lost here (" + std::to_string(lostInAll)
                         + " in all)");
    return writeBuffer();
}

bool RecordWriter::sync()
{
    if (m_fd < 0)
        return false;
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(m_currentPath, errno);
    return true;
}
