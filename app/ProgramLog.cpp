#include "app/ProgramLog.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <system_error>

namespace ProgramLog {
namespace {

std::mutex logMutex;
std::FILE *sink = nullptr;
bool ownSink = false;
std::atomic<bool> isOpen{false};

const char *nameOf(Level level)
{
    switch (level) {
    case Level::Debug:
        return "debug";
    case Level::Info:
        return "info";
    case Level::Warning:
        return "warning";
    case Level::Critical:
        return "critical";
    case Level::Fatal:
        return "fatal";
    }
    return "?";
}

void closeLocked()
{
    isOpen = false;
    if (sink && ownSink)
        std::fclose(sink);
    sink = nullptr;
    ownSink = false;
}

} // namespace

Destination destinationOf(const char *value, const std::filesystem::path &defaultFile)
{
    const std::string_view given = value ? value : "";
    if (given.empty() || given == "0")
        return {};
    if (given == "-")
        return {Destination::Kind::StandardError, {}};
    if (given == "1")
        return {Destination::Kind::File, defaultFile};
    return {Destination::Kind::File, std::filesystem::path(given)};
}

std::string open(const Destination &destination)
{
    std::lock_guard guard(logMutex);
    closeLocked();
    switch (destination.kind) {
    case Destination::Kind::Off:
        return {};
    case Destination::Kind::StandardError:
        sink = stderr;
        break;
    case Destination::Kind::File: {
        std::error_code error;
        if (destination.file.has_parent_path())
            std::filesystem::create_directories(destination.file.parent_path(), error);
        sink = std::fopen(destination.file.c_str(), "a");
        if (!sink)
            return "cannot write the log file " + destination.file.string();
        ownSink = true;
        break;
    }
    }
    isOpen = true;
    return {};
}

void close()
{
    std::lock_guard guard(logMutex);
    closeLocked();
}

bool enabled()
{
    return isOpen;
}

void write(Level level, std::string_view source, std::string_view text)
{
    if (!isOpen)
        return;
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count()
        % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);

    std::lock_guard guard(logMutex);
    if (!sink)
        return;
    std::fprintf(sink, "%s.%03dZ %s %.*s: %.*s\n", stamp, static_cast<int>(millis), nameOf(level),
                 static_cast<int>(source.size()), source.data(), static_cast<int>(text.size()),
                 text.data());
    std::fflush(sink);
}

} // namespace ProgramLog
