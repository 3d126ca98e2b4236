#include "device/AdapterSettings.h"

#include "device/BitTiming.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsFile {

namespace {

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool parseNumber(std::string_view text, int low, int high, std::uint8_t &value)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < low || number > high)
        return false;
    value = static_cast<std::uint8_t>(number);
    return true;
}

} // namespace

bool isValidSerial(std::string_view serial)
{
    if (serial.empty() || serial.size() > MaxSerialLength)
        return false;
    for (const char c : serial) {
        if (c < 0x21 || c > 0x7E)
            return false;
    }
    return true;
}

std::string format(const AdapterSettings &settings)
{
    std::ostringstream out;
    out << "# Vexo View adapter settings\n";
    out << "serial=" << settings.serial << '\n';
    if (settings.timing) {
        const CAN_Timing &t = *settings.timing;
        out << "btr=" << int(t.btr) << '\n'
            << "sjw=" << int(t.sjw) << '\n'
            << "tseg1=" << int(t.tseg1) << '\n'
            << "tseg2=" << int(t.tseg2) << '\n'
            << "clkdiv=" << int(t.clkDiv) << '\n';
    }
    out << "options=" << int(settings.options) << '\n';
    return out.str();
}

std::optional<AdapterSettings> parse(std::string_view text)
{
    if (text.size() > MaxFileSize)
        return std::nullopt;
    AdapterSettings settings;
    bool haveSerial = false;
    CAN_Timing timing;
    int timingKeys = 0;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const std::string_view line = trim(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        bool ok = true;
        if (key == "serial") {
            ok = isValidSerial(value);
            settings.serial = std::string(value);
            haveSerial = true;
        } else if (key == "btr") {
            ok = parseNumber(value, 1, 255, timing.btr);
            ++timingKeys;
        } else if (key == "sjw") {
            ok = parseNumber(value, 0, 3, timing.sjw);
            ++timingKeys;
        } else if (key == "tseg1") {
            ok = parseNumber(value, 1, 15, timing.tseg1);
            ++timingKeys;
        } else if (key == "tseg2") {
            ok = parseNumber(value, 0, 7, timing.tseg2);
            ++timingKeys;
        } else if (key == "clkdiv") {
            ok = parseNumber(value, 0, 7, timing.clkDiv);
            ++timingKeys;
        } else if (key == "options") {
            ok = parseNumber(value, 0, 3, settings.options);
        }
        if (!ok)
            return std::nullopt;
    }
    if (!haveSerial)
        return std::nullopt;
    if (timingKeys == 5) {
        if (!BitTiming::isValid(timing))
            return std::nullopt;
        settings.timing = timing;
    } else if (timingKeys != 0) {
        return std::nullopt;
    }
    return settings;
}

} // namespace SettingsFile

std::filesystem::path SettingsStore::pathOf(const std::string &instanceId) const
{
    return m_directory / (instanceId + ".conf");
}

AdapterSettings SettingsStore::load(const std::string &instanceId,
                                    const AdapterSettings &defaults) const
{
    const auto path = pathOf(instanceId);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return defaults;
    std::string text;
    bool tooLarge = false;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return defaults;
        text.resize(SettingsFile::MaxFileSize + 1);
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        tooLarge = text.size() > SettingsFile::MaxFileSize;
    }
    const auto settings = tooLarge ? std::nullopt : SettingsFile::parse(text);
    if (settings)
        return *settings;
    // Keep what the user had; the adapter carries on with its defaults.
    auto aside = path;
    aside += ".damaged";
    std::filesystem::rename(path, aside, error);
    return defaults;
}

bool SettingsStore::save(const std::string &instanceId, const AdapterSettings &settings) const
{
    std::error_code error;
    std::filesystem::create_directories(m_directory, error);
    const auto path = pathOf(instanceId);
    auto temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << SettingsFile::format(settings);
        out.flush();
        if (!out)
            return false;
    }
    std::filesystem::rename(temporary, path, error);
    return !error;
}

std::unique_ptr<AdapterLock> AdapterLock::acquire(const std::filesystem::path &directory,
                                                  const std::string &instanceId, Result &result)
{
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    const auto path = directory / (instanceId + ".lock");
    // The holder removes the file when it lets go. A process that opened the
    // file just before that may then lock a file no longer in the folder: it
    // sees so by comparing what it locked with what the path names, and tries
    // again on the file now there.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            result = Result::Unavailable;
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            result = errno == EWOULDBLOCK ? Result::InUse : Result::Unavailable;
            ::close(fd);
            return nullptr;
        }
        struct stat locked { };
        struct stat named { };
        if (::fstat(fd, &locked) != 0 || ::stat(path.c_str(), &named) != 0
            || locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        // The holder's process id, for whoever looks at the file.
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.data(), pid.size()) < 0) {
            // The id is a courtesy; the lock holds without it.
        }
        result = Result::Acquired;
        return std::unique_ptr<AdapterLock>(new AdapterLock(fd, path));
    }
    result = Result::Unavailable;
    return nullptr;
}

AdapterLock::~AdapterLock()
{
    if (m_fd >= 0) {
        // Removed while still held, so that nobody locks it in between.
        ::unlink(m_path.c_str());
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}
