#include "Bench.h"

#include "app/HeadlessRecording.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"
#include "logfile/FrameRecorder.h"

#include <QTemporaryDir>

#include <sstream>
#include <thread>

#include <sys/resource.h>

namespace {

// A saturated 1 Mbit/s bus carries somewhat under 9,000 frames a second
// (standard data frames of random length, stuff bits included).
constexpr double SaturatedFramesPerSecond = 9000;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The writer's throughput: frames handed over as fast as the queue drains
// (the producer only waits while the queue is half full), written as a
// candump log to a temporary file.
void recordSaturated()
{
    constexpr std::size_t Frames = 2'000'000;
    constexpr std::size_t Batch = 512;
    QTemporaryDir dir;
    std::vector<CAN_Frame> batch(Batch);
    for (std::size_t i = 0; i < Batch; ++i) {
        batch[i].type = 0x04 | (i % 7 == 0 ? 0x10 : 0);
        batch[i].id = 0x100 + static_cast<std::uint32_t>(i);
        batch[i].dlc = static_cast<std::uint8_t>(i % 9);
        for (int b = 0; b < 8; ++b)
            batch[i].data[b] = static_cast<std::uint8_t>(i * 7 + b);
    }
    FrameRecorder recorder({dir.filePath("bench.log").toStdString(), LogFormat::Candump});
    std::string error;
    if (!recorder.start(error)) {
        std::fprintf(stderr, "record_saturated: %s\n", error.c_str());
        return;
    }
    const double elapsed = bench::seconds([&] {
        for (std::size_t sent = 0; sent < Frames; sent += Batch) {
            for (std::size_t i = 0; i < Batch; ++i) {
                batch[i].timestampHigh = static_cast<std::uint32_t>((sent + i) / 100'000);
                batch[i].timestampLow = static_cast<std::uint32_t>((sent + i) % 100'000 * 10);
            }
            while (recorder.status().queued > FrameRecorder::DefaultQueueLimit / 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            recorder.framesDelivered(batch);
        }
        recorder.stop();
    });
    const auto status = recorder.status();
    const double rate = static_cast<double>(status.framesWritten) / elapsed;
    std::printf("record_saturated: %.0f frames/s, lost %llu\n", rate,
                static_cast<unsigned long long>(status.lost));
    std::fprintf(stderr, "record_saturated: %.1f times a saturated 1 Mbit/s bus, %.1f MB/s\n",
                 rate / SaturatedFramesPerSecond,
                 static_cast<double>(status.bytesWritten) / elapsed / 1e6);
    std::fflush(stdout);
}

// The headless recorder on the saturated virtual adapter at 1 Mbit/s, in
// real time: the share of one core it takes, the simulated bus included.
void recordCpuSaturated()
{
    QTemporaryDir dir;
    VirtualAdapters::Options busOptions;
    busOptions.bitrate = 1'000'000;
    std::vector<std::unique_ptr<AdapterProvider>> providers;
    providers.push_back(std::make_unique<VirtualAdapters>(busOptions));
    VexoDeviceLibrary::Options options;
    options.dataDirectory = dir.filePath("data").toStdString();
    VexoDeviceLibrary library(options, std::move(providers));

    HeadlessRecordRequest request;
    request.settings = {dir.filePath("cpu.log").toStdString(), LogFormat::Candump};
    request.adapter = "Vexo Virtual Saturated Bus";
    request.duration = std::chrono::seconds(10);
    std::ostringstream out;
    std::ostringstream err;
    const double cpuBefore = cpuSeconds();
    const double wall = bench::seconds([&] {
        runHeadlessRecording(library, library, request, out, err,
                             [](std::chrono::milliseconds wait) {
                                 std::this_thread::sleep_for(wait);
                                 return false;
                             });
    });
    const double cpu = cpuSeconds() - cpuBefore;
    bench::report("record_cpu_saturated", cpu / wall * 100.0, "%");
    std::fprintf(stderr, "record_cpu_saturated: %s%s", out.str().c_str(), err.str().c_str());
}

const bench::Registrar saturated("record_saturated", recordSaturated);
const bench::Registrar cpuSaturated("record_cpu_saturated", recordCpuSaturated);

} // namespace
