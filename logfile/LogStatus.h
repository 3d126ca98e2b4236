#pragma once

#include <cstddef>
#include <string_view>

// The readers reserve room for at most this many frames up front (a live
// capture's size); beyond it the capture grows with the records actually read,
// never with a count the file merely claims.
inline constexpr std::size_t LogReserveLimit = 50000;

// What reading or writing a log came to. Anything but Ok means the caller's
// capture, and the file on disk, are to be left as they were.
enum class LogStatus {
    Ok,
    CanNotOpen,    // the file could not be read, or is no log of its format, or is cut short
    FileOpenError, // a text log with a bad line
    PacketError,   // a frame that a text log cannot hold
};

// The message the user is shown for a status other than Ok.
constexpr std::string_view logStatusMessage(LogStatus status)
{
    switch (status) {
    case LogStatus::Ok:
        break;
    case LogStatus::CanNotOpen:
        return "Can not open file";
    case LogStatus::FileOpenError:
        return "File open error";
    case LogStatus::PacketError:
        return "Packet Error";
    }
    return {};
}
