#include "app/CommandLine.h"

#include "app/QtLogRouting.h"
#include "device/AdapterList.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>

namespace {

// The options the application objects take for themselves, with one dash or
// two: those followed by a value, and those that stand alone.
const QStringList qtOptionsWithValue = {
    QStringLiteral("platform"),
    QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"),
    QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"),
    QStringLiteral("title"),
    QStringLiteral("qwindowicon"),
    QStringLiteral("icon"),
    QStringLiteral("session"),
    QStringLiteral("display"),
    QStringLiteral("name"),
    QStringLiteral("visual"),
    QStringLiteral("style"),
    QStringLiteral("stylesheet"),
    QStringLiteral("qmljsdebugger"),
};
const QStringList qtFlags = {
    QStringLiteral("reverse"), QStringLiteral("testability"), QStringLiteral("widgetcount"),
    QStringLiteral("sync"),    QStringLiteral("nograb"),      QStringLiteral("dograb"),
};

// The arguments without Qt's own options, which the application object reads
// when it starts the window. Everything after "--" is the program's.
QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            kept << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals > 0 && qtOptionsWithValue.contains(name.left(equals)))
            continue;
        if (qtOptionsWithValue.contains(name)) {
            ++i; // and its value
            continue;
        }
        if (!qtFlags.contains(name))
            kept << argument;
    }
    return kept;
}

struct Options {
    QCommandLineOption adapter{QStringLiteral("adapter"),
                               QStringLiteral("Connect at start to the adapter whose list entry "
                                              "or product name is <name>."),
                               QStringLiteral("name")};
    QCommandLineOption database{
        QStringLiteral("dbc"),
        QStringLiteral(
            "Decode signals with the DBC database <file> (remembered for the next start)."),
        QStringLiteral("file")};
    QCommandLineOption decode{
        QStringLiteral("decode"),
        QStringLiteral(
            "With --dbc: print the signals of every frame of <log> the database describes, "
            "one line a frame, and exit."),
        QStringLiteral("log")};
    QCommandLineOption listAdapters{
        QStringLiteral("list-adapters"),
        QStringLiteral("Print the adapters as the Connect dialog lists them, and exit.")};
    QCommandLineOption record{
        QStringLiteral("record"),
        QStringLiteral("Record every frame of the adapter named by --adapter to <file>, without "
                       "a window, until --duration has passed or the program is interrupted; "
                       "then print a summary."),
        QStringLiteral("file")};
    QCommandLineOption duration{QStringLiteral("duration"),
                                QStringLiteral("With --record: stop after <seconds>."),
                                QStringLiteral("seconds")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("With --record: write a candump or an asc log "
                                             "whatever the file's extension."),
                              QStringLiteral("candump|asc")};
};

void setUp(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Monitor and exercise a CAN bus: watch, filter and sort its frames, "
                       "transmit frames once or periodically, save and open logs."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({options.adapter, options.listAdapters, options.database, options.decode,
                       options.record, options.duration, options.format});
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("A log to open at start: a binary log (.dcu), a candump log (.log), "
                       "an ASC log (.asc) or a text log (any other name)."),
        QStringLiteral("[file]"));
}

// The parser names the program after the application object, and without one
// as "<executable_name>": the usage line names it as it was started.
QString helpText(const QCommandLineParser &parser, const QString &program)
{
    QString text = parser.helpText();
    const QString usage = QStringLiteral("Usage: ");
    const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
    if (text.startsWith(usage) && end > 0)
        text.replace(usage.size(), end - usage.size(), program);
    return text;
}

CommandLine print(const QString &text, int exitCode = 0)
{
    CommandLine result;
    result.action = CommandLine::Action::Print;
    result.text = text;
    result.exitCode = exitCode;
    return result;
}

CommandLine refuse(const QString &program, const QString &reason)
{
    CommandLine result = print(
        QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, reason),
        CommandLine::BadCommandLine);
    result.toStandardError = true;
    return result;
}

} // namespace

CommandLine::Host CommandLine::hostOf(Action action)
{
    switch (action) {
    case Action::Print:
    case Action::Decode: // reads and writes files only
        return Host::None;
    case Action::ListAdapters:
    case Action::Record: // adapters and timers, no window
        return Host::Core;
    case Action::PrintFullHelp: // lists the graphical application's options
    case Action::Run:
        break;
    }
    return Host::Gui;
}

void setProgramIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vexo View"));
    QCoreApplication::setApplicationName(QStringLiteral("Vexo View"));
    // No display name: the window system would append it to every window's
    // title ("Connection Setting — Vexo View").
    QCoreApplication::setApplicationVersion(QStringLiteral(VEXO_FILE_VERSION));
    // The plugins for vendor adapters complain, at critical level, when their
    // vendor library is not installed, which is the usual case; the adapter
    // list leaves such plugins out. Their messages go to the program's log.
    QLoggingCategory::setFilterRules(canBusLoggingRules());
}

CommandLine parseCommandLine(const QStringList &given)
{
    const QString program =
        given.isEmpty() ? QStringLiteral("vexoview") : QFileInfo(given.first()).fileName();
    const QStringList arguments = withoutQtOptions(given);
    QCommandLineParser parser;
    const Options options;
    setUp(parser, options);

    if (!parser.parse(arguments))
        return refuse(program, parser.errorText());
    if (parser.isSet(QStringLiteral("help-all"))) {
        CommandLine result;
        result.action = CommandLine::Action::PrintFullHelp;
        return result;
    }
    if (parser.isSet(QStringLiteral("help")))
        return print(helpText(parser, given.value(0, QStringLiteral("vexoview"))));
    if (parser.isSet(QStringLiteral("version"))) {
        return print(QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                   QCoreApplication::applicationVersion()));
    }

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return refuse(program, QStringLiteral("Name one log file only."));
    if (!files.isEmpty() && files.first().isEmpty())
        return refuse(program, QStringLiteral("The file name is empty."));
    const QStringList adapters = parser.values(options.adapter);
    if (adapters.size() > 1)
        return refuse(program, QStringLiteral("Name one adapter only."));
    if (!adapters.isEmpty() && adapters.first().trimmed().isEmpty())
        return refuse(program, QStringLiteral("The adapter name is empty."));

    const QStringList databases = parser.values(options.database);
    if (databases.size() > 1)
        return refuse(program, QStringLiteral("Name one database only."));
    if (!databases.isEmpty() && databases.first().isEmpty())
        return refuse(program, QStringLiteral("The database file name is empty."));
    const QStringList decodeLogs = parser.values(options.decode);
    if (!decodeLogs.isEmpty()) {
        if (decodeLogs.size() > 1 || decodeLogs.first().isEmpty())
            return refuse(program, QStringLiteral("--decode takes one log file."));
        if (databases.isEmpty())
            return refuse(program, QStringLiteral("--decode needs a database: --dbc FILE."));
        if (!adapters.isEmpty() || !files.isEmpty() || parser.isSet(options.listAdapters))
            return refuse(program, QStringLiteral("--decode takes only --dbc."));
        CommandLine result;
        result.action = CommandLine::Action::Decode;
        result.database = databases.first();
        result.decodeLog = decodeLogs.first();
        return result;
    }

    CommandLine result;
    if (!databases.isEmpty())
        result.database = databases.first();
    if (parser.isSet(options.listAdapters)) {
        if (!adapters.isEmpty() || !files.isEmpty()) {
            return refuse(program,
                          QStringLiteral("--list-adapters takes neither a file nor --adapter."));
        }
        result.action = CommandLine::Action::ListAdapters;
        return result;
    }
    const bool recording = parser.isSet(options.record);
    if (!recording && (parser.isSet(options.duration) || parser.isSet(options.format)))
        return refuse(program, QStringLiteral("--duration and --format go with --record."));
    if (recording) {
        const QStringList records = parser.values(options.record);
        if (records.size() > 1 || parser.values(options.duration).size() > 1
            || parser.values(options.format).size() > 1)
            return refuse(program, QStringLiteral("Give --record, --duration and --format once."));
        if (records.first().isEmpty())
            return refuse(program, QStringLiteral("The file name to record to is empty."));
        if (adapters.isEmpty())
            return refuse(program, QStringLiteral("--record needs --adapter to record from."));
        if (!files.isEmpty())
            return refuse(program, QStringLiteral("--record opens no log."));
        if (parser.isSet(options.duration)) {
            bool ok = false;
            const double seconds = parser.value(options.duration).toDouble(&ok);
            if (!ok || !(seconds > 0) || seconds > 1e9) {
                return refuse(program,
                              QStringLiteral("--duration takes a number of seconds above 0."));
            }
            result.recordMilliseconds = std::max<qint64>(1, qRound64(seconds * 1000));
        }
        if (parser.isSet(options.format)) {
            result.recordFormat = parser.value(options.format).toLower();
            if (result.recordFormat != QLatin1String("candump")
                && result.recordFormat != QLatin1String("asc"))
                return refuse(program, QStringLiteral("--format takes candump or asc."));
        }
        result.action = CommandLine::Action::Record;
        result.recordFile = records.first();
        result.adapter = adapters.first();
        return result;
    }
    if (!files.isEmpty())
        result.logFile = files.first();
    if (!adapters.isEmpty())
        result.adapter = adapters.first();
    return result;
}

void showFullHelp(const QStringList &arguments)
{
    QCommandLineParser parser;
    const Options options;
    setUp(parser, options);
    parser.process(QStringList{arguments.value(0), QStringLiteral("--help-all")});
    // process() has printed the help and ended the program.
    std::abort();
}

int listAdapters(DeviceLibrary &library, QTextStream &out, QTextStream &err)
{
    const std::vector<std::string> entries = readAdapterEntries(library);
    if (entries.empty()) {
        err << "Cannot find device(s)\n";
        err.flush();
        return 1;
    }
    for (const std::string &entry : entries)
        out << QString::fromLocal8Bit(entry.c_str()) << '\n';
    out.flush();
    return 0;
}

bool displayAvailable(const QStringList &arguments)
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform")
            || argument == QLatin1String("-display") || argument == QLatin1String("--display"))
            return true;
    }
    return false;
}
