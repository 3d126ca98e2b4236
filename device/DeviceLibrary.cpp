#include "device/DeviceLibrary.h"

#include <algorithm>
#include <cstring>

void copyToBuffer(const std::string &text, char *buffer, std::int32_t size)
{
    if (buffer == nullptr || size <= 0)
        return;
    const auto length = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}
