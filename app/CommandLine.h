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
        Record,        // record from an adapter to a file without a window
    };

    // The application object an action runs on. Only the window needs the
    // graphical one, and with it a reachable display; everything answered on
    // the terminal runs without, over ssh or in a script at the test bench.
    enum class Host {
        None, // no application object: the answer is already known
        Core, // a QCoreApplication: event loop, timers, adapters; no display
        Gui,  // the graphical application and the main window
    };
    static Host hostOf(Action action);

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
    // For Record (with adapter): the file, its format ("candump" or "asc";
    // empty: by the file's extension) and how long, 0 ms meaning until stopped.
    QString recordFile;
    QString recordFormat;
    qint64 recordMilliseconds = 0;
};

// arguments as main gets them, the program first. Qt's own options (such as
// -platform or -style) are left to the application object and skipped here,
// so this runs before any application object exists.
CommandLine parseCommandLine(const QStringList &arguments);

// The program's name and version as the help and --version give them, and the
// logging rules that keep the terminal quiet; set before any application
// object exists, so that every host shares them.
void setProgramIdentity();

// Prints the help with Qt's generic options and ends the program. Needs a
// graphical application object (its options are the ones listed).
[[noreturn]] void showFullHelp(const QStringList &arguments);

// Writes the adapter list as the connection dialog shows it, one entry a line.
// Returns the program's exit code: 0, or 1 after telling err when there is no
// adapter.
int listAdapters(DeviceLibrary &library, QTextStream &out, QTextStream &err);

// True when a window can be opened: a display is named in the environment or
// on the command line (arguments as main gets them), or a platform is chosen.
bool displayAvailable(const QStringList &arguments);
