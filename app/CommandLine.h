#pragma once

#include <QString>
#include <QStringList>

class DeviceLibrary;
class QTextStream;

// What the program is asked to do from the shell.
struct CommandLine {
    enum class Action {
        Run,           // open the main window
        ListAdapters,  // print the adapter list and end
        Print,         // print text (help, version or an error) and end
        PrintFullHelp, // the help with Qt's own options; see showFullHelp
        Decode,        // print the signals of a log's frames (database, decodeLog) and end
    };

    static constexpr int BadCommandLine = 2;

    Action action = Action::Run;
    // For Print: the text, where it goes and how the program ends.
    QString text;
    bool toStandardError = false;
    int exitCode = 0;
    // For Run: the log to open at start, then the adapter to connect to;
    // empty opens or connects to none.
    QString logFile;
    QString adapter;
    // The database to decode signals with; for Run, empty takes the one of
    // the last run.
    QString database;
    // For Decode: the log whose frames are printed as signals.
    QString decodeLog;
};

// arguments as the application object holds them, the program first.
CommandLine parseCommandLine(const QStringList &arguments);

// Prints the help with Qt's generic options and ends the program.
[[noreturn]] void showFullHelp(const QStringList &arguments);

// Writes the adapter list as the connection dialog shows it, one entry a line.
// Returns the program's exit code: 0, or 1 after telling err when there is no
// adapter.
int listAdapters(DeviceLibrary &library, QTextStream &out, QTextStream &err);

// True when a window can be opened: a display is named in the environment or
// on the command line (arguments as main gets them), or a platform is chosen.
bool displayAvailable(const QStringList &arguments);
