#include "logfile/TextEncoding.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr char32_t Replacement = 0xFFFD;

void appendCodePoint(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes the character at text[i] and moves i past it. A byte that does not
// start a valid, shortest-form sequence decodes as U+FFFD and is skipped alone.
char32_t decodeUtf8(std::string_view text, std::size_t &i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;

    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
        minimum = 0x10000;
    } else {
        return Replacement;
    }
    if (text.size() - i < static_cast<std::size_t>(extra))
        return Replacement;
    for (int k = 0; k < extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return Replacement;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return Replacement;
    i += extra;
    return c;
}

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

} // namespace

void appendLatin1AsUtf8(std::string &out, std::string_view latin1)
{
    if (isAscii(latin1)) {
        out.append(latin1);
        return;
    }
    for (const char ch : latin1)
        appendCodePoint(out, static_cast<unsigned char>(ch));
}

void appendUtf8AsLatin1(std::string &out, std::string_view utf8)
{
    if (isAscii(utf8)) {
        out.append(utf8);
        return;
    }
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = decodeUtf8(utf8, i);
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
}

void appendUtf16LeAsUtf8(std::string &out, std::string_view utf16le)
{
    const std::size_t units = utf16le.size() / 2;
    bool ascii = true;
    for (std::size_t k = 0; k < units && ascii; ++k)
        ascii = (utf16le[2 * k] & 0x80) == 0 && utf16le[2 * k + 1] == 0;
    if (ascii) {
        const std::size_t start = out.size();
        out.resize(start + units);
        for (std::size_t k = 0; k < units; ++k)
            out[start + k] = utf16le[2 * k];
        return;
    }
    auto unitAt = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(utf16le[2 * k])
                                     | (static_cast<unsigned char>(utf16le[2 * k + 1]) << 8));
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char16_t unit = unitAt(k);
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units) {
            const char16_t low = unitAt(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendCodePoint(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        appendCodePoint(out, unit >= 0xD800 && unit <= 0xDFFF ? Replacement : char32_t{unit});
    }
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string units;
    units.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = decodeUtf8(utf8, i);
        if (c < 0x10000) {
            units.push_back(static_cast<char16_t>(c));
        } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return units;
}
