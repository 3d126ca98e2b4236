#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

// A classic CAN frame bit by bit as the bus carries it, from the start-of-frame
// bit to the end of the inter-frame space that follows it: arbitration and
// control fields, data, the CRC-15 sequence, its delimiter, the ACK slot (seen
// dominant, as by a receiver) and delimiter, end of frame and the three
// intermission bits. After five equal bits from the start of frame to the end
// of the CRC sequence the transmitter inserts a stuff bit of the opposite
// level, which counts towards the next run.
//
// The stream is built from a frame's type byte (remote 0x01, extended 0x02),
// identifier, DLC and data bytes. A remote frame carries no data; a DLC above
// 8 is sent as given (up to 15) with eight data bytes; identifier bits beyond
// the format's 11 or 29 are not sent.
//
// Building one allocates nothing: the levels and the stuff marks are kept as
// bit sets, and a bit's field is looked up when the bit is asked for. Where
// only the length matters, bitCount() gives it without keeping any bits.
class CanBitStream {
public:
    enum class Field : std::uint8_t {
        StartOfFrame,
        Identifier, // the whole identifier of a standard frame, the base part of an extended one
        SubstituteRemoteRequest,
        IdentifierExtension,
        ExtendedIdentifier, // the 18 further identifier bits of an extended frame
        RemoteRequest,
        Reserved1,
        Reserved0,
        DataLength,
        Data,
        Crc,
        CrcDelimiter,
        AckSlot,
        AckDelimiter,
        EndOfFrame,
        Intermission,
    };
    static constexpr int FieldCount = 16;

    struct Bit {
        Field field = Field::StartOfFrame;
        // Position of the bit within its field, from 0 (a data bit's byte is
        // index / 8). A stuff bit carries the index of the bit it follows.
        std::uint8_t index = 0;
        std::uint8_t level = 0; // 0 dominant, 1 recessive
        bool stuff = false;
    };

    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Bit;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Bit;

        Iterator() = default;
        Iterator(const CanBitStream *stream, int i) : m_stream(stream), m_i(i) { }
        Bit operator*() const { return m_stream->bit(m_i); }
        Iterator &operator++()
        {
            ++m_i;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++m_i;
            return before;
        }
        friend bool operator==(const Iterator &a, const Iterator &b) { return a.m_i == b.m_i; }

    private:
        const CanBitStream *m_stream = nullptr;
        int m_i = 0;
    };

    // An extended frame with eight data bytes and a stuff bit after every
    // fourth bit of its 118 stuffed bits, with the inter-frame space.
    static constexpr int MaxBits = 160;
    static constexpr int IntermissionBits = 3;
    static constexpr std::uint32_t CrcPolynomial = 0x4599;

    // An empty stream.
    CanBitStream() = default;
    CanBitStream(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                 const std::uint8_t (&data)[8]);

    // Every bit, from the start of frame to the end of the intermission; a
    // default bit for a position outside the stream.
    int size() const { return m_size; }
    Bit bit(int i) const;
    Bit operator[](int i) const { return bit(i); }
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, m_size}; }

    bool extended() const { return m_extended; }
    int stuffBitCount() const { return m_stuffBits; }
    // Bits of the frame itself: all but the intermission.
    int frameBitCount() const { return m_size > 0 ? m_size - IntermissionBits : 0; }
    std::uint16_t crc() const { return m_crc; }

    // The time the whole stream occupies the bus, in nanoseconds, rounded.
    std::int64_t durationNs(std::uint32_t bitsPerSecond) const
    {
        return durationNs(m_size, bitsPerSecond);
    }
    static std::int64_t durationNs(int bits, std::uint32_t bitsPerSecond);

    // The number of bits the stream would have, without building it: the
    // frame's length on the bus, intermission included.
    static int bitCount(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                        const std::uint8_t (&data)[8]);

private:
    // Bit i of the stream is bit i % 64 of word i / 64.
    std::array<std::uint64_t, 3> m_levels{};
    std::array<std::uint64_t, 3> m_stuff{};
    int m_size = 0;
    int m_stuffBits = 0;
    std::uint16_t m_crc = 0;
    bool m_extended = false;
    std::uint8_t m_dataBytes = 0;
};
