#pragma once

#include <cstdint>
#include <string_view>

// The readers of the fields of a text log line. Each skips leading blanks and
// stops at the first character it cannot use; none of them fails.

struct DecimalField {
    std::int32_t value = 0;
    bool isNumber = false; // the field held at least one digit after blanks and sign
};

// A decimal with an optional sign; values beyond the int32 range give the
// nearest int32 limit, an empty field 0.
DecimalField readDecimalField(std::string_view field);

// An unsigned decimal with an optional '+'; values beyond 64 bits give the
// largest uint64. A '-' or no digit gives 0.
std::uint64_t readUnsignedDecimalField(std::string_view field);

// A hexadecimal number with or without "0x"; values beyond 32 bits give 0xFFFFFFFF.
std::uint32_t readHexField(std::string_view field);

// The data field: two hexadecimal digits per byte for the first count bytes
// (at most eight). A byte whose pair of characters starts with no digit, or
// that lies past the field's end, stays 0.
void readDataField(std::string_view field, int count, std::uint8_t (&data)[8]);
