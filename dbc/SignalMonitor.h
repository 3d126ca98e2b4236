#pragma once

#include "dbc/SignalDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct CAN_Frame;
class CAN_Packet;

// The latest value of every signal of a database, as the live capture or an
// opened log brings frames, with how often each was updated and when, and
// each signal's values over time for plotting.
class SignalMonitor {
public:
    struct Sample {
        std::int64_t timeUs = 0;
        double value = 0.0;
    };
    struct Entry {
        const DbcMessage *message = nullptr;
        const DbcSignal *signal = nullptr;
        std::uint64_t count = 0; // frames that carried the signal
        std::int64_t lastTimeUs = 0;
        DecodedSignal latest;
        std::vector<Sample> history;
    };

    // A signal keeps at most this many samples; the older half goes when it
    // has more.
    static constexpr std::size_t HistoryLimit = 200'000;

    // Starts afresh with a database (none: nullptr).
    void setDatabase(std::shared_ptr<const DbcDatabase> database);
    const std::shared_ptr<const DbcDatabase> &database() const { return m_database; }

    void addFrame(const CAN_Frame &frame);
    void addFrame(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                  const std::uint8_t (&data)[8], std::int64_t timeUs);
    // Starts afresh with the frames of a loaded capture.
    void replaceWith(const std::vector<CAN_Packet> &frames);
    // Forgets every value; the database stays.
    void clear();

    // One entry per signal, in the database's order.
    const std::vector<Entry> &entries() const { return m_entries; }
    // Changes whenever the entries start afresh, so that a reader can tell.
    std::uint64_t generation() const { return m_generation; }
    // The time of the latest frame the database describes.
    std::int64_t latestTimeUs() const { return m_latestUs; }

private:
    void rebuild();

    std::shared_ptr<const DbcDatabase> m_database;
    std::vector<Entry> m_entries;
    std::vector<std::size_t> m_firstEntry; // per message
    std::vector<DecodedSignal> m_decoded;
    std::uint64_t m_generation = 0;
    std::int64_t m_latestUs = 0;
};
