#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The layout of one frame row: a strip of seven labelled squares, where each
// one sits, which colour its label half has and what its value half shows.
// Pixel units throughout; rectangles have exclusive right and bottom edges.

struct Rgb {
    std::uint8_t r = 255;
    std::uint8_t g = 255;
    std::uint8_t b = 255;

    friend bool operator==(const Rgb &, const Rgb &) = default;
};

struct PixelPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const PixelPoint &, const PixelPoint &) = default;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    PixelPoint centre() const { return {(left + right) / 2, (top + bottom) / 2}; }

    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

namespace RowLayout {

// The squares of a row, in the order the row declares them.
enum Square : int { Number, Format, Identifier, Length, Data, Timestamp, Direction, SquareCount };

// Squares sit in the row's rectangle shrunk by this much at the top and the bottom.
inline constexpr int Inset = 4;
// Width of the strip of squares, whatever the width of the row.
inline constexpr int StripWidth = 840;

// The two wide slots that DATA and TIMESTAMP take, by left edge.
inline constexpr std::array<int, 2> WideSlotLeft = {430, 640};
inline constexpr int WideSlotWidth = 200;

struct SquarePlace {
    int left = 0; // from the left edge of the row's inner rectangle
    int width = 0;
};

// Where the five fixed squares sit, and the width of the two wide ones.
SquarePlace fixedPlace(Square square);

std::string_view label(Square square);
// The label colour of every square but the direction square.
Rgb labelColour(Square square);

// Where DATA and TIMESTAMP go for a frame type (the type table). Slot 0 is the
// first wide slot, slot 1 the second.
struct WideSlots {
    int dataSlot = 0;
    bool dataShown = true;
    int timestampSlot = 1;
    bool timestampShown = true;

    friend bool operator==(const WideSlots &, const WideSlots &) = default;
};

// Nothing for a type whose frame bit is clear: such a row has no DATA and no
// TIMESTAMP square.
std::optional<WideSlots> wideSlotsFor(std::uint8_t type);

// Values of the lower halves.
bool isTransmitted(std::uint8_t type);
std::string_view directionText(std::uint8_t type); // "==>" transmitted, "<==" received
Rgb directionColour(std::uint8_t type);            // the direction square's label colour
std::string identifierText(std::uint8_t type, std::uint32_t id); // four or eight hex digits
std::string numberText(std::int64_t value);                      // "%d"
// A DLC read as a signed byte must lie in 0 to 8.
bool isValidLength(std::uint8_t dlc);

inline constexpr std::string_view RightArrowText = "==>";
inline constexpr std::string_view LeftArrowText = "<==";

// The two halves of a square of the given size: the upper one from the top to
// the centre line, the lower one from one row above the centre line to the
// bottom, so that the halves share one pixel row.
struct SquareHalves {
    PixelRect upper;
    PixelRect lower;
};
SquareHalves squareHalves(int width, int height);

// The arrow drawn for "==>" or "<==" in the lower half: a line through its
// centre, 5 pixels short of either side, and a filled triangle whose base
// stands on the centre and whose tip ends the line.
struct Arrow {
    PixelPoint lineFrom;
    PixelPoint lineTo;
    std::array<PixelPoint, 3> head;
};
std::optional<Arrow> arrowFor(std::string_view text, const PixelRect &lower);

} // namespace RowLayout
