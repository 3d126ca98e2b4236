#pragma once

#include "capture/CanFrame.h"
#include "statistics/BusLoadWindow.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class CAN_Packet;

// Who talks on the bus, how often, and how full the bus is: one row per
// identifier and frame kind, and the bus load, from the frames' own time
// stamps and their exact lengths on the wire at the adapter's bit rate.
//
// Fed with every live frame the program receives, also once the capture is
// full, and with the frames of a loaded log. A frame costs a table look-up and
// a few additions; nothing is allocated for an identifier already known.
class BusStatistics {
public:
    // Intervals between the frames of one row, in microseconds.
    struct CycleTime {
        std::uint64_t intervals = 0;
        std::int64_t last = 0;
        std::int64_t min = 0;
        std::int64_t max = 0;
        // Sums of the deviations from the first interval and of their
        // squares: small numbers whatever the cycle, so the jitter of a
        // long run stays exact, and no division per frame.
        std::int64_t first = 0;
        double sum = 0.0;
        double squares = 0.0;

        void add(std::int64_t us);
        double mean() const;
        // The standard deviation of the intervals.
        double jitter() const;
    };

    struct Row {
        std::uint8_t kind = 0; // type & 3: 0 STD DATA, 1 STD REMOTE, 2 EXT DATA, 3 EXT REMOTE
        std::uint32_t id = 0;
        std::uint64_t count = 0;
        std::uint64_t txCount = 0;
        std::uint8_t type = 0; // of the latest frame
        std::uint8_t dlc = 0;
        std::uint8_t data[8] = {};
        std::uint64_t bits = 0; // on the wire, all frames of the row
        CycleTime cycle;
        std::int64_t lastTime = 0;  // of the latest frame
        std::uint32_t timeBase = 0; // the time base lastTime belongs to

        std::uint64_t rxCount() const { return count - txCount; }
    };

    // A point of the load history: its time relative to now, and the load of
    // the second before it.
    struct LoadSample {
        std::int64_t ageUs = 0;
        double percent = 0.0;
    };

    // Identifiers beyond this many (a bus of random identifiers) are counted
    // in the totals and the load only, so that the table stays usable.
    static constexpr std::size_t MaxRows = 5000;

    BusStatistics();

    // The adapter's bit rate; 0 when nobody can tell, and then there is no load.
    void setBitrate(std::uint32_t bitsPerSecond)
    {
        m_bitrate = bitsPerSecond;
        m_ofLog = false;
    }
    std::uint32_t bitrate() const { return m_bitrate; }
    // The rate a loaded capture is measured at, which no adapter tells: chosen
    // by the user, applied at once to a loaded capture shown now. 0 keeps the
    // rate of the capture before.
    void setLogBitrate(std::uint32_t bitsPerSecond);
    std::uint32_t logBitrate() const { return m_logBitrate; }
    // True while the figures are those of a loaded capture.
    bool ofLog() const { return m_ofLog; }

    void addFrame(const CAN_Frame &frame);
    void addFrame(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                  const std::uint8_t (&data)[8], std::int64_t timeUs);
    // Starts afresh with the frames of a loaded capture.
    void replaceWith(const std::vector<CAN_Packet> &frames);
    // Forgets everything but the bit rate.
    void clear();
    // A new connection: its time stamps start afresh, so no interval and no
    // load window reaches back across it. Counts and cycle figures stay.
    void restartTiming();

    // Moves "now" on while the bus is quiet: frames tell the time while they
    // come; between them the time since the latest one is taken from the wall
    // clock (microseconds, any origin, running forward).
    void advanceClock(std::int64_t wallUs);
    // Bus time now: the latest frame's, or later after advanceClock.
    std::int64_t now() const { return m_now; }

    const std::vector<Row> &rows() const { return m_rows; }
    // Changes whenever the rows start afresh (clear, a loaded capture), so
    // that a reader holding earlier rows can tell.
    std::uint64_t generation() const { return m_generation; }
    std::uint64_t frameCount() const { return m_frames; }
    // Frames of identifiers that found no row any more.
    std::uint64_t unlistedFrameCount() const { return m_unlisted; }
    std::uint64_t bitCount() const { return m_bits; }
    // Bus time covered by the frames since the statistics began.
    std::int64_t measuredTime() const { return m_measured; }

    // Load of the second before now, in percent of the bit rate.
    std::optional<double> loadPercent() const;
    // Mean load over the measured time.
    std::optional<double> meanLoadPercent() const;
    // The share of the bus a row used over the measured time.
    std::optional<double> sharePercent(const Row &row) const;
    // The load every stepUs over the last spanUs before now, oldest first,
    // from the first frame of the current time base on.
    std::vector<LoadSample> loadHistory(std::int64_t spanUs, std::int64_t stepUs) const;

    static std::int64_t timeUs(std::uint32_t seconds, std::uint32_t microseconds)
    {
        return static_cast<std::int64_t>(seconds) * 1'000'000 + microseconds;
    }

private:
    // Row positions by identifier and kind: open addressing over a table
    // twice the size of the rows, so that a look-up is a multiply and, nearly
    // always, one probe.
    class RowIndex {
    public:
        RowIndex();
        // The row of key, or -1.
        std::int64_t find(std::uint64_t key) const;
        void insert(std::uint64_t key, std::uint32_t row);
        void clear();

    private:
        std::size_t slotOf(std::uint64_t key) const;
        void grow();

        std::vector<std::uint64_t> m_keys; // key + 1; 0 marks a free slot
        std::vector<std::uint32_t> m_rows;
        std::size_t m_used = 0;
        int m_shift = 0;
    };

    Row *rowFor(std::uint8_t kind, std::uint32_t id);
    void newTimeBase(std::int64_t timeUs);
    std::optional<double> percentOf(double bits, std::int64_t us) const;

    std::vector<Row> m_rows; // in order of first appearance
    RowIndex m_index;
    BusLoadWindow m_load;
    std::uint32_t m_bitrate = 0;
    std::uint32_t m_logBitrate = 0;
    bool m_ofLog = false;
    std::uint64_t m_frames = 0;
    std::uint64_t m_bits = 0;
    std::uint64_t m_unlisted = 0;
    std::uint64_t m_generation = 0;
    std::int64_t m_measured = 0;
    std::int64_t m_latest = 0;
    // Time stamps compare only within one time base; 0 until the first frame.
    std::uint32_t m_timeBase = 0;
    bool m_timed = false;
    // The clock between frames.
    std::int64_t m_now = 0;
    std::uint64_t m_framesAtAnchor = 0;
    std::int64_t m_anchorBus = 0;
    std::int64_t m_anchorWall = 0;
    bool m_anchored = false;
};
