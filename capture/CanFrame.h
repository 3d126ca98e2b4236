#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The 32-byte frame record exchanged with the device library in both
// directions: notifications of received and transmitted frames, and the
// frames the program hands over for sending. Little-endian, no padding beyond
// the reserved bytes.
struct CAN_Frame {
    std::uint8_t type = 0;
    std::uint8_t reserved1[3] = {};
    std::uint32_t id = 0;
    std::uint8_t dlc = 0;
    std::uint8_t data[8] = {};
    std::uint8_t reserved2[7] = {};
    std::uint32_t timestampLow = 0;  // microseconds within the second
    std::uint32_t timestampHigh = 0; // whole seconds
};

static_assert(sizeof(CAN_Frame) == 32);
static_assert(offsetof(CAN_Frame, type) == 0);
static_assert(offsetof(CAN_Frame, id) == 4);
static_assert(offsetof(CAN_Frame, dlc) == 8);
static_assert(offsetof(CAN_Frame, data) == 9);
static_assert(offsetof(CAN_Frame, timestampLow) == 24);
static_assert(offsetof(CAN_Frame, timestampHigh) == 28);

// Bits of CAN_Frame::type. Other bits are carried unchanged.
namespace FrameType {
inline constexpr std::uint8_t Remote = 0x01;
inline constexpr std::uint8_t Extended = 0x02;
inline constexpr std::uint8_t FrameBit = 0x04; // set in every data and remote frame
inline constexpr std::uint8_t Transmitted = 0x10;
inline constexpr std::uint8_t KindMask = 0x03; // the two low bits name the frame kind
} // namespace FrameType

// Frame kinds by index (type & 3), in the order used throughout the program.
inline constexpr std::array<std::string_view, 4> FrameKindLabels = {"STD DATA", "STD REMOTE",
                                                                    "EXT DATA", "EXT REMOTE"};

constexpr std::string_view frameKindLabel(std::uint8_t type)
{
    return FrameKindLabels[type & FrameType::KindMask];
}

// The 14-byte error-status record reported by the device library.
struct CAN_ErrorStatus {
    std::uint8_t tec = 0; // transmit error counter
    std::uint8_t rec = 0; // receive error counter
    std::uint8_t lec = 0; // last error code
    std::uint8_t errorMode = 0;
    std::uint16_t stuffErrors = 0;
    std::uint16_t formErrors = 0;
    std::uint16_t ackErrors = 0;
    std::uint16_t bitErrors = 0;
    std::uint16_t crcErrors = 0;

    friend bool operator==(const CAN_ErrorStatus &, const CAN_ErrorStatus &) = default;
};

static_assert(sizeof(CAN_ErrorStatus) == 14);
static_assert(offsetof(CAN_ErrorStatus, tec) == 0);
static_assert(offsetof(CAN_ErrorStatus, rec) == 1);
static_assert(offsetof(CAN_ErrorStatus, lec) == 2);
static_assert(offsetof(CAN_ErrorStatus, errorMode) == 3);
static_assert(offsetof(CAN_ErrorStatus, stuffErrors) == 4);
static_assert(offsetof(CAN_ErrorStatus, formErrors) == 6);
static_assert(offsetof(CAN_ErrorStatus, ackErrors) == 8);
static_assert(offsetof(CAN_ErrorStatus, bitErrors) == 10);
static_assert(offsetof(CAN_ErrorStatus, crcErrors) == 12);
