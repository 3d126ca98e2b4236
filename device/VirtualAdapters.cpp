#include "device/VirtualAdapters.h"

#include "device/BitTiming.h"

#include <chrono>

VirtualAdapters::VirtualAdapters() : VirtualAdapters(Options()) { }

VirtualAdapters::VirtualAdapters(const Options &options) : m_options(options)
{
    CAN_Timing timing;
    BitTiming::calculate(500'000, timing);
    auto adapter = [&](const char *product, const char *id, const char *serial,
                       BusProfile profile) {
        AdapterSettings defaults;
        defaults.serial = serial;
        defaults.timing = timing;
        defaults.options =
            AdapterOption::AutomaticRetransmission | AdapterOption::AutomaticBusOffRecovery;
        m_adapters.push_back({{product, id, defaults}, profile, true});
    };
    adapter("Vexo Virtual Vehicle Bus", VehicleId, "1000000001", BusProfile::Vehicle);
    adapter("Vexo Virtual Quiet Bus", QuietId, "1000000002", BusProfile::Quiet);
    adapter("Vexo Virtual Saturated Bus", SaturatedId, "1000000003", BusProfile::Saturated);
}

std::vector<AdapterDescription> VirtualAdapters::adapters()
{
    std::lock_guard guard(m_mutex);
    std::vector<AdapterDescription> present;
    for (const Adapter &adapter : m_adapters) {
        if (adapter.present)
            present.push_back(adapter.description);
    }
    return present;
}

std::unique_ptr<BusPort> VirtualAdapters::open(const AdapterDescription &description,
                                               const AdapterSettings &settings, DevStatus &status)
{
    std::lock_guard guard(m_mutex);
    for (const Adapter &adapter : m_adapters) {
        if (adapter.description.instanceId != description.instanceId)
            continue;
        if (!adapter.present)
            break;
        VirtualBus::Options options;
        options.profile = adapter.profile;
        const CAN_Timing timing = settings.timing.value_or(*adapter.description.defaults.timing);
        options.bitrate = m_options.bitrate != 0
            ? m_options.bitrate
            : static_cast<std::uint32_t>(BitTiming::bitrate(timing) + 0.5);
        options.autoRetransmit = (settings.options & AdapterOption::AutomaticRetransmission) != 0;
        options.busOffRecovery = (settings.options & AdapterOption::AutomaticBusOffRecovery) != 0;
        options.seed = m_options.seed != 0
            ? m_options.seed
            : static_cast<std::uint64_t>(
                std::chrono::steady_clock::now().time_since_epoch().count());
        options.frameLimit = m_options.saturatedFrameLimit;
        status = DevSuccess;
        return std::make_unique<VirtualBus>(options);
    }
    status = 1;
    return nullptr;
}

bool VirtualAdapters::setPresent(const std::string &instanceId, bool present)
{
    std::lock_guard guard(m_mutex);
    for (Adapter &adapter : m_adapters) {
        if (adapter.description.instanceId == instanceId) {
            adapter.present = present;
            return true;
        }
    }
    return false;
}
