#pragma once

#include <cstdint>
#include <vector>

// The bits that crossed the bus, counted in 10 ms buckets over the last 80
// seconds of bus time, so that the load of any one-second window in the last
// minute can be read back. Adding a frame costs a few stores and allocates
// nothing; the buckets are allocated once.
class BusLoadWindow {
public:
    static constexpr std::int64_t BucketUs = 10'000;
    static constexpr std::int64_t WindowUs = 1'000'000;
    static constexpr int BucketCount = 8192; // 81.92 s: a minute of one-second windows

    BusLoadWindow();

    void clear();
    // Bits of a frame that ended at timeUs. Times run forward; a frame up to a
    // second older than the newest is still counted where it belongs, an even
    // older one starts the history afresh (the bus time was reset).
    void add(std::int64_t timeUs, int bits);

    bool empty() const { return m_empty; }
    // Times of the first and the latest frame of the history.
    std::int64_t firstTime() const { return m_first; }
    std::int64_t latestTime() const { return m_latest; }
    // Bits of the frames that ended within the second before endUs. From the
    // latest frame on, the window is (endUs - 1 s, endUs] and the bucket it
    // starts in counts for the part of it that lies inside, as if its bits
    // were spread evenly over it. Before the latest frame the window is the
    // second of whole buckets that ends where endUs's bucket begins.
    double bitsInWindow(std::int64_t endUs) const;

private:
    std::uint64_t bucket(std::int64_t index) const;

    std::vector<std::uint64_t> m_buckets;
    std::int64_t m_newest = 0; // index of the newest bucket (time / BucketUs)
    std::int64_t m_first = 0;
    std::int64_t m_latest = 0;
    bool m_empty = true;
};
