#include "Bench.h"

#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <thread>

namespace {

// Keeps the time stamps of the frames the library reports, by identifier.
class StampCollector : public NotifyTarget {
public:
    void postFrame(int, const CAN_Frame &frame, int) override
    {
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard guard(m_mutex);
        const double stamp = frame.timestampHigh * 1e3 + frame.timestampLow / 1e3;
        m_stamps[frame.id].push_back(stamp);
        const std::chrono::duration<double, std::milli> sinceStart = now - start;
        m_lateness.push_back(sinceStart.count() - stamp);
    }
    void postErrorStatus(const CAN_ErrorStatus &) override { }

    std::vector<double> stamps(std::uint32_t id)
    {
        std::lock_guard guard(m_mutex);
        return m_stamps[id];
    }

    // How long after its time stamp each frame was reported, in milliseconds.
    std::vector<double> lateness()
    {
        std::lock_guard guard(m_mutex);
        return m_lateness;
    }

    std::chrono::steady_clock::time_point start;

private:
    std::mutex m_mutex;
    std::vector<double> m_lateness;
    std::map<std::uint32_t, std::vector<double>> m_stamps; // milliseconds
};

CAN_Frame rowFrame(std::uint32_t id)
{
    CAN_Frame frame;
    frame.type = 0x14;
    frame.id = id;
    frame.dlc = 8;
    return frame;
}

} // namespace

// Two periodic rows on the quiet virtual bus for three seconds, at 10 ms and
// 100 ms, the intervals read from the time stamps of the transmitted frames.
VEXO_BENCHMARK(periodic_rows)
{
    QTemporaryDir data;
    VexoDeviceLibrary::Options options;
    options.dataDirectory = data.path().toStdString();
    std::vector<std::unique_ptr<AdapterProvider>> providers;
    providers.push_back(std::make_unique<VirtualAdapters>());
    VexoDeviceLibrary library(options, std::move(providers));
    StampCollector collector;
    library.DevSetNotifyWindow(&collector);
    std::int32_t count = 0;
    library.DevGetDeviceCount(count);
    library.DevOpen(1); // the quiet bus
    collector.start = std::chrono::steady_clock::now();
    library.DevStart(1);

    const std::pair<std::uint32_t, std::uint16_t> rows[] = {{0x100, 10}, {0x200, 100}};
    for (int r = 0; r < 2; ++r) {
        library.DevSetPeriodicFrame(r, rowFrame(rows[r].first));
        library.DevSetPeriod(r, rows[r].second);
        library.DevEnablePeriodic(r, 1);
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    for (int r = 0; r < 2; ++r)
        library.DevEnablePeriodic(r, 0);
    library.DevRelease();

    for (const auto &[id, period] : rows) {
        const std::vector<double> stamps = collector.stamps(id);
        double worst = 0;
        for (std::size_t i = 1; i < stamps.size(); ++i)
            worst = std::max(worst, std::abs(stamps[i] - stamps[i - 1] - period));
        const double mean = stamps.size() > 1
            ? (stamps.back() - stamps.front()) / static_cast<double>(stamps.size() - 1)
            : 0.0;
        const std::string name = "periodic_row_" + std::to_string(period) + "ms";
        bench::report(name + "_mean_interval", mean, "ms");
        bench::report(name + "_worst_deviation", worst, "ms");
    }
    // Against the time the bus started, so it includes the (small) start-up offset.
    std::vector<double> lateness = collector.lateness();
    std::sort(lateness.begin(), lateness.end());
    if (!lateness.empty()) {
        bench::report("periodic_row_report_delay_median", lateness[lateness.size() / 2], "ms");
        bench::report("periodic_row_report_delay_worst", lateness.back(), "ms");
    }
}
