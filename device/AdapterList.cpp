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

std::string productName(DeviceLibrary &library, int index)
{
    return readText(library, &DeviceLibrary::DevGetProductName, index, ProductNameBufferSize);
}

std::string trimmed(const std::string &text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

// ASCII letters only: other bytes, parts of UTF-8 sequences among them, must
// match exactly.
bool sameIgnoringCase(const std::string &a, const std::string &b)
{
    const auto lower = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
                      [&](unsigned char x, unsigned char y) { return lower(x) == lower(y); });
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
        const std::string product = productName(library, index);
        const std::string serial = readSerial(library, index, SerialBufferSize);
        const std::string instance = readInstanceId(library, index, InstanceIdListBufferSize);
        entries.push_back(product + "(" + serial + "): " + instance);
    }
    return entries;
}

int findAdapter(DeviceLibrary &library, const std::string &name)
{
    const std::string wanted = trimmed(name);
    if (wanted.empty())
        return -1;
    const std::vector<std::string> entries = readAdapterEntries(library);
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (sameIgnoringCase(entries[index], wanted))
            return static_cast<int>(index);
    }
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (sameIgnoringCase(productName(library, static_cast<int>(index)), wanted))
            return static_cast<int>(index);
    }
    return -1;
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
