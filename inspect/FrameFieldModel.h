#pragma once

#include <array>
#include <cstdint>
#include <string>

class CAN_Packet;

// One frame as the bit diagram shows it: the value and the bits of every
// header field and every data byte, as texts, most significant bit first. It
// ends with the data bytes (no CRC, acknowledgement or end of frame, no stuff
// bits). Entries a frame does not use are empty.
struct FrameFieldModel {
    static constexpr int ValueCount = 9;    // header fields of an extended frame
    static constexpr int BitCount = 39;     // header bits of an extended frame
    static constexpr int DataByteCount = 8; // data bytes a frame record holds
    static constexpr int DataBitCount = 64;

    std::array<std::string, ValueCount> values;
    std::array<std::string, BitCount> bits;
    std::array<std::string, DataByteCount> dataValues;
    std::array<std::string, DataBitCount> dataBits;
    std::uint8_t type = 0;
    std::uint8_t dlc = 0;
};

// The field model of a stored frame. A standard frame gives 6 values and 19
// bits, an extended frame 9 and 39, a type whose frame bit is clear only the
// start of frame. Every kind shows its first DLC data bytes, at most the
// eight the record holds.
FrameFieldModel buildFieldModel(const CAN_Packet &frame);
