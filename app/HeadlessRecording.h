#pragma once

#include "logfile/RecordWriter.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

class DeliveryMonitor;
class DeviceLibrary;

// What `--record FILE --adapter NAME [--duration S] [--format F]` asks.
struct HeadlessRecordRequest {
    RecordSettings settings;
    std::string adapter;
    // How long to record; 0: until stopped.
    std::chrono::milliseconds duration{0};
};

// Waits up to the given time for a request to stop; true when one came.
using StopWait = std::function<bool(std::chrono::milliseconds)>;

// "2.1 MB": a size in bytes, for people.
std::string formatRecordedSize(std::uint64_t bytes);
// "recorded 70210 frames, lost 0, 2.1 MB in 14.0 s"
std::string recordSummary(std::uint64_t frames, std::uint64_t lost, std::uint64_t bytes,
                          std::chrono::milliseconds elapsed);

// Records from the named adapter without a window until the duration has
// passed or waitForStop says stop, then prints the summary on out. Returns
// the exit code: 0, or 1 after telling err why it could not record (no such
// adapter, the adapter cannot be opened, the file cannot be written).
// monitor is the library's own view of its deliveries.
int runHeadlessRecording(DeviceLibrary &library, DeliveryMonitor &monitor,
                         const HeadlessRecordRequest &request, std::ostream &out, std::ostream &err,
                         const StopWait &waitForStop);

// A StopWait for SIGINT and SIGTERM. Blocks both signals in the calling
// thread and every thread it starts later, so call it before the library
// starts its threads.
StopWait stopOnTerminationSignals();
