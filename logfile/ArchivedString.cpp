#include "logfile/ArchivedString.h"

#include "logfile/ByteReader.h"
#include "logfile/TextEncoding.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint8_t Escape = 0xFF;
constexpr std::uint16_t WideTag = 0xFFFE;
constexpr std::uint16_t WideEscape = 0xFFFF;
constexpr std::uint32_t LongEscape = 0xFFFFFFFF;
constexpr std::uint64_t LengthLimit = std::uint64_t{1} << 31;

void appendLittleEndian(std::string &out, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendLength(std::string &out, std::size_t length)
{
    out.push_back(static_cast<char>(Escape));
    appendLittleEndian(out, WideTag, 2);
    if (length < Escape) {
        appendLittleEndian(out, length, 1);
    } else if (length < WideTag) {
        out.push_back(static_cast<char>(Escape));
        appendLittleEndian(out, length, 2);
    } else {
        out.push_back(static_cast<char>(Escape));
        appendLittleEndian(out, WideEscape, 2);
        appendLittleEndian(out, length, 4);
    }
}

// The length that follows a 16-bit length field of value w.
bool readLongLength(ByteReader &in, std::uint16_t w, std::uint64_t &length)
{
    if (w != WideEscape) {
        length = w;
        return true;
    }
    std::uint32_t d = 0;
    if (!in.read(d))
        return false;
    if (d != LongEscape) {
        length = d;
        return true;
    }
    std::uint64_t q = 0;
    if (!in.read(q) || q >= LengthLimit)
        return false;
    length = q;
    return true;
}

} // namespace

void appendArchivedString(std::string &out, std::string_view utf8)
{
    const bool ascii =
        std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        appendLength(out, utf8.size());
        const std::size_t start = out.size();
        out.resize(start + 2 * utf8.size(), '\0');
        for (std::size_t i = 0; i < utf8.size(); ++i)
            out[start + 2 * i] = utf8[i];
        return;
    }
    const std::u16string units = utf8ToUtf16(utf8);
    appendLength(out, units.size());
    for (const char16_t unit : units)
        appendLittleEndian(out, unit, 2);
}

bool readArchivedString(ByteReader &in, std::string &utf8)
{
    utf8.clear();
    std::uint8_t b = 0;
    if (!in.read(b))
        return false;

    bool wide = false;
    std::uint64_t length = b;
    if (b == Escape) {
        std::uint16_t w = 0;
        if (!in.read(w))
            return false;
        if (w == WideTag) {
            wide = true;
            if (!in.read(b))
                return false;
            length = b;
            if (b == Escape && (!in.read(w) || !readLongLength(in, w, length)))
                return false;
        } else if (!readLongLength(in, w, length)) {
            return false;
        }
    }

    // length is below 2^32, so the byte count cannot overflow.
    const std::uint64_t byteCount = wide ? length * 2 : length;
    std::string_view chars;
    if (byteCount > in.remaining() || !in.take(static_cast<std::size_t>(byteCount), chars))
        return false;
    if (wide)
        appendUtf16LeAsUtf8(utf8, chars);
    else
        appendLatin1AsUtf8(utf8, chars);
    return true;
}
