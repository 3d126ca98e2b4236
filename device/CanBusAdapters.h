#pragma once

#include "device/AdapterProvider.h"

#include <QString>
#include <QStringList>

#include <map>
#include <mutex>

// The interfaces that the installed Qt Serial Bus plugins report (SocketCAN,
// Qt's virtual CAN bus, ...), each as one adapter. All of them share one
// thread of the library, where their Qt devices live.
class CanBusAdapters : public AdapterProvider {
public:
    // plugins: the plugins to list, in this order; empty: every installed
    // plugin, SocketCAN and the virtual bus first. virtualCanServer: the
    // virtual bus's server as "tcp://host:port", empty for the plugin's own.
    explicit CanBusAdapters(QStringList plugins = {}, QString virtualCanServer = {});

    std::vector<AdapterDescription> adapters() override;
    std::unique_ptr<BusPort> open(const AdapterDescription &adapter,
                                  const AdapterSettings &settings, DevStatus &status) override;

    // The instance identifier of a plugin's interface: two letters for the
    // plugin, then the interface name (or a hash of a long one), nine
    // characters in all.
    static std::string instanceIdFor(const QString &plugin, const QString &interfaceName);

private:
    // Whether a plugin can open what it lists. Plugins for vendor adapters
    // list interfaces even when the vendor's library is missing (or fail to
    // list, complaining each time); that is found out once per plugin.
    enum class PluginState { Unknown, Usable, Unusable };
    bool usable(const QString &plugin, const QString &firstInterface);
    static bool isUp(const QString &interfaceName);

    QStringList m_plugins;
    QString m_virtualCanServer;
    std::mutex m_mutex;
    std::map<std::string, std::pair<QString, QString>> m_interfaces; // id -> plugin, name
    std::map<QString, PluginState> m_pluginStates;
};
