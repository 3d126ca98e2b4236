#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The rules by which the filter and the sort name frames, read their fields
// and choose their keys. The dialogs only show and collect; the store applies.

// Bits of the range filter's flags.
namespace RangeFlag {
inline constexpr std::uint8_t Standard = 0x01;
inline constexpr std::uint8_t Extended = 0x02;
} // namespace RangeFlag

// Keys of CVEXODoc::SortDisplayList.
namespace SortKey {
inline constexpr int NumberAscending = 1;
inline constexpr int NumberDescending = 2;
inline constexpr int IdAscending = 3;
inline constexpr int IdDescending = 4;
} // namespace SortKey

// The kind code the selection filter names a frame by: its type without the
// transmitted bit (0x10) and the bit 0x08, so 4 to 7 for every data and
// remote frame, received or transmitted.
constexpr std::uint8_t FilterKindCode(std::uint8_t type)
{
    return static_cast<std::uint8_t>(type & 0xE7);
}

// A list entry of the filter dialog: "STD DATA: 0x123", "EXT REMOTE: 0x1ABCDEFF".
// The label follows the remote and extended bits of the kind code.
std::string FilterEntryText(std::uint8_t kindCode, std::uint32_t id);

struct FilterEntryId {
    std::uint8_t kind = 0;
    std::uint32_t id = 0;

    friend bool operator==(const FilterEntryId &, const FilterEntryId &) = default;
};

// A list entry back to its kind code and identifier: 6 when the text starts
// with "E", 4 when it starts with "S", one more when the fifth character is
// "R"; the identifier is the hexadecimal text after the first "x" (up to a
// second "x", if any).
FilterEntryId FilterEntryToId(std::string_view text);

// A From or To field of the range filter: padded on the left with "0" to
// eight characters and read as eight hexadecimal digits, a character that is
// no hexadecimal digit counting as 0. Empty gives 0; of a longer text the last
// eight characters count.
std::uint32_t RangeTextToValue(std::string_view text);

// The length of the leading part of text that a checked hexadecimal field may
// keep: everything before the first character that is not '0'-'9' or 'A'-'F'.
std::size_t CheckedHexLength(std::string_view text);

// The range filter's flags from the two boxes.
constexpr std::uint8_t RangeFlags(bool standard, bool extended)
{
    return static_cast<std::uint8_t>((standard ? RangeFlag::Standard : 0)
                                     | (extended ? RangeFlag::Extended : 0));
}

// The sort key from the sort dialog's choices: column 0 "No." or 1 "ID",
// order 0 "Ascending" or 1 "Descending". Anything else gives 0, no key.
constexpr int SortKeyFor(int column, int order)
{
    if (column < 0 || column > 1 || order < 0 || order > 1)
        return 0;
    return SortKey::NumberAscending + column * 2 + order;
}
