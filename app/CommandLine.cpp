#include "app/CommandLine.h"

#include "device/AdapterList.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdlib>

namespace {

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
};

void setUp(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Monitor and exercise a CAN bus: watch, filter and sort its frames, "
                       "transmit frames once or periodically, save and open logs."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.adapter);
    parser.addOption(options.listAdapters);
    parser.addOption(options.database);
    parser.addOption(options.decode);
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("A log to open at start: a binary log (.dcu) or a text log."),
        QStringLiteral("[file]"));
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

CommandLine parseCommandLine(const QStringList &arguments)
{
    const QString program =
        arguments.isEmpty() ? QStringLiteral("vexoview") : QFileInfo(arguments.first()).fileName();
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
        return print(parser.helpText());
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
