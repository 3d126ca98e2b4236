#include "Bench.h"
#include "BusTraffic.h"

#include "capture/CanBitStream.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

volatile long long g_sink = 0; // keeps the work from being optimised away

// The CPU time of this thread, so that the figure is the work's own cost and
// not the share of a busy machine that the benchmark happened to get.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<CAN_Frame> traffic()
{
    std::vector<CAN_Frame> frames;
    for (std::uint32_t n = 0; n < 4096; ++n)
        frames.push_back(bench::busFrame(n));
    return frames;
}

// Runs work over the traffic until count frames are done; reports frames/s.
template <typename Work> void measure(const char *name, Work work)
{
    constexpr int Count = 2'000'000;
    const std::vector<CAN_Frame> frames = traffic();
    long long sink = 0;
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        const double start = threadSeconds();
        for (int i = 0; i < Count; ++i)
            sink += work(frames[static_cast<std::size_t>(i) & 4095]);
        times.push_back(threadSeconds() - start);
    }
    std::sort(times.begin(), times.end());
    const double seconds = times[times.size() / 2];
    bench::report(name, Count / seconds, "frames/s");
    g_sink = sink;
}

} // namespace

// The whole stream of a frame, bit by bit, as the detailed view shows it.
VEXO_BENCHMARK(bitstream_build)
{
    measure("bitstream_build", [](const CAN_Frame &f) {
        const CanBitStream stream(f.type, f.id, f.dlc, f.data);
        return stream.size() + stream[stream.size() / 2].level;
    });
}

// Only the length, as the virtual buses pace their frames.
VEXO_BENCHMARK(bitstream_count)
{
    measure("bitstream_count",
            [](const CAN_Frame &f) { return CanBitStream::bitCount(f.type, f.id, f.dlc, f.data); });
}
