#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The program's own log: what the libraries and plugins beneath the program
// report (Qt's logging categories, the CAN plugins, the system's CAN
// libraries) goes here instead of the terminal. It is off unless the
// environment variable VEXO_LOG names where it goes, so that normal use
// prints nothing. Safe to write from any thread.
namespace ProgramLog {

inline constexpr const char *EnvironmentVariable = "VEXO_LOG";

enum class Level { Debug, Info, Warning, Critical, Fatal };

// Where VEXO_LOG sends the log: unset, empty or "0" nowhere; "-" the standard
// error; "1" the default file; anything else the file it names.
struct Destination {
    enum class Kind { Off, StandardError, File };
    Kind kind = Kind::Off;
    std::filesystem::path file;
};
Destination destinationOf(const char *value, const std::filesystem::path &defaultFile);

// Opens the destination (files are appended to, their folder made). A file
// that cannot be opened leaves the log off; the reason is returned.
std::string open(const Destination &destination);
void close();
bool enabled();

// One line: time (UTC), level, source and text. Nothing when the log is off.
void write(Level level, std::string_view source, std::string_view text);

} // namespace ProgramLog
