#pragma once

#include "device/AdapterSettings.h"
#include "device/BusPort.h"

#include <memory>
#include <string>
#include <vector>

// One adapter as a provider lists it.
struct AdapterDescription {
    std::string productName;
    // Nine characters, upper case, letters, digits and '_' only: the removal
    // notices carry it in their device paths.
    std::string instanceId;
    // What the adapter has before anything was stored for it.
    AdapterSettings defaults;
};

// A source of adapters: the built-in virtual ones, or the interfaces of a
// CAN framework.
class AdapterProvider {
public:
    virtual ~AdapterProvider() = default;
    // The adapters present now, in a stable order.
    virtual std::vector<AdapterDescription> adapters() = 0;
    // Opens an adapter with the settings it has stored; null (and a non-zero
    // status) when it cannot be opened.
    virtual std::unique_ptr<BusPort> open(const AdapterDescription &adapter,
                                          const AdapterSettings &settings, DevStatus &status) = 0;
};
