#pragma once

#include "device/DeviceLibrary.h"

#include <cstdint>
#include <string>

// The index under which a library lists the adapter with this instance
// identifier, or -1 when it lists none.
inline int indexOf(DeviceLibrary &library, const std::string &instanceId)
{
    std::int32_t count = 0;
    library.DevGetDeviceCount(count);
    for (int i = 0; i < count; ++i) {
        char buffer[InstanceIdListBufferSize] = {};
        library.DevGetInstanceId(i, buffer, sizeof buffer);
        if (instanceId == buffer)
            return i;
    }
    return -1;
}
