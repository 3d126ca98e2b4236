#pragma once

#include "dbc/DbcDatabase.h"

#include <cstdint>
#include <string>
#include <vector>

// One signal of a frame as the database describes it.
struct DecodedSignal {
    enum class State : std::uint8_t {
        Present,
        NotInFrame,  // reaches past the frame's data bytes, or a remote frame
        NotSelected, // multiplexed, and the multiplexer selects another value
    };

    const DbcSignal *signal = nullptr;
    State state = State::NotInFrame;
    std::uint64_t bits = 0; // the signal's bits as the frame carries them
    std::int64_t raw = 0;   // the integer they stand for, sign-extended when signed
    double value = 0.0;     // physical: raw × factor + offset (floats: their value)

    bool present() const { return state == State::Present; }
};

// Decodes the frame with the message that describes it: one entry per signal,
// in the database's order, in out (emptied first). frameType is the frame
// record's type byte; dlc counts its data bytes (at most 8 are looked at).
void decodeMessage(const DbcMessage &message, std::uint8_t frameType, std::uint8_t dlc,
                   const std::uint8_t (&data)[8], std::vector<DecodedSignal> &out);

// The message the frame belongs to, decoded into out; nullptr, and out
// emptied, when the database does not describe it.
const DbcMessage *decodeFrame(const DbcDatabase &database, std::uint8_t frameType, std::uint32_t id,
                              std::uint8_t dlc, const std::uint8_t (&data)[8],
                              std::vector<DecodedSignal> &out);

// The physical value as text, with as many decimals as the factor and offset
// give ("1850.25"); floats in their shortest form.
std::string formatSignalValue(const DbcSignal &signal, double value);
// The raw bits in hexadecimal, as many digits as the length needs ("0x1CE8").
std::string formatSignalBits(const DbcSignal &signal, std::uint64_t bits);
// The value with its unit, "1850.25 rpm", or the value alone.
std::string formatSignalWithUnit(const DbcSignal &signal, double value);
// The text the database gives the raw value, or empty.
std::string signalDescription(const DecodedSignal &decoded);

// One line for a frame the database describes: time in seconds, identifier
// in hexadecimal, message name, then name=value [unit] ["description"] for
// each signal present, in the database's order.
std::string formatDecodedLine(const DbcMessage &message,
                              const std::vector<DecodedSignal> &signalList, std::uint32_t seconds,
                              std::uint32_t microseconds);
