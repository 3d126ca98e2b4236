#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The kernel's count of frames a network interface dropped before any program
// could read them: rx_dropped, rx_over_errors and rx_fifo_errors under
// <sysRoot>/class/net/<interface>/statistics/, summed. nullopt when the name
// is no plain interface name or none of the counters can be read.
std::optional<std::uint64_t> readKernelDrops(const std::filesystem::path &sysRoot,
                                             const std::string &interfaceName);

// Frames dropped since the tally started. The counters read at the start are
// the baseline; counters that went back (the interface was taken down and
// made again) become the new baseline, keeping what was counted before.
// Readings that fail are passed over.
class DropTally {
public:
    void start(std::optional<std::uint64_t> reading);
    void update(std::optional<std::uint64_t> reading);
    std::uint64_t lost() const { return m_lost; }

private:
    std::optional<std::uint64_t> m_last;
    std::uint64_t m_lost = 0;
};
