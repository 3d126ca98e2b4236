#include "capture/CanBitStream.h"

#include "capture/CanFrame.h"

#include <algorithm>
#include <bit>

namespace {

using Field = CanBitStream::Field;
using Bit = CanBitStream::Bit;

constexpr int StandardHeaderBits = 19; // start of frame to the end of the DLC
constexpr int ExtendedHeaderBits = 39;
constexpr int CrcBits = 15;
constexpr int MaxStuffedBits = ExtendedHeaderBits + 64 + CrcBits;

// The CRC register after shifting in the eight bits of each index, most
// significant first, from a cleared register.
constexpr std::array<std::uint16_t, 256> CrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = 0;
        for (int bit = 7; bit >= 0; --bit) {
            const unsigned feedback = ((byte >> bit) ^ (crc >> 14)) & 1U;
            crc = (crc << 1) & 0x7FFFU;
            if (feedback)
                crc ^= CanBitStream::CrcPolynomial;
        }
        table[byte] = static_cast<std::uint16_t>(crc);
    }
    return table;
}();

// The same followed by eight cleared bits, for the first byte of a pair.
constexpr std::array<std::uint16_t, 256> CrcTableHigh = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned crc = CrcTable[byte];
        table[byte] = static_cast<std::uint16_t>(((crc << 8) ^ CrcTable[crc >> 7]) & 0x7FFF);
    }
    return table;
}();

struct Tag {
    Field field = Field::StartOfFrame;
    std::uint8_t index = 0;
};

// The field of every stuffed bit, for each format and number of data bytes.
struct Layout {
    std::array<Tag, MaxStuffedBits> tags{};
    int count = 0;

    constexpr void add(Field field, int bits)
    {
        for (int i = 0; i < bits; ++i)
            tags[static_cast<std::size_t>(count++)] = Tag{field, static_cast<std::uint8_t>(i)};
    }
};

constexpr Layout makeLayout(bool extended, int bytes)
{
    Layout layout;
    layout.add(Field::StartOfFrame, 1);
    layout.add(Field::Identifier, 11);
    if (extended) {
        layout.add(Field::SubstituteRemoteRequest, 1);
        layout.add(Field::IdentifierExtension, 1);
        layout.add(Field::ExtendedIdentifier, 18);
        layout.add(Field::RemoteRequest, 1);
        layout.add(Field::Reserved1, 1);
        layout.add(Field::Reserved0, 1);
    } else {
        layout.add(Field::RemoteRequest, 1);
        layout.add(Field::IdentifierExtension, 1);
        layout.add(Field::Reserved0, 1);
    }
    layout.add(Field::DataLength, 4);
    layout.add(Field::Data, 8 * bytes);
    layout.add(Field::Crc, CrcBits);
    return layout;
}

// Indexed by [extended][data bytes].
constexpr std::array<std::array<Layout, 9>, 2> Layouts = [] {
    std::array<std::array<Layout, 9>, 2> layouts{};
    for (int bytes = 0; bytes <= 8; ++bytes) {
        layouts[0][static_cast<std::size_t>(bytes)] = makeLayout(false, bytes);
        layouts[1][static_cast<std::size_t>(bytes)] = makeLayout(true, bytes);
    }
    return layouts;
}();

constexpr int TailBits = 1 + 1 + 1 + 7 + CanBitStream::IntermissionBits;
constexpr std::array<Bit, TailBits> Tail = [] {
    std::array<Bit, TailBits> tail{};
    std::size_t n = 0;
    auto add = [&](Field field, int bits, std::uint8_t level) {
        for (int i = 0; i < bits; ++i)
            tail[n++] = Bit{field, static_cast<std::uint8_t>(i), level, false};
    };
    add(Field::CrcDelimiter, 1, 1);
    add(Field::AckSlot, 1, 0);
    add(Field::AckDelimiter, 1, 1);
    add(Field::EndOfFrame, 7, 1);
    add(Field::Intermission, CanBitStream::IntermissionBits, 1);
    return tail;
}();
// The tail's levels, its first bit in the least significant place.
constexpr std::uint64_t TailLevels = [] {
    std::uint64_t levels = 0;
    for (int i = 0; i < TailBits; ++i)
        levels |= std::uint64_t{Tail[static_cast<std::size_t>(i)].level} << i;
    return levels;
}();

static_assert(ExtendedHeaderBits + 64 + CrcBits + (MaxStuffedBits - 1) / 4 + TailBits
              == CanBitStream::MaxBits);

// Up to 128 bits, the latest appended in the least significant place.
struct Bits128 {
    std::uint64_t hi = 0;
    std::uint64_t lo = 0;
    int count = 0;

    // 1 to 32 bits, most significant first.
    void append(std::uint64_t value, int bits)
    {
        hi = (hi << bits) | (lo >> (64 - bits));
        lo = (lo << bits) | value;
        count += bits;
    }
    // k = 0 is the least significant sixteen bits.
    std::uint16_t pair(int k) const
    {
        return static_cast<std::uint16_t>(k < 4 ? lo >> (16 * k) : hi >> (16 * (k - 4)));
    }
};

// The bits that are stuffed (start of frame to the end of the CRC) and what
// decides their layout.
struct Unstuffed {
    Bits128 bits;
    std::uint16_t crc = 0;
    bool extended = false;
    int bytes = 0;
};

Unstuffed unstuffed(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                    const std::uint8_t (&data)[8])
{
    Unstuffed u;
    u.extended = (type & FrameType::Extended) != 0;
    const bool remote = (type & FrameType::Remote) != 0;
    u.bytes = remote ? 0 : std::min<int>(dlc, 8);
    const std::uint64_t rtr = remote ? 1 : 0;
    const std::uint64_t code = std::min<std::uint8_t>(dlc, 15);

    Bits128 &b = u.bits;
    if (u.extended) {
        // Start of frame, base identifier, SRR, IDE, extension, RTR, r1, r0, DLC.
        const std::uint64_t header = (std::uint64_t{(id >> 18) & 0x7FF} << 27)
            | (std::uint64_t{0b11} << 25) | (std::uint64_t{id & 0x3FFFF} << 7) | (rtr << 6) | code;
        b.append(header >> 32, ExtendedHeaderBits - 32);
        b.append(header & 0xFFFFFFFF, 32);
    } else {
        // Start of frame, identifier, RTR, IDE, r0, DLC.
        b.append((std::uint64_t{id & 0x7FF} << 7) | (rtr << 6) | code, StandardHeaderBits);
    }
    for (int i = 0; i < u.bytes; ++i)
        b.append(data[i], 8);

    // A cleared register is unchanged by leading zeros, so the bits can be
    // taken sixteen at a time from the top of a zero-padded number. Sixteen
    // bits d move the 15-bit register c to ((c << 1) ^ d) times x^15 modulo
    // the polynomial, which two tables give byte by byte.
    unsigned crc = 0;
    for (int k = (b.count + 15) / 16 - 1; k >= 0; --k) {
        const unsigned v = (crc << 1) ^ b.pair(k);
        crc = CrcTableHigh[v >> 8] ^ CrcTable[v & 0xFF];
    }
    u.crc = static_cast<std::uint16_t>(crc);
    b.append(crc, CrcBits);
    return u;
}

// Stuffing as a state machine: the level of the last bit sent and how many
// equal bits end the stream so far (0 before the first bit).
struct StuffState {
    unsigned last = 1;
    unsigned run = 0;

    constexpr unsigned code() const { return last * 5 + run; }
    static constexpr StuffState fromCode(unsigned code) { return {code / 5, code % 5}; }

    // Sends one bit; true when a stuff bit (of the opposite level) follows it.
    constexpr bool send(unsigned level)
    {
        run = level == last ? run + 1 : 1;
        last = level;
        if (run < 5)
            return false;
        last ^= 1U;
        run = 1;
        return true;
    }
};
constexpr unsigned StuffStates = 10;

// What eight bits (the first one most significant) do from each state: the
// bits sent, the first in the least significant place, which of them are
// stuff bits, how many there are and the state after them.
struct Step {
    std::uint16_t levels = 0;
    std::uint16_t stuff = 0;
    std::uint8_t count = 0;
    std::uint8_t next = 0;
};

constexpr std::array<std::array<Step, 256>, StuffStates> Steps = [] {
    std::array<std::array<Step, 256>, StuffStates> steps{};
    for (unsigned code = 0; code < StuffStates; ++code) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            StuffState state = StuffState::fromCode(code);
            Step step;
            auto put = [&](unsigned level, bool stuffBit) {
                step.levels = static_cast<std::uint16_t>(step.levels | level << step.count);
                step.stuff =
                    static_cast<std::uint16_t>(step.stuff | unsigned{stuffBit} << step.count);
                ++step.count;
            };
            for (int bit = 7; bit >= 0; --bit) {
                const unsigned level = (byte >> bit) & 1U;
                put(level, false);
                if (state.send(level))
                    put(state.last, true);
            }
            step.next = static_cast<std::uint8_t>(state.code());
            steps[code][byte] = step;
        }
    }
    return steps;
}();

// The stuffed part from its most significant end: whole bytes, then the
// remaining bits one by one.
struct BitReader {
    std::uint64_t hi = 0;
    std::uint64_t lo = 0;
    int count = 0;

    explicit BitReader(const Bits128 &bits) : count(bits.count)
    {
        const int shift = 128 - bits.count;
        hi = bits.hi;
        lo = bits.lo;
        if (shift >= 64) {
            hi = lo << (shift - 64);
            lo = 0;
        } else if (shift > 0) {
            hi = (hi << shift) | (lo >> (64 - shift));
            lo <<= shift;
        }
    }
    int bytes() const { return count / 8; }
    unsigned byte(int k) const
    {
        return static_cast<unsigned>((k < 8 ? hi << (8 * k) : lo << (8 * (k - 8))) >> 56);
    }
    unsigned bit(int i) const
    {
        return static_cast<unsigned>((i < 64 ? hi << i : lo << (i - 64)) >> 63);
    }
};

// Walks the stuffed part eight bits at a time and the rest bit by bit,
// handing put(levels, stuff mask, count) what is sent; returns the number of
// stuff bits.
template <typename Put> int stuff(const Bits128 &bits, Put &&put)
{
    const BitReader reader(bits);
    unsigned state = StuffState{}.code();
    int stuffBits = 0;
    for (int k = 0; k < reader.bytes(); ++k) {
        const Step &step = Steps[state][reader.byte(k)];
        put(step.levels, step.stuff, step.count);
        stuffBits += step.count - 8;
        state = step.next;
    }
    StuffState last = StuffState::fromCode(state);
    for (int i = reader.bytes() * 8; i < reader.count; ++i) {
        const unsigned level = reader.bit(i);
        if (last.send(level)) {
            put(level | (last.last << 1), 2U, 2);
            ++stuffBits;
        } else {
            put(level, 0U, 1);
        }
    }
    return stuffBits;
}

// Ors bits (the first in the least significant place) into words from bit pos on.
void appendBits(std::array<std::uint64_t, 3> &words, int pos, std::uint64_t bits)
{
    const int word = pos / 64;
    const int shift = pos % 64;
    words[static_cast<std::size_t>(word)] |= bits << shift;
    if (shift > 0 && word + 1 < 3)
        words[static_cast<std::size_t>(word + 1)] |= bits >> (64 - shift);
}

bool testBit(const std::array<std::uint64_t, 3> &words, int i)
{
    return ((words[static_cast<std::size_t>(i / 64)] >> (i % 64)) & 1U) != 0;
}

// The number of set bits below bit i.
int countBelow(const std::array<std::uint64_t, 3> &words, int i)
{
    int count = 0;
    for (int w = 0; w < i / 64; ++w)
        count += std::popcount(words[static_cast<std::size_t>(w)]);
    if (i % 64 != 0)
        count += std::popcount(words[static_cast<std::size_t>(i / 64)]
                               & ((std::uint64_t{1} << (i % 64)) - 1));
    return count;
}

} // namespace

CanBitStream::CanBitStream(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                           const std::uint8_t (&data)[8])
{
    static_assert(MaxBits <= 3 * 64);
    const Unstuffed u = unstuffed(type, id, dlc, data);
    m_crc = u.crc;
    m_extended = u.extended;
    m_dataBytes = static_cast<std::uint8_t>(u.bytes);
    int pos = 0;
    m_stuffBits = stuff(u.bits, [&](unsigned levels, unsigned stuffMask, int count) {
        appendBits(m_levels, pos, levels);
        appendBits(m_stuff, pos, stuffMask);
        pos += count;
    });
    appendBits(m_levels, pos, TailLevels);
    m_size = pos + TailBits;
}

CanBitStream::Bit CanBitStream::bit(int i) const
{
    if (i < 0 || i >= m_size)
        return {};
    // The bits sent before bit i, stuff bits left out.
    const int sent = i - countBelow(m_stuff, i);
    const bool stuffBit = testBit(m_stuff, i);
    const Layout &layout = Layouts[m_extended ? 1 : 0][m_dataBytes];
    const int own = stuffBit ? sent - 1 : sent;
    Bit b;
    if (own < layout.count) {
        const Tag tag = layout.tags[static_cast<std::size_t>(own)];
        b.field = tag.field;
        b.index = tag.index;
    } else {
        b = Tail[static_cast<std::size_t>(std::clamp(own - layout.count, 0, TailBits - 1))];
    }
    b.level = testBit(m_levels, i) ? 1 : 0;
    b.stuff = stuffBit;
    return b;
}

int CanBitStream::bitCount(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                           const std::uint8_t (&data)[8])
{
    const Unstuffed u = unstuffed(type, id, dlc, data);
    return u.bits.count + stuff(u.bits, [](unsigned, unsigned, int) {}) + TailBits;
}

std::int64_t CanBitStream::durationNs(int bits, std::uint32_t bitsPerSecond)
{
    if (bitsPerSecond == 0 || bits <= 0)
        return 0;
    const auto rate = static_cast<std::uint64_t>(bitsPerSecond);
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(bits) * 1'000'000'000ULL + rate / 2) / rate);
}
