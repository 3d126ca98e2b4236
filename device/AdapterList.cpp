#include "device/AdapterList.h"

#include "device/DeviceLibrary.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

using TextOperation = DevStatus (DeviceLibrary::*)(std::int32_t, char *, std::int32_t);

std::string readText(DeviceLibrary &library, TextOperation operation, int index, int bufferSize)
{
    std::vector<char> buffer(static_cast<std::size_t>(std::max(bufferSize, 1)), '\0');
    (library.*operation)(index, buffer.data(), bufferSize);
    buffer.back() = '\0'; // whatever the library wrote, the text ends in the buffer
    return std::string(buffer.data());
}

} // namespace

std::string readSerial(DeviceLibrary &library, int index, int bufferSize)
{
    return readText(library, &DeviceLibrary::DevGetSerial, index, bufferSize);
}

std::string readInstanceId(DeviceLibrary &library, int index, int bufferSize)
{
    return readText(library, &DeviceLibrary::DevGetInstanceId, index, bufferSize);
}

std::vector<std::string> readAdapterEntries(DeviceLibrary &library)
{
    std::int32_t count = 0;
    if (library.DevGetDeviceCount(count) != DevSuccess || count <= 0)
        return {};

    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        const std::string product =
            readText(library, &DeviceLibrary::DevGetProductName, index, ProductNameBufferSize);
        const std::string serial = readSerial(library, index, SerialBufferSize);
        const std::string instance = readInstanceId(library, index, InstanceIdListBufferSize);
        entries.push_back(product + "(" + serial + "): " + instance);
    }
    return entries;
}

std::string removalKey(const std::string &devicePath)
{
    std::string key = devicePath.size() > 26 ? devicePath.substr(26, 9) : std::string();
    for (char &c : key) {
        if (c == '&')
            c = 'A';
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return key;
}
