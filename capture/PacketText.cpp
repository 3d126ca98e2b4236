#include "capture/PacketText.h"

#include <cstring>
#include <utility>

PacketText::PacketText(PacketText &&other) noexcept
{
    std::memcpy(m_storage, other.m_storage, sizeof m_storage);
    other.clearLocal();
}

PacketText &PacketText::operator=(const PacketText &other)
{
    if (this != &other)
        *this = other.view();
    return *this;
}

PacketText &PacketText::operator=(PacketText &&other) noexcept
{
    if (this != &other) {
        release();
        std::memcpy(m_storage, other.m_storage, sizeof m_storage);
        other.clearLocal();
    }
    return *this;
}

PacketText &PacketText::operator=(std::string_view text)
{
    // The text may lie in this object's own storage: it is copied before the
    // storage is given up.
    PacketText copy(text);
    return *this = std::move(copy);
}

char *PacketText::heapData() const
{
    char *data = nullptr;
    std::memcpy(&data, m_storage, sizeof data);
    return data;
}

std::size_t PacketText::heapSize() const
{
    std::size_t size = 0;
    std::memcpy(&size, m_storage + sizeof(char *), sizeof size);
    return size;
}

void PacketText::assign(std::string_view text)
{
    if (text.size() <= LocalCapacity) {
        if (!text.empty())
            std::memcpy(m_storage, text.data(), text.size());
        m_storage[text.size()] = '\0';
        setSizeByte(static_cast<std::uint8_t>(text.size()));
        return;
    }
    char *data = new char[text.size() + 1];
    std::memcpy(data, text.data(), text.size());
    data[text.size()] = '\0';
    const std::size_t size = text.size();
    std::memcpy(m_storage, &data, sizeof data);
    std::memcpy(m_storage + sizeof data, &size, sizeof size);
    setSizeByte(HeapMark);
}

void PacketText::release()
{
    if (onHeap())
        delete[] heapData();
    clearLocal();
}
