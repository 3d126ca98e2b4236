#pragma once

#include "capture/CanFrame.h"

#include <array>
#include <cstdint>
#include <string>

// The texts the Error Status dialog shows for an error-status record.
namespace ErrorStatusTexts {

inline constexpr std::size_t CountRows = 5;
// The rows of the error-count list, in the order of the record's counts.
inline constexpr std::array<const char *, CountRows> CountRowLabels = {
    "Stuff Error", "Form Error", "ACK Error", "Bit Error", "CRC Error"};

// "No Error", the error kinds for 1 to 6, and "Unknown Error : %d" for codes
// the controller does not define (7 and above).
std::string lastErrorCodeText(std::uint8_t lec);
// "Active" (0), "Passive" (1 to 3), "Bus Off" (4 to 7), "Error Mode : %d"
// above.
std::string errorModeText(std::uint8_t mode);

struct Texts {
    std::string tec;
    std::string rec;
    std::string lec;
    std::string errorMode;
    std::array<std::string, CountRows> counts;

    friend bool operator==(const Texts &, const Texts &) = default;
};

Texts textsFor(const CAN_ErrorStatus &status);

} // namespace ErrorStatusTexts
