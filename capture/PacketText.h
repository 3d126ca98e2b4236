#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The data text or time text of a stored frame. Texts of up to 30 characters,
// which is every text a live frame gets, are kept inside the object; longer
// ones (a log may hold any) go to the heap. A stored frame thus costs no
// allocation for its texts, and a capture of 50,000 frames none at all.
class PacketText {
public:
    static constexpr std::size_t LocalCapacity = 30;

    PacketText() noexcept { clearLocal(); }
    PacketText(std::string_view text) { assign(text); }
    PacketText(const std::string &text) : PacketText(std::string_view(text)) { }
    PacketText(const char *text) : PacketText(std::string_view(text)) { }
    PacketText(const PacketText &other) { assign(other.view()); }
    PacketText(PacketText &&other) noexcept;
    ~PacketText() { release(); }

    PacketText &operator=(const PacketText &other);
    PacketText &operator=(PacketText &&other) noexcept;
    PacketText &operator=(std::string_view text);
    PacketText &operator=(const std::string &text) { return *this = std::string_view(text); }
    PacketText &operator=(const char *text) { return *this = std::string_view(text); }

    const char *data() const { return onHeap() ? heapData() : m_storage; }
    std::size_t size() const { return onHeap() ? heapSize() : sizeByte(); }
    bool empty() const { return size() == 0; }
    std::string_view view() const { return {data(), size()}; }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    operator std::string() const { return str(); }

    friend bool operator==(const PacketText &a, const PacketText &b)
    {
        return a.view() == b.view();
    }
    friend bool operator==(const PacketText &a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const PacketText &a, const std::string &b) { return a.view() == b; }
    friend bool operator==(const PacketText &a, const char *b)
    {
        return a.view() == std::string_view(b);
    }

private:
    // The text's characters and a NUL in the first bytes, its length in the
    // last one; or, for a long text, a pointer to it and its length in the
    // first sixteen bytes and HeapMark in the last.
    static constexpr std::size_t StorageSize = LocalCapacity + 2;
    static constexpr std::uint8_t HeapMark = 0xFF;

    std::uint8_t sizeByte() const { return static_cast<std::uint8_t>(m_storage[StorageSize - 1]); }
    void setSizeByte(std::uint8_t size) { m_storage[StorageSize - 1] = static_cast<char>(size); }
    bool onHeap() const { return sizeByte() == HeapMark; }
    char *heapData() const;
    std::size_t heapSize() const;
    void clearLocal()
    {
        m_storage[0] = '\0';
        setSizeByte(0);
    }
    void assign(std::string_view text);
    void release();

    alignas(char *) char m_storage[StorageSize];
};

static_assert(sizeof(PacketText) == sizeof(std::string));
