#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/QtLogRouting.h"
#include "app/TerminationSignals.h"
#include "app/VexoApp.h"
#include "dbc/HeadlessDecode.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"

#include <QFile>
#include <QTextStream>

#include <cstdlib>
#include <iostream>

int main(int argc, char *argv[])
{
    // What Qt and its plugins report goes to our log, off unless asked for.
    const QString logFailure = routeQtMessagesToProgramLog();
    if (!logFailure.isEmpty())
        QTextStream(stderr) << logFailure << '\n';
    QStringList given;
    for (int i = 0; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    // The help, the version and the adapter list are answered on the terminal,
    // also where there is no display (over ssh, in a script at the test bench).
    const bool headless = !displayAvailable(given);
    // Without TZ, the C library looks at /etc/localtime again for every local
    // time it works out, and the style asks for one whenever it paints a
    // group box: many times a second while frames arrive. Named once here,
    // the zone file is read once.
    if (std::getenv("TZ") == nullptr)
        setenv("TZ", ":/etc/localtime", 0);
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    CVEXOApp app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CommandLine commandLine = parseCommandLine(CVEXOApp::arguments());
    switch (commandLine.action) {
    case CommandLine::Action::Print:
        (commandLine.toStandardError ? err : out) << commandLine.text;
        return commandLine.exitCode;
    case CommandLine::Action::PrintFullHelp:
        showFullHelp(CVEXOApp::arguments());
    case CommandLine::Action::ListAdapters:
        return listAdapters(*createDeviceLibrary(), out, err);
    case CommandLine::Action::Decode:
        return decodeLogWithDatabase(QFile::encodeName(commandLine.database).toStdString(),
                                     QFile::encodeName(commandLine.decodeLog).toStdString(),
                                     std::cout, std::cerr);
    case CommandLine::Action::Run:
        break;
    }

    if (headless) {
        err << "Vexo View is a desktop program and no display was found (DISPLAY is not set).\n"
               "Start it from a desktop session, or under a virtual display: xvfb-run "
            << QString::fromLocal8Bit(argv[0]) << '\n';
        return 1;
    }
    // Handled once events are, by then the main window is there.
    closeOnTerminationSignals([&app] {
        if (app.mainFrame())
            app.mainFrame()->close();
    });
    if (!app.InitInstance(commandLine))
        return 1;
    return CVEXOApp::exec();
}
