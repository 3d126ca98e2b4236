#include "dbc/SignalMonitor.h"

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"
#include "capture/CaptureTime.h"

void SignalMonitor::setDatabase(std::shared_ptr<const DbcDatabase> database)
{
    m_database = std::move(database);
    rebuild();
}

void SignalMonitor::rebuild()
{
    ++m_generation;
    m_latestUs = 0;
    m_entries.clear();
    m_firstEntry.clear();
    if (!m_database)
        return;
    m_entries.reserve(m_database->signalCount());
    for (const DbcMessage &message : m_database->messages) {
        m_firstEntry.push_back(m_entries.size());
        for (const DbcSignal &signal : message.signalList) {
            Entry entry;
            entry.message = &message;
            entry.signal = &signal;
            entry.latest.signal = &signal;
            m_entries.push_back(std::move(entry));
        }
    }
}

void SignalMonitor::clear()
{
    rebuild();
}

void SignalMonitor::addFrame(const CAN_Frame &frame)
{
    addFrame(frame.type, frame.id, frame.dlc, frame.data,
             static_cast<std::int64_t>(frameMicroseconds(frame)));
}

void SignalMonitor::addFrame(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                             const std::uint8_t (&data)[8], std::int64_t timeUs)
{
    if (!m_database)
        return;
    const DbcMessage *message = decodeFrame(*m_database, type, id, dlc, data, m_decoded);
    if (!message)
        return;
    m_latestUs = timeUs;
    const auto index = static_cast<std::size_t>(message - m_database->messages.data());
    Entry *entry = m_entries.data() + m_firstEntry[index];
    for (const DecodedSignal &decoded : m_decoded) {
        if (decoded.present()) {
            ++entry->count;
            entry->lastTimeUs = timeUs;
            entry->latest = decoded;
            if (entry->history.size() >= HistoryLimit)
                entry->history.erase(entry->history.begin(),
                                     entry->history.begin() + HistoryLimit / 2);
            entry->history.push_back({timeUs, decoded.value});
        }
        ++entry;
    }
}

void SignalMonitor::replaceWith(const std::vector<CAN_Packet> &frames)
{
    rebuild();
    for (const CAN_Packet &frame : frames)
        addFrame(frame.type, frame.id, frame.dlc, frame.data,
                 static_cast<std::int64_t>(frame.timestamp >> 32) * 1'000'000
                     + static_cast<std::uint32_t>(frame.timestamp));
}
