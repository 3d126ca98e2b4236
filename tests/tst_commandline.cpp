// Starting Vexo View from the shell: the command line, the adapter list, the
// adapter and the log named at start; then the program itself, run as a user
// runs it.

#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/StartupActions.h"
#include "app/VexoApp.h"
#include "capture/FrameStore.h"
#include "device/AdapterList.h"
#include "logfile/LogFormat.h"

#include "LogPackets.h"
#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

void addAdapters(RecordingDeviceLibrary &library, int count)
{
    const std::vector<RecordingDeviceLibrary::Adapter> adapters = {
        {"Vexo USB-CAN", "123", "VX1000000"},
        {"Vexo USB-CAN", "124", "VX1000001"},
        {"\xc3\x9c"
         "ber CAN",
         "9", "UB0000001"},
    };
    library.adapters.assign(adapters.begin(), adapters.begin() + count);
}

// The display the program is given: a platform that draws off screen, or
// none, or a display that is named but cannot be reached.
enum class DisplayKind { Offscreen, None, LostX11, LostWayland };

// The environment of a user with a fresh home: nothing of this machine's user
// is read or written.
QProcessEnvironment privateEnvironment(const QTemporaryDir &home, DisplayKind display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(variable));
    if (display == DisplayKind::Offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // No X server on this machine listens on a display number that high.
    if (display == DisplayKind::LostX11)
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4093"));
    // The socket would be in the private runtime folder, which is empty.
    if (display == DisplayKind::LostWayland)
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-lost"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    return environment;
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const QStringList &arguments, const QTemporaryDir &home,
               DisplayKind display = DisplayKind::Offscreen)
{
    QProcess program;
    program.setProcessEnvironment(privateEnvironment(home, display));
    program.start(QStringLiteral(VEXO_PROGRAM), arguments);
    Run run;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

} // namespace

Q_DECLARE_METATYPE(DisplayKind)

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsing_data();
    void parsing();
    void recordingOptions_data();
    void recordingOptions();
    void adapterList_data();
    void adapterList();
    void adapterByName_data();
    void adapterByName();
    void connectingAtStart_data();
    void connectingAtStart();
    void openingAtStart_data();
    void openingAtStart();
    void programAnswersOnTheTerminal_data();
    void programAnswersOnTheTerminal();
    void programListsTheVirtualAdaptersFirst();
    void programConnectsToTheNamedAdapter();
};

void TestCommandLine::parsing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text"); // a part of the printed text

    const QString bus = QStringLiteral("Vexo Virtual Quiet Bus");
    const QString none;
    const QString log = QStringLiteral("capture.dcu");
    QTest::newRow("nothing opens the window")
        << QStringList{} << Action::Run << 0 << none << none << none;
    QTest::newRow("adapter") << QStringList{"--adapter", bus} << Action::Run << 0 << bus << none
                             << none;
    QTest::newRow("adapter with equals sign")
        << QStringList{"--adapter=" + bus} << Action::Run << 0 << bus << none << none;
    QTest::newRow("log file") << QStringList{log} << Action::Run << 0 << none << log << none;
    QTest::newRow("log file and adapter")
        << QStringList{log, "--adapter", bus} << Action::Run << 0 << bus << log << none;
    QTest::newRow("list adapters")
        << QStringList{"--list-adapters"} << Action::ListAdapters << 0 << none << none << none;
    QTest::newRow("help") << QStringList{"--help"} << Action::Print << 0 << none << none
                          << QStringLiteral("--adapter <name>");
    QTest::newRow("help before other options")
        << QStringList{"--help", "--adapter", "x", log} << Action::Print << 0 << none << none
        << QStringLiteral("Usage: /usr/bin/vexoview [options] [file]");
    QTest::newRow("help with Qt's options")
        << QStringList{"--help-all"} << Action::PrintFullHelp << 0 << none << none << none;
    QTest::newRow("version") << QStringList{"--version"} << Action::Print << 0 << none << none
                             << QStringLiteral("Vexo View 1.0.0.4\n");

    QTest::newRow("unknown option") << QStringList{"--bogus"} << Action::Print << 2 << none << none
                                    << QStringLiteral("Unknown option 'bogus'.");
    QTest::newRow("adapter without name") << QStringList{"--adapter"} << Action::Print << 2 << none
                                          << none << QStringLiteral("Missing value");
    QTest::newRow("blank adapter name") << QStringList{"--adapter", "  "} << Action::Print << 2
                                        << none << none << QStringLiteral("adapter name is empty");
    QTest::newRow("two adapters") << QStringList{"--adapter", "a", "--adapter", "b"}
                                  << Action::Print << 2 << none << none
                                  << QStringLiteral("one adapter");
    QTest::newRow("empty file name") << QStringList{""} << Action::Print << 2 << none << none
                                     << QStringLiteral("file name is empty");
    QTest::newRow("two files") << QStringList{log, "b.dcu"} << Action::Print << 2 << none << none
                               << QStringLiteral("one log file");
    QTest::newRow("list and connect")
        << QStringList{"--list-adapters", "--adapter", bus} << Action::Print << 2 << none << none
        << QStringLiteral("takes neither");
    QTest::newRow("list with a file") << QStringList{"--list-adapters", log} << Action::Print << 2
                                      << none << none << QStringLiteral("takes neither");

    const QStringList record{"--record", "trace.log"};
    QTest::newRow("record") << record + QStringList{"--adapter", bus} << Action::Record << 0 << bus
                            << none << none;
    QTest::newRow("record from no adapter")
        << record << Action::Print << 2 << none << none << QStringLiteral("needs --adapter");
    QTest::newRow("record and open a log")
        << record + QStringList{"--adapter", bus, log} << Action::Print << 2 << none << none
        << QStringLiteral("opens no log");
    QTest::newRow("duration of nothing")
        << record + QStringList{"--adapter", bus, "--duration", "0"} << Action::Print << 2 << none
        << none << QStringLiteral("above 0");
    QTest::newRow("duration no number")
        << record + QStringList{"--adapter", bus, "--duration", "1h"} << Action::Print << 2 << none
        << none << QStringLiteral("above 0");
    QTest::newRow("unknown format")
        << record + QStringList{"--adapter", bus, "--format", "dcu"} << Action::Print << 2 << none
        << none << QStringLiteral("candump or asc");
    QTest::newRow("duration without record")
        << QStringList{"--adapter", bus, "--duration", "3"} << Action::Print << 2 << none << none
        << QStringLiteral("go with --record");
}

void TestCommandLine::parsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(int, exitCode);
    QFETCH(QString, adapter);
    QFETCH(QString, file);
    QFETCH(QString, text);

    const CommandLine parsed =
        parseCommandLine(QStringList{QStringLiteral("/usr/bin/vexoview")} + arguments);
    QCOMPARE(parsed.action, action);
    QCOMPARE(parsed.exitCode, exitCode);
    QCOMPARE(parsed.adapter, adapter);
    QCOMPARE(parsed.logFile, file);
    QCOMPARE(parsed.recordFile, action == Action::Record ? QStringLiteral("trace.log") : QString());
    QVERIFY2(parsed.text.contains(text), qPrintable(parsed.text));
    // Errors go to the error stream, named after the program, with a way on.
    QCOMPARE(parsed.toStandardError, exitCode != 0);
    if (exitCode != 0) {
        QVERIFY(parsed.text.startsWith(QStringLiteral("vexoview: ")));
        QVERIFY(
            parsed.text.endsWith(QStringLiteral("Try 'vexoview --help' for more information.\n")));
    }
}

void TestCommandLine::recordingOptions_data()
{
    QTest::addColumn<QStringList>("more");
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<QString>("format");
    QTest::newRow("until stopped, format by name") << QStringList{} << qint64(0) << QString();
    QTest::newRow("seconds with a fraction")
        << QStringList{"--duration", "2.5"} << qint64(2500) << QString();
    QTest::newRow("format in capitals") << QStringList{"--format=ASC"} << qint64(0) << "asc";
}

void TestCommandLine::recordingOptions()
{
    QFETCH(QStringList, more);
    QFETCH(qint64, milliseconds);
    QFETCH(QString, format);
    const CommandLine parsed =
        parseCommandLine(QStringList{"vexoview", "--record=trace.log", "--adapter", "can0"} + more);
    QCOMPARE(parsed.action, Action::Record);
    QCOMPARE(parsed.recordMilliseconds, milliseconds);
    QCOMPARE(parsed.recordFormat, format);
}

void TestCommandLine::adapterList_data()
{
    QTest::addColumn<int>("adapters");
    QTest::addColumn<int>("countStatus");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("as the dialog lists them")
        << 3 << 0 << 0
        << QString::fromUtf8("Vexo USB-CAN(123): VX1000000\nVexo USB-CAN(124): VX1000001\n"
                             "\xc3\x9c"
                             "ber CAN(9): UB0000001\n")
        << "";
    QTest::newRow("no adapter") << 0 << 0 << 1 << ""
                                << "Cannot find device(s)\n";
    QTest::newRow("counting fails") << 3 << 1 << 1 << ""
                                    << "Cannot find device(s)\n";
}

void TestCommandLine::adapterList()
{
    QFETCH(int, adapters);
    QFETCH(int, countStatus);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    RecordingDeviceLibrary library;
    addAdapters(library, adapters);
    library.statuses[DevOrdinal::GetDeviceCount] = static_cast<DevStatus>(countStatus);
    QString written;
    QString complaint;
    QTextStream outStream(&written);
    QTextStream errStream(&complaint);
    QCOMPARE(listAdapters(library, outStream, errStream), exitCode);
    QCOMPARE(written, out);
    QCOMPARE(complaint, err);
}

void TestCommandLine::adapterByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");

    QTest::newRow("whole entry") << "Vexo USB-CAN(124): VX1000001" << 1;
    QTest::newRow("product name: the first of two") << "Vexo USB-CAN" << 0;
    QTest::newRow("letters in any case") << "vexo usb-can(124): vx1000001" << 1;
    QTest::newRow("blanks around the name") << "  Vexo USB-CAN(124): VX1000001\t" << 1;
    QTest::newRow("letters beyond ASCII match exactly") << QString::fromUtf8("\xc3\x9c"
                                                                             "BER can")
                                                        << 2;
    QTest::newRow("no folding beyond ASCII") << QString::fromUtf8("\xc3\xbc"
                                                                  "ber CAN")
                                             << -1;
    QTest::newRow("part of a name") << "Vexo" << -1;
    QTest::newRow("instance identifier alone") << "VX1000001" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestCommandLine::adapterByName()
{
    QFETCH(QString, name);
    QFETCH(int, index);

    RecordingDeviceLibrary library;
    addAdapters(library, 3);
    QCOMPARE(findAdapter(library, name.toStdString()), index);
    QCOMPARE(library.count(DevOrdinal::Open), 0);
}

void TestCommandLine::connectingAtStart_data()
{
    QTest::addColumn<int>("adapters");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("openStatus");
    QTest::addColumn<int>("opened");   // index given to DevOpen, -1 for none
    QTest::addColumn<QString>("pane"); // the adapter pane once connected
    QTest::addColumn<QString>("message");

    QTest::newRow("by product name")
        << 3 << "Vexo USB-CAN" << 0 << 0 << "Vexo USB-CAN(123): VX1000000"
        << "";
    QTest::newRow("by entry") << 3 << "vexo usb-can(124): VX1000001" << 0 << 1
                              << "Vexo USB-CAN(124): VX1000001"
                              << "";
    QTest::newRow("no match") << 3 << " Nothing " << 0 << -1 << "-"
                              << "No adapter matches \"Nothing\". Press Connect to choose one.";
    QTest::newRow("no adapter at all") << 0 << "Vexo USB-CAN" << 0 << -1 << "-"
                                       << "Cannot find device(s)";
    QTest::newRow("in use") << 3 << "Vexo USB-CAN" << 0x11 << 0 << "-"
                            << "Device already in use";
    QTest::newRow("cannot open") << 3 << "Vexo USB-CAN" << 1 << 0 << "-"
                                 << "Cannot open \"Vexo USB-CAN(123): VX1000000\"";
}

void TestCommandLine::connectingAtStart()
{
    QFETCH(int, adapters);
    QFETCH(QString, name);
    QFETCH(int, openStatus);
    QFETCH(int, opened);
    QFETCH(QString, pane);
    QFETCH(QString, message);

    CVEXODoc document;
    document.OnNewDocument();
    RecordingDeviceLibrary library;
    addAdapters(library, adapters);
    library.statuses[DevOrdinal::Open] = static_cast<DevStatus>(openStatus);
    RecordingMessageReporter messages;
    CMainFrame frame(document, library, &messages);
    frame.show();

    const bool connected = message.isEmpty();
    QCOMPARE(connectAdapterByName(frame, name), connected);
    QCOMPARE(frame.IsConnected(), connected);
    if (opened < 0) {
        QCOMPARE(library.count(DevOrdinal::Open), 0);
    } else {
        QCOMPARE(library.last(DevOrdinal::Open)->args.at(0), opened);
    }
    QCOMPARE(library.count(DevOrdinal::Start), connected ? 1 : 0);
    QCOMPARE(frame.paneText(CMainFrame::AdapterPane), pane);
    if (connected) {
        QVERIFY(messages.messages.empty());
        QCOMPARE(frame.paneText(CMainFrame::ConnectionPane), QStringLiteral("Connected"));
        QCOMPARE(frame.paneText(CMainFrame::BitRatePane), QStringLiteral("500Kbps"));
    } else {
        QCOMPARE(messages.messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(messages.messages[0].text), message);
        QVERIFY(messages.messages[0].icon == MessageIcon::Error);
        QCOMPARE(frame.paneText(CMainFrame::ConnectionPane), QStringLiteral("Disconnected"));
    }
}

void TestCommandLine::openingAtStart_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content"); // null: no such file
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("message");

    const std::vector<CAN_Packet> capture = randomCapture(3, 17);
    std::string binary;
    std::string text;
    QCOMPARE(writeLog(LogFormat::Binary, capture, binary), LogStatus::Ok);
    QCOMPARE(writeLog(LogFormat::Text, capture, text), LogStatus::Ok);
    const QByteArray good = QByteArray::fromStdString(binary);
    const QString none;

    QTest::newRow("binary log") << "capture.dcu" << good << none << 3 << none;
    QTest::newRow("text log") << "capture.txt" << QByteArray::fromStdString(text) << none << 3
                              << none;
    QTest::newRow("binary log cut short")
        << "capture.dcu" << good.left(good.size() - 1) << none << 0 << "Can not open file";
    QTest::newRow("no binary log")
        << "capture.dcu" << QByteArray("CAN") << none << 0 << "Can not open file";
    QTest::newRow("no such file") << "capture.dcu" << QByteArray() << none << 0
                                  << "Can not open file";
    QTest::newRow("log, then the adapter") << "capture.dcu" << good << "Vexo USB-CAN" << 3 << none;
    QTest::newRow("damaged log, then the adapter")
        << "capture.dcu" << QByteArray("CAN") << "Vexo USB-CAN" << 0 << "Can not open file";
}

// A log named on the command line is opened as Open Log opens it; whatever
// happens to it, the adapter named beside it is still connected.
void TestCommandLine::openingAtStart()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, adapter);
    QFETCH(int, frames);
    QFETCH(QString, message);

    QTemporaryDir folder;
    const QString path = folder.filePath(fileName);
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    CVEXODoc document;
    document.OnNewDocument();
    RecordingDeviceLibrary library;
    addAdapters(library, 3);
    RecordingMessageReporter messages;
    CMainFrame frame(document, library, &messages);
    frame.show();

    CommandLine commandLine;
    commandLine.logFile = path;
    commandLine.adapter = adapter;
    carryOutCommandLine(frame, commandLine);

    QCOMPARE(int(document.frameCount()), frames);
    QCOMPARE(int(document.arrivalList().size()), frames);
    QCOMPARE(frame.IsConnected(), !adapter.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(messages.messages.empty());
    } else {
        QCOMPARE(messages.messages.size(), std::size_t{1});
        // The message names the file and why it could not be opened.
        const QString text = QString::fromStdString(messages.messages[0].text);
        QVERIFY2(text.startsWith(message + "\n\n" + path + ": "), qPrintable(text));
    }
}

void TestCommandLine::programAnswersOnTheTerminal_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<DisplayKind>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString none;
    QTest::newRow("version") << QStringList{"--version"} << DisplayKind::Offscreen << 0
                             << "Vexo View 1.0.0.4" << none;
    QTest::newRow("help with Qt's options")
        << QStringList{"--help-all"} << DisplayKind::None << 0 << "--platform" << none;
    QTest::newRow("Qt's own options are Qt's")
        << QStringList{"-platform", "offscreen", "--style=fusion", "-reverse", "--version"}
        << DisplayKind::None << 0 << "Vexo View" << none;
    QTest::newRow("window without a display")
        << QStringList{} << DisplayKind::None << 1 << none << "no display was found";

    // Answered on the terminal whatever the display: none, or one that is
    // named but lost (a stale DISPLAY over ssh, a Wayland session gone).
    const std::pair<const char *, DisplayKind> displays[] = {
        {"no display", DisplayKind::None},
        {"lost X11", DisplayKind::LostX11},
        {"lost Wayland", DisplayKind::LostWayland}};
    for (const auto &[name, display] : displays) {
        const auto row = [&](const char *what) -> QTestData & {
            return QTest::addRow("%s, %s", what, name);
        };
        row("version") << QStringList{"--version"} << display << 0 << "Vexo View 1.0.0.4" << none;
        row("help") << QStringList{"--help"} << display << 0 << "ASC log (.asc)" << none;
        row("adapter list") << QStringList{"--list-adapters"} << display << 0
                            << "Vexo Virtual Vehicle Bus" << none;
        row("bad option") << QStringList{"--bogus"} << display << 2 << none
                          << "Unknown option 'bogus'.";
    }
}

void TestCommandLine::programAnswersOnTheTerminal()
{
    QFETCH(QStringList, arguments);
    QFETCH(DisplayKind, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir home;
    const Run run = runProgram(arguments, home, display);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
    if (out.isEmpty())
        QCOMPARE(run.out, QString());
}

void TestCommandLine::programListsTheVirtualAdaptersFirst()
{
    QTemporaryDir home;
    const Run run = runProgram({QStringLiteral("--list-adapters")}, home);
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'));
    QVERIFY2(lines.size() > 3, qPrintable(run.out));
    QCOMPARE(lines.mid(0, 3),
             (QStringList{"Vexo Virtual Vehicle Bus(1000000001): VXVIRT001",
                          "Vexo Virtual Quiet Bus(1000000002): VXVIRT002",
                          "Vexo Virtual Saturated Bus(1000000003): VXVIRT003"}));
    QCOMPARE(lines.last(), QString()); // every line ends
}

// The program holds an open adapter's lock, with its process id, for as long
// as the link is open: seen from outside, that is the adapter connected.
void TestCommandLine::programConnectsToTheNamedAdapter()
{
    QTemporaryDir home;
    QProcess program;
    program.setProcessEnvironment(privateEnvironment(home, DisplayKind::Offscreen));
    program.start(QStringLiteral(VEXO_PROGRAM),
                  {QStringLiteral("--adapter"), QStringLiteral("vexo virtual quiet bus")});
    QVERIFY(program.waitForStarted());

    const QString lockPath = home.filePath(QStringLiteral("data/Vexo View/locks/VXVIRT002.lock"));
    const QByteArray pid = QByteArray::number(program.processId()) + '\n';
    const auto lockText = [&] {
        QFile lock(lockPath);
        return lock.open(QIODevice::ReadOnly) ? lock.readAll() : QByteArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(lockText(), pid, 60000);

    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    QVERIFY(held);
    QCOMPARE(program.state(), QProcess::Running);

    // Ctrl+C, or the session ending, closes it as the window's close box
    // does: the lock goes with the adapter, and the terminal stays quiet.
    program.terminate();
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QFile::exists(lockPath));
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), QString());
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), QString());
}

int main(int argc, char *argv[])
{
    CVEXOApp app(argc, argv);
    TestCommandLine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commandline.moc"
