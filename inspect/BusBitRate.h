#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// The rate the connected adapter's bus runs at, as the Detailed Frame View
// asks its owner for it whenever it shows a frame.
struct BusBitRate {
    std::uint32_t bitsPerSecond = 0; // 0 when the adapter cannot tell
    bool connected = false;
    // While disconnected: the rate is the one the Statistics window measures
    // the capture at (the adapter's of a live capture, the chosen one of a log).
    bool measured = false;
};

using BusBitRateSource = std::function<BusBitRate()>;

class DbcDatabase;

// The database the Detailed Frame View decodes its frame with; none gives
// nullptr.
using SignalDatabaseSource = std::function<std::shared_ptr<const DbcDatabase>()>;
