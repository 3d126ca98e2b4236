#pragma once

#include "capture/CanBitStream.h"
#include "display/RowLayout.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The geometry and texts of the bit-stream page: a caption, then lanes of bit
// cells that wrap at the page's width, each lane with the level line above its
// cells and the fields below them, and a legend. Pixel units; rectangles have
// exclusive right and bottom edges.
namespace BitStreamLayout {

using Field = CanBitStream::Field;

inline constexpr int Margin = 10;
inline constexpr int GutterWidth = 34; // the number of a lane's first bit
inline constexpr int CellWidth = 24;
inline constexpr int CaptionTop = 8;
inline constexpr int CaptionLineHeight = 20;
inline constexpr int LanesTop = 62;
inline constexpr int LanePitch = 88;
// Within a lane, from its top.
inline constexpr int LevelHighY = 5;
inline constexpr int LevelLowY = 21;
inline constexpr int CellTop = 28;
inline constexpr int CellHeight = 24;
inline constexpr int BandTop = 54;
inline constexpr int BandHeight = 22;
inline constexpr int LegendHeight = 22;

// The rate a duration is given at while no adapter is connected.
inline constexpr std::uint32_t DefaultBitRate = 500'000;

int bitsPerLane(int width);
int laneCount(int bits, int width);
int laneTop(int lane);
// The height that shows every lane and the legend.
int heightFor(int bits, int width);

PixelRect cellRect(int bit, int width);
// The y of the level line in a lane: recessive high, dominant low.
int levelY(int lane, std::uint8_t level);
// The bit under a point, or -1.
int bitAt(int x, int y, int bits, int width);
PixelRect legendRect(int bits, int width);

// A run of bits of one field (for the data field, one byte) within one lane.
// Each field carries its label on its widest run, the first of equals.
struct Segment {
    Field field = Field::StartOfFrame;
    int group = 0; // the data byte; 0 for other fields
    int firstBit = 0;
    int endBit = 0; // one past the last
    PixelRect band;
    bool labelled = false;

    friend bool operator==(const Segment &, const Segment &) = default;
};
std::vector<Segment> segments(const CanBitStream &stream, int width);

// The value a field's own bits carry, stuff bits left out, most significant
// first; for the data field the given byte.
std::uint32_t fieldValue(const CanBitStream &stream, Field field, int group);
bool isExtended(const CanBitStream &stream);

// The label with the value where the field has one ("Identifier 0x0123",
// "DLC 2", "Byte 0: 0x11", "CRC 0x041E"), and the short name for narrow runs.
std::string fieldLabel(const CanBitStream &stream, Field field, int group);
std::string shortName(Field field);
// The field's name in words, for tool tips.
std::string longName(Field field);

Rgb fieldColour(Field field, int group);
inline constexpr Rgb StuffColour{220, 40, 40};
inline constexpr Rgb StuffTextColour{255, 255, 255};
inline constexpr Rgb LevelColour{0, 0, 160};

// The caption: what the frame is, its totals and CRC, then its duration: at
// the connected adapter's rate, or while disconnected at the rate measured is
// set for (the Statistics window's), else at the default rate, said so.
std::array<std::string, 2> caption(const CanBitStream &stream, std::uint8_t type, std::uint32_t id,
                                   std::uint8_t dlc, std::uint32_t bitsPerSecond, bool connected,
                                   bool measured = false);
std::string durationText(std::int64_t nanoseconds);   // "222 µs", "11.1 ms"
std::string bitRateText(std::uint32_t bitsPerSecond); // "500 kbit/s", "33.333 kbit/s"
// The tool tip of one bit: its field, level and whether it is a stuff bit.
std::string bitDescription(const CanBitStream &stream, int bit);

} // namespace BitStreamLayout
