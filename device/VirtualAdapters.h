#pragma once

#include "device/AdapterProvider.h"
#include "device/VirtualBus.h"

#include <mutex>
#include <optional>
#include <vector>

// The built-in adapters, each on its own simulated bus: a vehicle network, a
// quiet bus and a saturated bus. They can be unplugged and plugged in again.
class VirtualAdapters : public AdapterProvider {
public:
    struct Options {
        // Overrides the bit rate of the stored timing (0: use the timing).
        std::uint32_t bitrate = 0;
        // Seed of the buses' random numbers (0: from the time).
        std::uint64_t seed = 0;
        // The saturated bus stops after this many frames (0: never).
        std::uint64_t saturatedFrameLimit = 0;
    };

    VirtualAdapters();
    explicit VirtualAdapters(const Options &options);

    std::vector<AdapterDescription> adapters() override;
    std::unique_ptr<BusPort> open(const AdapterDescription &adapter,
                                  const AdapterSettings &settings, DevStatus &status) override;

    // Simulated plugging; false for an unknown identifier.
    bool setPresent(const std::string &instanceId, bool present);

    static constexpr const char *VehicleId = "VXVIRT001";
    static constexpr const char *QuietId = "VXVIRT002";
    static constexpr const char *SaturatedId = "VXVIRT003";

private:
    struct Adapter {
        AdapterDescription description;
        BusProfile profile;
        bool present = true;
    };

    Options m_options;
    std::mutex m_mutex;
    std::vector<Adapter> m_adapters;
};
