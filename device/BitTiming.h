#pragma once

#include "device/DeviceLibrary.h"

#include <cstdint>

// The bit-timing model of the adapter's CAN controller.
//
// The controller runs from a 16 MHz clock. The clock is divided by the
// divider that ClkDiv selects (1, 2, 3, 5, 9, 17, 33, 65) and then by the
// prescaler BTR (1 to 255); the result is the time quantum (tq):
//
//     tq = divider(ClkDiv) * BTR / 16 MHz
//
// A bit is one synchronisation quantum, TSEG1 quanta (propagation and phase
// segment 1, 1 to 15) and TSEG2 quanta (phase segment 2, 1 to 7):
//
//     quanta per bit = 1 + TSEG1 + TSEG2     (8 to 23, as CAN requires 8 to 25)
//     bit rate       = 16 MHz / (divider * BTR * quanta per bit)
//     sample point   = (1 + TSEG1) / quanta per bit
//
// The resynchronisation jump width is SJW + 1 quanta and may not exceed
// phase segment 2. The transceiver carries 10 kbit/s to 1 Mbit/s; timings
// outside that range are refused.
namespace BitTiming {

inline constexpr std::uint32_t ClockHz = 16'000'000;
inline constexpr std::uint32_t MinBitrate = 10'000;
inline constexpr std::uint32_t MaxBitrate = 1'000'000;
inline constexpr int MinQuanta = 8;
inline constexpr int MaxQuanta = 23;

// True when every field is in range and the rate lies within the
// transceiver's range.
bool isValid(const CAN_Timing &timing);

// The exact bit rate of a timing in bit/s, without range checks.
double bitrate(const CAN_Timing &timing);

// The timing for a bit rate within the transceiver's range: the closest the
// controller can make, preferring a sample point near 87.5 % and more quanta
// per bit. False for a rate out of range.
bool calculate(std::uint32_t bitsPerSecond, CAN_Timing &timing);

// The bit rate rounded to whole kbit/s; false for an invalid timing.
bool toKbitPerSecond(const CAN_Timing &timing, std::int32_t &kbitPerSecond);

// The sample point in percent; 0 when the timing has no quanta.
float samplePoint(const CAN_Timing &timing);

} // namespace BitTiming
