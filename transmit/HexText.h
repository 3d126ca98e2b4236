#pragma once

#include <cstdint>
#include <string_view>

// Hexadecimal texts of the transmit rows, the response function and the filter
// ranges, turned into values. Neither function rejects anything: a character
// that is no hexadecimal digit gives the low four bits of its code.

// The last eight characters of text, rightmost the least significant digit;
// an empty text gives 0.
std::uint32_t HexTextToValue(std::string_view text);

// A data byte field: empty gives 0, one character its digit, two characters
// the first digit times 16 plus the second.
std::uint8_t HexTextToByte(std::string_view text);

// The value of one hexadecimal digit character, by the rule above.
std::uint8_t HexDigitValue(char c);

// True for '0'-'9' and 'A'-'F': what a checked hexadecimal field may hold
// (its letters are upper-cased as they are typed).
bool IsUpperHexDigit(char c);
