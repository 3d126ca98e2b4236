#include "device/CanBusAdapters.h"

#include "device/BitTiming.h"
#include "device/CanBusPort.h"
#include "device/SocketCanLink.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusDeviceInfo>

namespace {

std::string pluginCode(const QString &plugin)
{
    if (plugin == QLatin1String("socketcan"))
        return "SC";
    if (plugin == QLatin1String("virtualcan"))
        return "VC";
    if (plugin == QLatin1String("peakcan"))
        return "PC";
    if (plugin == QLatin1String("passthrucan"))
        return "PT";
    if (plugin == QLatin1String("tinycan"))
        return "TC";
    std::string code;
    for (const QChar c : plugin) {
        if (c.isLetterOrNumber() && c.unicode() < 128 && code.size() < 2)
            code += static_cast<char>(c.toUpper().unicode());
    }
    while (code.size() < 2)
        code += 'X';
    return code;
}

} // namespace

CanBusAdapters::CanBusAdapters(QStringList plugins, QString virtualCanServer)
    : m_plugins(std::move(plugins)), m_virtualCanServer(std::move(virtualCanServer))
{
    if (m_plugins.isEmpty()) {
        const QStringList installed = QCanBus::instance()->plugins();
        for (const char *first : {"socketcan", "virtualcan"}) {
            if (installed.contains(QLatin1String(first)))
                m_plugins.append(QLatin1String(first));
        }
        for (const QString &plugin : installed) {
            if (!m_plugins.contains(plugin))
                m_plugins.append(plugin);
        }
    }
}

std::string CanBusAdapters::instanceIdFor(const QString &plugin, const QString &interfaceName)
{
    std::string name;
    for (const QChar c : interfaceName) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            name += static_cast<char>(c.toUpper().unicode());
    }
    if (name.empty() || name.size() > 7
        || name.size() != static_cast<std::size_t>(interfaceName.size())) {
        // A long or unusual name becomes a hash of the whole name.
        std::uint32_t hash = 2166136261U;
        for (const char c : interfaceName.toStdString()) {
            hash ^= static_cast<std::uint8_t>(c);
            hash *= 16777619U;
        }
        static constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
        name.clear();
        for (int i = 0; i < 7; ++i) {
            name += digits[hash & 31U];
            hash >>= 5;
        }
    }
    name.resize(7, '_');
    return pluginCode(plugin) + name;
}

std::vector<AdapterDescription> CanBusAdapters::adapters()
{
    std::vector<AdapterDescription> list;
    std::lock_guard guard(m_mutex);
    for (const QString &plugin : m_plugins) {
        if (m_pluginStates[plugin] == PluginState::Unusable)
            continue;
        QString error;
        const auto interfaces = QCanBus::instance()->availableDevices(plugin, &error);
        if (interfaces.isEmpty()) {
            // A plugin that cannot even list (its vendor library is missing)
            // is not asked again.
            if (!error.isEmpty())
                m_pluginStates[plugin] = PluginState::Unusable;
            continue;
        }
        if (!usable(plugin, interfaces.front().name()))
            continue;
        const bool socketCan = plugin == QLatin1String("socketcan");
        for (const QCanBusDeviceInfo &info : interfaces) {
            // A SocketCAN interface that is down is not there for the user, as
            // an unplugged adapter: setting it up makes it arrive.
            if (socketCan && !isUp(info.name()))
                continue;
            AdapterDescription description;
            const QString product = info.description().isEmpty()
                ? plugin + QLatin1Char(' ') + info.name()
                : info.description() + QLatin1Char(' ') + info.name();
            description.productName = product.toStdString();
            description.instanceId = instanceIdFor(plugin, info.name());
            const std::string serial = info.serialNumber().toStdString();
            description.defaults.serial = SettingsFile::isValidSerial(serial) ? serial : "0";
            m_interfaces[description.instanceId] = {plugin, info.name()};
            list.push_back(std::move(description));
        }
    }
    return list;
}

bool CanBusAdapters::isUp(const QString &interfaceName)
{
    const std::string name = interfaceName.toStdString();
    if (CanBusPort::changingRate(name))
        return true;
    const auto link = SocketCanLink::query(name);
    return link && link->up;
}

bool CanBusAdapters::usable(const QString &plugin, const QString &firstInterface)
{
    PluginState &state = m_pluginStates[plugin];
    if (state == PluginState::Unknown) {
        // Creating a device loads the vendor's library without connecting to
        // anything.
        const std::unique_ptr<QCanBusDevice> probe(
            QCanBus::instance()->createDevice(plugin, firstInterface));
        state = probe ? PluginState::Usable : PluginState::Unusable;
    }
    return state == PluginState::Usable;
}

std::unique_ptr<BusPort> CanBusAdapters::open(const AdapterDescription &adapter,
                                              const AdapterSettings &settings, DevStatus &status)
{
    std::pair<QString, QString> interface;
    {
        std::lock_guard guard(m_mutex);
        const auto found = m_interfaces.find(adapter.instanceId);
        if (found == m_interfaces.end()) {
            status = 1;
            return nullptr;
        }
        interface = found->second;
    }
    // The virtual bus plugin takes a URL naming its server before the channel.
    if (interface.first == QLatin1String("virtualcan") && !m_virtualCanServer.isEmpty())
        interface.second = m_virtualCanServer + QLatin1Char('/') + interface.second;
    // A SocketCAN interface is used as it is: its rate is the kernel's, and
    // only an administrator may change it (Setup does, where permitted).
    const bool socketCan = interface.first == QLatin1String("socketcan");
    std::optional<std::uint32_t> bitrate;
    if (settings.timing && !socketCan)
        bitrate = static_cast<std::uint32_t>(BitTiming::bitrate(*settings.timing) + 0.5);
    const bool busOffRecovery = (settings.options & AdapterOption::AutomaticBusOffRecovery) != 0;
    auto port =
        CanBusPort::open(interface.first, interface.second, bitrate, nullptr, busOffRecovery);
    status = port ? DevSuccess : 1;
    return port;
}
