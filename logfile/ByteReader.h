#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

// Reads little-endian integers and runs of bytes from a buffer, never past its
// end: every read that would run past it fails and leaves the position as it was.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes) { }

    std::size_t remaining() const { return m_bytes.size() - m_position; }

    template <typename T> bool read(T &value)
    {
        static_assert(std::is_unsigned_v<T>);
        if (remaining() < sizeof(T))
            return false;
        T result = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            const auto byte = static_cast<unsigned char>(m_bytes[m_position + i]);
            result = static_cast<T>(result | static_cast<T>(T{byte} << (8 * i)));
        }
        m_position += sizeof(T);
        value = result;
        return true;
    }

    bool take(std::size_t count, std::string_view &out)
    {
        if (remaining() < count)
            return false;
        out = m_bytes.substr(m_position, count);
        m_position += count;
        return true;
    }

private:
    std::string_view m_bytes;
    std::size_t m_position = 0;
};
