#pragma once

#include "device/DeviceLibrary.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// What an adapter keeps for itself between sessions: its serial name, its
// bit timing and its options. A real adapter keeps them in its flash; ours are
// one small text file per adapter, named after its instance identifier:
//
//     # Vexo View adapter settings
//     serial=1000000001
//     btr=2
//     sjw=1
//     tseg1=13
//     tseg2=2
//     clkdiv=0
//     options=1
//
// The five timing keys come together or not at all (an interface whose timing
// was never written has none). Lines starting with # are comments; unknown
// keys are ignored.
struct AdapterSettings {
    std::string serial;
    std::optional<CAN_Timing> timing;
    std::uint8_t options = AdapterOption::AutomaticRetransmission;

    friend bool operator==(const AdapterSettings &, const AdapterSettings &) = default;
};

namespace SettingsFile {

inline constexpr std::size_t MaxFileSize = 4096;
inline constexpr std::size_t MaxSerialLength = SerialFieldSize;

std::string format(const AdapterSettings &settings);
// Reads settings text. Damaged text (a malformed line, a value out of range,
// an incomplete or invalid timing, an oversized file) gives nullopt.
std::optional<AdapterSettings> parse(std::string_view text);
// A serial name the adapter can keep: 1 to 10 printable characters, no blanks.
bool isValidSerial(std::string_view serial);

} // namespace SettingsFile

// The settings files of all adapters, in one directory.
class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path directory) : m_directory(std::move(directory)) { }

    // The stored settings, or the defaults when there are none. A damaged
    // file is set aside as <id>.conf.damaged (never deleted) and the defaults
    // are used.
    AdapterSettings load(const std::string &instanceId, const AdapterSettings &defaults) const;
    // Replaces the stored settings; false when the file cannot be written.
    bool save(const std::string &instanceId, const AdapterSettings &settings) const;
    std::filesystem::path pathOf(const std::string &instanceId) const;

private:
    std::filesystem::path m_directory;
};

// Marks an adapter as open by this process, so that a second Vexo View is
// refused it. The lock is an advisory lock on <directory>/<id>.lock, removed
// when the adapter is closed; one left by a crash holds no lock and is reused.
class AdapterLock {
public:
    enum class Result { Acquired, InUse, Unavailable };

    static std::unique_ptr<AdapterLock> acquire(const std::filesystem::path &directory,
                                                const std::string &instanceId, Result &result);
    ~AdapterLock();
    AdapterLock(const AdapterLock &) = delete;
    AdapterLock &operator=(const AdapterLock &) = delete;

private:
    AdapterLock(int fd, std::filesystem::path path) : m_fd(fd), m_path(std::move(path)) { }
    int m_fd = -1;
    std::filesystem::path m_path;
};
