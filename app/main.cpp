#include "app/CommandLine.h"
#include "app/HeadlessRecording.h"
#include "app/MainFrame.h"
#include "app/QtLogRouting.h"
#include "app/TerminationSignals.h"
#include "app/VexoApp.h"
#include "dbc/HeadlessDecode.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdlib>
#include <iostream>

namespace {

int record(const CommandLine &commandLine, const StopWait &waitForStop)
{
    HeadlessRecordRequest request;
    const std::string file = commandLine.recordFile.toLocal8Bit().toStdString();
    request.settings.path = file;
    request.settings.format = commandLine.recordFormat == QLatin1String("candump")
        ? LogFormat::Candump
        : commandLine.recordFormat == QLatin1String("asc") ? LogFormat::Asc
                                                           : logFormatForPath(file);
    request.adapter = commandLine.adapter.toLocal8Bit().toStdString();
    request.duration = std::chrono::milliseconds(commandLine.recordMilliseconds);
    const auto library = createDeviceLibrary();
    return runHeadlessRecording(*library, *library, request, std::cout, std::cerr, waitForStop);
}

// Actions that need no application object: a text the command line holds,
// or work on files alone.
int runWithoutApplication(const CommandLine &commandLine)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (commandLine.action) {
    case CommandLine::Action::Print:
        (commandLine.toStandardError ? err : out) << commandLine.text;
        return commandLine.exitCode;
    case CommandLine::Action::Decode:
        return decodeLogWithDatabase(QFile::encodeName(commandLine.database).toStdString(),
                                     QFile::encodeName(commandLine.decodeLog).toStdString(),
                                     std::cout, std::cerr);
    default:
        break;
    }
    return 1;
}

// Actions that need adapters, timers or an event loop, but no window.
int runWithoutDisplay(const CommandLine &commandLine, int &argc, char **argv)
{
    // The signals that end a recording are waited for, so they are blocked
    // before the application object starts any thread.
    const StopWait waitForStop = commandLine.action == CommandLine::Action::Record
        ? stopOnTerminationSignals()
        : StopWait{};
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (commandLine.action) {
    case CommandLine::Action::ListAdapters:
        return listAdapters(*createDeviceLibrary(), out, err);
    case CommandLine::Action::Record:
        return record(commandLine, waitForStop);
    default:
        break;
    }
    return 1;
}

// The help with Qt's options, given by a graphical application object that
// draws off screen, so that it needs no display either.
[[noreturn]] void showFullHelpWithoutDisplay(char *program)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char *argv[] = {program, nullptr};
    CVEXOApp app(argc, argv);
    showFullHelp(CVEXOApp::arguments());
}

} // namespace

int main(int argc, char *argv[])
{
    // What Qt and its plugins report goes to our log, off unless asked for.
    const QString logFailure = routeQtMessagesToProgramLog();
    if (!logFailure.isEmpty())
        QTextStream(stderr) << logFailure << '\n';
    // Without TZ, the C library looks at /etc/localtime again for every local
    // time it works out, and the style asks for one whenever it paints a
    // group box: many times a second while frames arrive. Named once here,
    // the zone file is read once.
    if (std::getenv("TZ") == nullptr)
        setenv("TZ", ":/etc/localtime", 0);
    // The command line is read before any application object exists: the
    // graphical one ends the program at once when the display it is told of
    // cannot be reached, and most answers need no display at all.
    setProgramIdentity();
    QStringList given;
    for (int i = 0; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(given);
    switch (CommandLine::hostOf(commandLine.action)) {
    case CommandLine::Host::None:
        return runWithoutApplication(commandLine);
    case CommandLine::Host::Core:
        return runWithoutDisplay(commandLine, argc, argv);
    case CommandLine::Host::Gui:
        break;
    }
    if (commandLine.action == CommandLine::Action::PrintFullHelp)
        showFullHelpWithoutDisplay(argv[0]);

    if (!displayAvailable(given)) {
        QTextStream(stderr)
            << "Vexo View is a desktop program and no display was found (DISPLAY is not set).\n"
               "Start it from a desktop session, or under a virtual display: xvfb-run "
            << given.first() << '\n';
        return 1;
    }
    CVEXOApp app(argc, argv);
    // Handled once events are, by then the main window is there.
    closeOnTerminationSignals([&app] {
        if (app.mainFrame())
            app.mainFrame()->close();
    });
    if (!app.InitInstance(commandLine))
        return 1;
    return CVEXOApp::exec();
}
