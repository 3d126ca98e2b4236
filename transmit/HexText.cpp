#include "transmit/HexText.h"

std::uint8_t HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    return static_cast<std::uint8_t>(static_cast<unsigned char>(c) & 0x0F);
}

bool IsUpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

std::uint32_t HexTextToValue(std::string_view text)
{
    if (text.size() > 8)
        text.remove_prefix(text.size() - 8);
    std::uint32_t value = 0;
    for (const char c : text)
        value = (value << 4) | HexDigitValue(c);
    return value;
}

std::uint8_t HexTextToByte(std::string_view text)
{
    if (text.empty())
        return 0;
    if (text.size() == 1)
        return HexDigitValue(text[0]);
    return static_cast<std::uint8_t>(HexDigitValue(text[0]) * 16 + HexDigitValue(text[1]));
}
