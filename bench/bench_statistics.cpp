#include "Bench.h"
#include "BusTraffic.h"

#include "statistics/BusStatistics.h"
#include "statistics/StatisticsDialog.h"
#include "statistics/StatisticsTableModel.h"

#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

namespace {

// The CPU time of this thread, so that the figure is the work's own cost and
// not the share of a busy machine that the benchmark happened to get.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Frames of 1,000 identifiers, each every 100 ms, as 10,000 frames a second.
void feedThousandIdentifiers(BusStatistics &statistics, std::int64_t &timeUs, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        for (std::uint32_t i = 0; i < 1000; ++i) {
            CAN_Frame frame = bench::busFrame(i);
            frame.id = 0x100 + i;
            timeUs += 100 + static_cast<std::int64_t>(i % 7);
            statistics.addFrame(frame.type, frame.id, frame.dlc, frame.data, timeUs);
        }
    }
}

} // namespace

// The cost of one live frame: its length on the wire, its row, the load window.
VEXO_BENCHMARK(stats_update)
{
    constexpr int Count = 5'000'000;
    std::vector<CAN_Frame> frames;
    for (std::uint32_t n = 0; n < 4096; ++n)
        frames.push_back(bench::busFrame(n));
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        BusStatistics statistics;
        statistics.setBitrate(1'000'000);
        const double start = threadSeconds();
        for (int i = 0; i < Count; ++i) {
            const CAN_Frame &f = frames[static_cast<std::size_t>(i) & 4095];
            statistics.addFrame(f.type, f.id, f.dlc, f.data, std::int64_t{i} * 47);
        }
        times.push_back(threadSeconds() - start);
        if (statistics.frameCount() != Count)
            return;
    }
    std::sort(times.begin(), times.end());
    bench::report("stats_update", Count / times[times.size() / 2], "frames/s");
}

// One refresh of a visible Statistics window over 1,000 identifiers, sorted
// by count so that rows move: the table, the summary and the load plot, and
// the repaint that follows.
VEXO_BENCHMARK(stats_refresh_1000_ids)
{
    BusStatistics statistics;
    statistics.setBitrate(500'000);
    std::int64_t timeUs = 0;
    feedThousandIdentifiers(statistics, timeUs, 600);
    StatisticsDialog dialog(statistics);
    dialog.table()->sortByColumn(StatisticsTableModel::CountColumn, Qt::DescendingOrder);
    dialog.show();
    QApplication::processEvents();
    std::vector<double> times;
    for (int run = 0; run < 21; ++run) {
        feedThousandIdentifiers(statistics, timeUs, 2);
        const double start = threadSeconds();
        dialog.refresh();
        QApplication::processEvents();
        times.push_back(threadSeconds() - start);
    }
    std::sort(times.begin(), times.end());
    bench::report("stats_refresh_1000_ids", times[times.size() / 2] * 1000.0, "ms");
}
