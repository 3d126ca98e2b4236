#include "device/DeviceLibraryFactory.h"

#include "device/CanBusAdapters.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"

#include <QStandardPaths>

std::unique_ptr<VexoDeviceLibrary> createDeviceLibrary(const DeviceLibrarySetup &setup)
{
    VexoDeviceLibrary::Options options;
    const QString directory = setup.dataDirectory.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/Vexo View")
        : setup.dataDirectory;
    options.dataDirectory = directory.toStdString();

    std::vector<std::unique_ptr<AdapterProvider>> providers;
    if (setup.virtualAdapters)
        providers.push_back(std::make_unique<VirtualAdapters>());
    if (setup.canBusAdapters) {
        const QString server = setup.virtualCanServer.isEmpty()
            ? qEnvironmentVariable("VEXO_VIRTUALCAN_SERVER")
            : setup.virtualCanServer;
        providers.push_back(std::make_unique<CanBusAdapters>(setup.plugins, server));
    }
    return std::make_unique<VexoDeviceLibrary>(std::move(options), std::move(providers));
}
