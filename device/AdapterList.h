#pragma once

#include <optional>
#include <string>
#include <vector>

class DeviceLibrary;

// The Device list of the connection dialog: one entry per adapter, in index
// order, "product(serial): instance identifier". Empty when counting fails or
// finds no adapter.
std::vector<std::string> readAdapterEntries(DeviceLibrary &library);

// The adapter a user names: the first whose list entry matches name, else the
// first whose product name does. Letters match regardless of case and blanks
// around name are ignored. -1 when none matches.
int findAdapter(DeviceLibrary &library, const std::string &name);

// The text the library writes into a buffer of the given size.
std::string readSerial(DeviceLibrary &library, int index, int bufferSize);
std::string readInstanceId(DeviceLibrary &library, int index, int bufferSize);

// The part of a device path that names the adapter on removal: the nine
// characters from position 26, with "&" turned into "A", upper-cased.
std::string removalKey(const std::string &devicePath);
