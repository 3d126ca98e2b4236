#include "device/KernelDropCounters.h"

#include <charconv>
#include <fstream>

namespace {

std::optional<std::uint64_t> readCounter(const std::filesystem::path &file)
{
    std::ifstream in(file);
    char text[32] = {};
    if (!in.read(text, sizeof text - 1) && in.gcount() == 0)
        return std::nullopt;
    const char *end = text + in.gcount();
    std::uint64_t value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop == text)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::uint64_t> readKernelDrops(const std::filesystem::path &sysRoot,
                                             const std::string &interfaceName)
{
    // The name comes from the interface list: it must not lead elsewhere.
    if (interfaceName.empty() || interfaceName.size() > 15 || interfaceName == "."
        || interfaceName == ".." || interfaceName.find('/') != std::string::npos)
        return std::nullopt;
    const auto folder = sysRoot / "class" / "net" / interfaceName / "statistics";
    std::optional<std::uint64_t> sum;
    for (const char *name : {"rx_dropped", "rx_over_errors", "rx_fifo_errors"}) {
        if (const auto value = readCounter(folder / name))
            sum = sum.value_or(0) + *value;
    }
    return sum;
}

void DropTally::start(std::optional<std::uint64_t> reading)
{
    m_last = reading;
    m_lost = 0;
}

void DropTally::update(std::optional<std::uint64_t> reading)
{
    if (!reading)
        return;
    if (m_last && *reading >= *m_last)
        m_lost += *reading - *m_last;
    m_last = reading;
}
