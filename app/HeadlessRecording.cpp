#include "app/HeadlessRecording.h"

#include "capture/CaptureTime.h"
#include "device/AdapterList.h"
#include "device/DeviceLibrary.h"
#include "device/FrameTap.h"
#include "logfile/FrameRecorder.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <ostream>

namespace {

constexpr std::chrono::milliseconds PollInterval{1000};

} // namespace

std::string formatRecordedSize(std::uint64_t bytes)
{
    char text[32];
    if (bytes < 1000)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < 1'000'000)
        std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
    else if (bytes < 1'000'000'000)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

std::string recordSummary(std::uint64_t frames, std::uint64_t lost, std::uint64_t bytes,
                          std::chrono::milliseconds elapsed)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(elapsed.count()) / 1e3);
    return "recorded " + std::to_string(frames) + " frames, lost " + std::to_string(lost) + ", "
        + formatRecordedSize(bytes) + " in " + seconds + " s";
}

int runHeadlessRecording(DeviceLibrary &library, DeliveryMonitor &monitor,
                         const HeadlessRecordRequest &request, std::ostream &out, std::ostream &err,
                         const StopWait &waitForStop)
{
    const auto entries = readAdapterEntries(library);
    const int index = findAdapter(library, request.adapter);
    if (entries.empty() || index < 0) {
        err << "No adapter matches \"" << request.adapter
            << "\" (--list-adapters shows the adapters).\n";
        return 1;
    }
    const std::string &entry = entries[static_cast<std::size_t>(index)];

    FrameRecorder recorder(request.settings);
    std::string error;
    if (!recorder.start(error)) {
        err << "Cannot record to " << error << '\n';
        return 1;
    }
    recorder.setCaptureStart(wallClockMicroseconds());
    monitor.setFrameTap(&recorder);
    const DevStatus opened = library.DevOpen(index);
    if (opened != DevSuccess || library.DevStart(1) != DevSuccess) {
        monitor.setFrameTap(nullptr);
        library.DevClose();
        recorder.stop();
        err << "Cannot open \"" << entry << '"'
            << (opened == DevInUse ? ": it is in use by another program" : "") << '\n';
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    bool failed = false;
    for (;;) {
        auto wait = PollInterval;
        if (request.duration.count() > 0) {
            const auto left = request.duration
                - std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - started);
            if (left.count() <= 0)
                break;
            wait = std::min(wait, left);
        }
        const bool stop = waitForStop(wait);
        recorder.setLostBefore(monitor.readDeliveryCounts().lost());
        failed = !recorder.status().failure.empty();
        if (stop || failed)
            break;
    }

    // Closing delivers what the library still holds, through the tap.
    const std::uint64_t lostBefore = monitor.readDeliveryCounts().lost();
    library.DevClose();
    monitor.setFrameTap(nullptr);
    recorder.setLostBefore(lostBefore);
    recorder.stop();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    const FrameRecorder::Status status = recorder.status();
    if (!status.failure.empty()) {
        err << "Recording stopped: " << status.failure << '\n';
        failed = true;
    }
    out << recordSummary(status.framesWritten, status.lost, status.bytesWritten, elapsed) << '\n';
    out.flush();
    return failed ? 1 : 0;
}

StopWait stopOnTerminationSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return [signals](std::chrono::milliseconds timeout) {
        timespec wait{};
        wait.tv_sec = static_cast<time_t>(timeout.count() / 1000);
        wait.tv_nsec = static_cast<long>((timeout.count() % 1000) * 1'000'000);
        for (;;) {
            const int received = sigtimedwait(&signals, nullptr, &wait);
            if (received == SIGINT || received == SIGTERM)
                return true;
            if (received < 0 && errno == EINTR)
                continue; // another signal: the remaining wait is not worth tracking
            return false;
        }
    };
}
