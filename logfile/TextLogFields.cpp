#include "logfile/TextLogFields.h"

#include <algorithm>
#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::size_t skipBlanks(std::string_view field)
{
    std::size_t i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    return i;
}

} // namespace

DecimalField readDecimalField(std::string_view field)
{
    // Counting stops growing just past the int32 range, so it never overflows.
    constexpr std::int64_t Cap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::size_t i = skipBlanks(field);
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    DecimalField result;
    std::int64_t magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        result.isNumber = true;
        magnitude = std::min(Cap, magnitude * 10 + (field[i] - '0'));
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    result.value = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    return result;
}

std::uint64_t readUnsignedDecimalField(std::string_view field)
{
    constexpr std::uint64_t Largest = std::numeric_limits<std::uint64_t>::max();
    std::size_t i = skipBlanks(field);
    if (i < field.size() && field[i] == '+')
        ++i;
    std::uint64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(field[i] - '0');
        value = value > (Largest - digit) / 10 ? Largest : value * 10 + digit;
    }
    return value;
}

std::uint32_t readHexField(std::string_view field)
{
    constexpr std::uint64_t Largest = std::numeric_limits<std::uint32_t>::max();
    std::size_t i = skipBlanks(field);
    if (field.size() - i >= 2 && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X'))
        i += 2;
    std::uint64_t value = 0;
    for (; i < field.size() && hexDigitValue(field[i]) >= 0; ++i)
        value =
            std::min(Largest + 1, value * 16 + static_cast<std::uint64_t>(hexDigitValue(field[i])));
    return static_cast<std::uint32_t>(std::min(value, Largest));
}

void readDataField(std::string_view field, int count, std::uint8_t (&data)[8])
{
    count = std::clamp(count, 0, 8);
    for (int byte = 0; byte < count; ++byte) {
        const std::size_t at = static_cast<std::size_t>(byte) * 2;
        if (at >= field.size())
            break;
        int value = 0;
        for (std::size_t i = at; i < at + 2 && i < field.size() && hexDigitValue(field[i]) >= 0;
             ++i)
            value = value * 16 + hexDigitValue(field[i]);
        data[byte] = static_cast<std::uint8_t>(value);
    }
}
