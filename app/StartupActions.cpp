#include "app/StartupActions.h"

#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/MessageReporter.h"
#include "dbc/SignalCommands.h"
#include "device/AdapterList.h"
#include "logfile/LogFileCommands.h"

#include <QString>

bool connectAdapterByName(CMainFrame &frame, const QString &name)
{
    DeviceLibrary &library = frame.deviceLibrary();
    MessageReporter &messages = frame.messageReporter();
    const std::vector<std::string> entries = readAdapterEntries(library);
    if (entries.empty()) {
        messages.showMessage(MessageIcon::Error, "Cannot find device(s)");
        return false;
    }
    const int index = findAdapter(library, name.toLocal8Bit().toStdString());
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) {
        messages.showMessage(MessageIcon::Error,
                             QStringLiteral("No adapter matches \"%1\". Press Connect to "
                                            "choose one.")
                                 .arg(name.trimmed())
                                 .toStdString());
        return false;
    }

    const QString entry = QString::fromLocal8Bit(entries[static_cast<std::size_t>(index)].c_str());
    DevStatus status = DevSuccess;
    if (frame.ConnectAdapter(index, entry, &status))
        return true;
    // An adapter in use has been reported by the connect itself.
    if (status != DevInUse) {
        messages.showMessage(MessageIcon::Error,
                             QStringLiteral("Cannot open \"%1\"").arg(entry).toStdString());
    }
    return false;
}

void carryOutCommandLine(CMainFrame &frame, const CommandLine &commandLine)
{
    // The database first, so that an opened log shows its signals at once.
    if (!commandLine.database.isEmpty())
        frame.signalCommands().openDatabase(commandLine.database);
    else
        frame.signalCommands().restoreDatabase();
    // A log is opened only while disconnected, so it comes first.
    if (!commandLine.logFile.isEmpty())
        frame.logFiles().OpenLogFile(commandLine.logFile);
    if (!commandLine.adapter.isEmpty())
        connectAdapterByName(frame, commandLine.adapter);
}
