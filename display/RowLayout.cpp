#include "display/RowLayout.h"

#include "capture/CanFrame.h"

#include <algorithm>

namespace RowLayout {

namespace {

struct SquareStyle {
    std::string_view label;
    Rgb colour;
    SquarePlace place;
};

// Indexed by Square. The wide squares' left edge depends on the frame type.
constexpr std::array<SquareStyle, SquareCount> Styles = {{
    {"No.", {255, 255, 255}, {0, 80}},
    {"FORMAT", {255, 100, 100}, {140, 100}},
    {"ID", {100, 255, 100}, {250, 100}},
    {"DLC", {255, 255, 100}, {360, 60}},
    {"DATA", {100, 100, 255}, {WideSlotLeft[0], WideSlotWidth}},
    {"TIMESTAMP", {100, 255, 255}, {WideSlotLeft[1], WideSlotWidth}},
    {"I/O", {255, 255, 255}, {90, 40}},
}};

constexpr Rgb ReceivedColour{230, 130, 230};
constexpr Rgb TransmittedColour{230, 170, 230};

// The type bits that choose the wide slots: remote, frame bit, transmitted.
constexpr std::uint8_t SlotTypeMask = 0x15;

constexpr int ArrowMargin = 5;
constexpr int ArrowHeadMargin = 3;

} // namespace

SquarePlace fixedPlace(Square square)
{
    return Styles[square].place;
}

std::string_view label(Square square)
{
    return Styles[square].label;
}

Rgb labelColour(Square square)
{
    return Styles[square].colour;
}

std::optional<WideSlots> wideSlotsFor(std::uint8_t type)
{
    switch (type & SlotTypeMask) {
    case 0x04: // received data frame
        return WideSlots{0, true, 1, true};
    case 0x05: // received remote frame: the time stamp follows the DLC
        return WideSlots{1, false, 0, true};
    case 0x14: // transmitted data frame
        return WideSlots{0, true, 1, false};
    case 0x15: // transmitted remote frame
        return WideSlots{0, false, 1, false};
    default:
        return std::nullopt;
    }
}

bool isTransmitted(std::uint8_t type)
{
    return (type & FrameType::Transmitted) != 0;
}

std::string_view directionText(std::uint8_t type)
{
    return isTransmitted(type) ? RightArrowText : LeftArrowText;
}

Rgb directionColour(std::uint8_t type)
{
    return isTransmitted(type) ? TransmittedColour : ReceivedColour;
}

std::string identifierText(std::uint8_t type, std::uint32_t id)
{
    // "%04X" for a standard identifier, "%08X" for an extended one.
    static constexpr char Digits[] = "0123456789ABCDEF";
    int digits = 1;
    while (digits < 8 && (id >> (4 * digits)) != 0)
        ++digits;
    digits = std::max(digits, (type & FrameType::Extended) ? 8 : 4);
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = 0; i < digits; ++i)
        text[static_cast<std::size_t>(digits - 1 - i)] = Digits[(id >> (4 * i)) & 0xF];
    return text;
}

std::string numberText(std::int64_t value)
{
    return std::to_string(value);
}

bool isValidLength(std::uint8_t dlc)
{
    const auto length = static_cast<std::int8_t>(dlc);
    return length >= 0 && length <= 8;
}

SquareHalves squareHalves(int width, int height)
{
    const int cy = height / 2;
    return {{0, 0, width, cy}, {0, cy - 1, width, height}};
}

std::optional<Arrow> arrowFor(std::string_view text, const PixelRect &lower)
{
    const bool right = text == RightArrowText;
    if (!right && text != LeftArrowText)
        return std::nullopt;
    const PixelPoint centre = lower.centre();
    const PixelPoint start{lower.left + ArrowMargin, centre.y};
    const PixelPoint end{lower.right - ArrowMargin, centre.y};
    const PixelPoint tip = right ? end : start;
    return Arrow{start,
                 end,
                 {PixelPoint{centre.x, lower.top + ArrowHeadMargin},
                  PixelPoint{centre.x, lower.bottom - ArrowHeadMargin}, tip}};
}

} // namespace RowLayout
