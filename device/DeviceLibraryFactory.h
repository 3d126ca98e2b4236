#pragma once

#include "device/DeviceLibrary.h"

#include <QString>
#include <QStringList>

#include <memory>

class VexoDeviceLibrary;

// How the program's device library is put together.
struct DeviceLibrarySetup {
    // Where adapters keep their settings and locks; empty: the user's data
    // directory ("Vexo View" under the generic data location).
    QString dataDirectory;
    // Include the built-in virtual adapters.
    bool virtualAdapters = true;
    // The Qt Serial Bus plugins to list; empty: all installed ones.
    QStringList plugins;
    // Include Qt Serial Bus interfaces at all.
    bool canBusAdapters = true;
    // The server of Qt's virtual CAN bus, as "tcp://host:port"; empty: the
    // VEXO_VIRTUALCAN_SERVER environment variable, else the plugin's default
    // (a server on the local host, port 35468). A private port keeps a test's
    // bus apart from every other program on the machine.
    QString virtualCanServer;
};

// The library the main window uses: the virtual adapters first, then every
// interface of the installed Qt Serial Bus plugins.
std::unique_ptr<VexoDeviceLibrary> createDeviceLibrary(const DeviceLibrarySetup &setup = {});
