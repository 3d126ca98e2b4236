#pragma once

#include "capture/PacketText.h"

#include <cstdint>
#include <string>

// One stored frame. Its data text and time text are made once, when the frame
// is stored, and never recomputed.
class CAN_Packet {
public:
    CAN_Packet() = default;
    CAN_Packet(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
               const std::uint8_t (&data)[8], std::uint32_t timestampLow,
               std::uint32_t timestampHigh, PacketText dataText, PacketText timeText);
    CAN_Packet(const CAN_Packet &) = default;
    CAN_Packet(CAN_Packet &&) noexcept = default;
    CAN_Packet &operator=(const CAN_Packet &) = default;
    CAN_Packet &operator=(CAN_Packet &&) noexcept = default;
    virtual ~CAN_Packet() = default;

    std::uint32_t number = 0;
    std::uint8_t type = 0;
    std::uint32_t id = 0;
    std::uint8_t dlc = 0;
    std::uint8_t data[8] = {};
    std::uint64_t timestamp = 0; // seconds in the high half, microseconds in the low half
    std::uint8_t shown = 1;
    PacketText dataText;
    PacketText timeText;
};

// One entry of the excluded-identifier list of the selection filter.
class CAN_Packet_ID {
public:
    CAN_Packet_ID() = default;
    CAN_Packet_ID(std::uint8_t type, std::uint32_t id) : type(type), id(id) { }
    CAN_Packet_ID(const CAN_Packet_ID &) = default;
    CAN_Packet_ID &operator=(const CAN_Packet_ID &) = default;
    virtual ~CAN_Packet_ID() = default;

    std::uint8_t type = 0;
    std::uint32_t id = 0;
};

// The number of data bytes a frame carries when stored: none for a remote frame
// or a negative DLC, at most the eight bytes a record holds.
int storedByteCount(std::uint8_t type, std::uint8_t dlc);

// Data bytes as text: "%02X" each, joined by one blank ("11 22 33").
PacketText formatDataText(const std::uint8_t *bytes, int count);

// Time stamp as text "mm:ss  mmm.uuu" from the low 16 bits of the seconds.
PacketText formatTimeText(std::uint32_t timestampLow, std::uint32_t timestampHigh);
