#include "select/SelectionRules.h"

#include "capture/CanFrame.h"
#include "transmit/HexText.h"

#include <array>
#include <cstdio>

std::string FilterEntryText(std::uint8_t kindCode, std::uint32_t id)
{
    static constexpr std::array<const char *, 4> Labels = {
        "STD DATA:", "STD REMOTE:", "EXT DATA:", "EXT REMOTE:"};
    const bool extended = (kindCode & FrameType::Extended) != 0;
    char digits[16];
    std::snprintf(digits, sizeof digits, extended ? " 0x%08X" : " 0x%03X", id);
    return std::string(Labels[kindCode & FrameType::KindMask]) + digits;
}

FilterEntryId FilterEntryToId(std::string_view text)
{
    FilterEntryId entry;
    if (!text.empty() && text[0] == 'E')
        entry.kind = 6;
    else if (!text.empty() && text[0] == 'S')
        entry.kind = 4;
    if (text.size() > 4 && text[4] == 'R')
        ++entry.kind;

    const std::size_t firstX = text.find('x');
    if (firstX != std::string_view::npos) {
        std::string_view digits = text.substr(firstX + 1);
        digits = digits.substr(0, digits.find('x'));
        entry.id = HexTextToValue(digits);
    }
    return entry;
}

std::uint32_t RangeTextToValue(std::string_view text)
{
    if (text.size() > 8)
        text.remove_prefix(text.size() - 8);
    std::uint32_t value = 0;
    for (const char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        value = (value << 4) | (hex ? HexDigitValue(c) : 0U);
    }
    return value;
}

std::size_t CheckedHexLength(std::string_view text)
{
    std::size_t length = 0;
    while (length < text.size() && IsUpperHexDigit(text[length]))
        ++length;
    return length;
}
