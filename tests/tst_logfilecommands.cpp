#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "logfile/BinaryLog.h"
#include "logfile/LogFileCommands.h"

#include "FrameBuilders.h"
#include "LogPackets.h"
#include "MessageTexts.h"
#include "StoreDoubles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

namespace {

// What a user sees of the store: the capture, the page and its rows.
struct StoreState {
    std::vector<CAN_Packet> arrival;
    std::size_t displaySize = 0;
    std::int32_t pageStart = 0;
    std::int32_t pageEnd = 0;
    std::int32_t pageCount = 0;
    std::uint32_t frameCount = 0;
    std::vector<std::uint32_t> rows;
};

struct Harness {
    Harness()
    {
        doc.setRowFactory(&rows);
        doc.setMainFrame(&mainFrame);
        doc.SetControlBar(&bar);
        doc.OnNewDocument();
        view.setDocument(&doc);
        view.resize(1000, 800);
    }

    // Live frames, shown as they arrive.
    void capture(std::uint32_t count)
    {
        for (std::uint32_t n = 0; n < count; ++n) {
            const auto byte = static_cast<std::uint8_t>(n);
            view.OnNewFrame(frameOf(n % 2 ? 0x04 : 0x14, 0x100 + n % 3, 1, {byte}),
                            DisplayHint::ShowNow);
        }
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QString writeFile(const QString &name, const std::string &bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path(name)));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path(name);
    }

    QByteArray readFile(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    StoreState state() const
    {
        return {doc.arrivalList(), doc.displaySize(), doc.pageStart(),    doc.pageEnd(),
                doc.pageCount(),   doc.frameCount(),  rows.shownNumbers()};
    }

    QTemporaryDir dir;
    RecordingRowFactory rows;
    RecordingMainFrame mainFrame;
    RecordingControlBar bar;
    CVEXODoc doc;
    CVEXOView view;
    RecordingMessageReporter messages;
    LogFileCommands commands{doc, view, messages};
};

void compareState(const StoreState &actual, const StoreState &expected)
{
    QCOMPARE(firstDifference(actual.arrival, expected.arrival), QString());
    QCOMPARE(actual.displaySize, expected.displaySize);
    QCOMPARE(actual.pageStart, expected.pageStart);
    QCOMPARE(actual.pageEnd, expected.pageEnd);
    QCOMPARE(actual.pageCount, expected.pageCount);
    QCOMPARE(actual.frameCount, expected.frameCount);
    QCOMPARE(actual.rows, expected.rows);
}

} // namespace

class TestLogFileCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatByExtension_data();
    void formatByExtension();
    void openShowsLastPage_data();
    void openShowsLastPage();
    void liveFramesAfterOpen();
    void failedOpenKeepsCapture_data();
    void failedOpenKeepsCapture();
    void truncatedBinaryLogKeepsCapture();
    void skippedLinesAreTold();
    void packetErrorKeepsPreviousFile();
    void uncreatableFileIsReported();
    void dialogs();
    void dialogsStartInTheLastFolder();
    void menuCommands();
};

void TestLogFileCommands::formatByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start"); // of the file written

    const QByteArray binary("\xCC\x03\x00\x00\x00");
    const QByteArray text("0,20,0x0100,1,00,");
    const QByteArray candump("(0000000000.000000) can0 100#00 T\n");
    const QByteArray asc("date ");
    QTest::newRow("dcu") << "List.dcu" << binary;
    QTest::newRow("DCU in capitals") << "List.DCU" << text;
    QTest::newRow("Dcu mixed") << "List.Dcu" << text;
    QTest::newRow("txt") << "List.txt" << text;
    QTest::newRow("no extension") << "List" << text;
    QTest::newRow("dcu before the last dot") << "List.dcu.txt" << text;
    QTest::newRow("dcu after the last dot") << "List.txt.dcu" << binary;
    QTest::newRow("dcu only in the folder name") << "folder.dcu/List" << text;
    QTest::newRow("hidden file named .dcu") << ".dcu" << binary;
    QTest::newRow("log") << "List.log" << candump;
    QTest::newRow("LOG in capitals") << "List.LOG" << candump;
    QTest::newRow("asc") << "List.asc" << asc;
    QTest::newRow("Asc mixed") << "List.Asc" << asc;
    QTest::newRow("log before the last dot") << "List.log.txt" << text;
}

void TestLogFileCommands::formatByExtension()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, start);

    Harness h;
    QVERIFY(QDir(h.dir.path()).mkpath(QStringLiteral("folder.dcu")));
    h.capture(3);
    const StoreState saved = h.state();

    QVERIFY(h.commands.SaveLogFile(h.path(name)));
    const QByteArray bytes = h.readFile(name);
    QCOMPARE(bytes.left(start.size()), start);

    h.doc.Clear();
    QVERIFY(h.commands.OpenLogFile(h.path(name)));
    QCOMPARE(firstDifference(h.doc.arrivalList(), saved.arrival), QString());
    QVERIFY(h.messages.messages.empty());
}

void TestLogFileCommands::openShowsLastPage_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pageStart");
    QTest::addColumn<bool>("previousEnabled");

    QTest::addColumn<int>("progress");

    QTest::newRow("30 frames, binary") << 30 << "log.dcu" << 5 << true << 1;
    QTest::newRow("30 frames, text") << 30 << "log.txt" << 5 << true << 1;
    QTest::newRow("10 frames") << 10 << "log.dcu" << 0 << false << 0;
    QTest::newRow("25 frames") << 25 << "log.txt" << 0 << false << 1;
    QTest::newRow("empty binary log") << 0 << "log.dcu" << 0 << false << 0;
    QTest::newRow("empty text log") << 0 << "log.txt" << 0 << false << 0;
    QTest::newRow("more than a live capture holds") << 50010 << "log.dcu" << 49985 << true << 2500;
}

void TestLogFileCommands::openShowsLastPage()
{
    QFETCH(int, frames);
    QFETCH(QString, name);
    QFETCH(int, pageStart);
    QFETCH(bool, previousEnabled);
    QFETCH(int, progress);

    Harness h;
    // A few identifiers, so that the identifier list has entries seen again.
    std::vector<CAN_Packet> log = randomCapture(static_cast<std::uint32_t>(frames), 3);
    for (CAN_Packet &p : log)
        p.id %= 7;
    {
        // Write the file with a store of its own.
        Harness writer;
        writer.doc.ReplaceCapture(log);
        QVERIFY(writer.commands.SaveLogFile(h.path(name)));
    }
    h.capture(40);
    h.doc.SetDisplayMode(CVEXODoc::IndexList);
    h.view.GoToPage(1);
    h.view.SetScrollMode(4);

    QVERIFY(h.commands.OpenLogFile(h.path(name)));
    QVERIFY(h.messages.messages.empty());
    QCOMPARE(firstDifference(h.doc.arrivalList(), log), QString());
    QCOMPARE(h.doc.displaySize(), std::size_t(frames));
    QCOMPARE(h.doc.frameCount(), std::uint32_t(frames));
    QCOMPARE(h.doc.pageStart(), pageStart);
    QCOMPARE(h.doc.pageEnd(), frames);
    QCOMPARE(h.rows.shownNumbers(),
             frames == 0 ? std::vector<std::uint32_t>{}
                         : numberRange(std::uint32_t(pageStart), std::uint32_t(frames - 1)));
    QCOMPARE(h.view.previousFramesButton()->isEnabled(), previousEnabled);
    QVERIFY(!h.view.nextFramesButton()->isEnabled());
    QCOMPARE(h.view.scrollExtent(), QSize(900, 1300));

    // The log is a capture of its own: its counters, its identifiers (the
    // latest frame of each, in order of first appearance) and its fill level.
    const auto tx = std::count_if(log.begin(), log.end(), [](auto &p) { return p.type & 0x10; });
    QCOMPARE(h.bar.txText, std::to_string(tx));
    QCOMPARE(h.bar.rxText, std::to_string(frames - tx));
    QCOMPARE(h.mainFrame.progress, progress);
    std::vector<std::uint32_t> latest;
    for (const CAN_Packet &p : log) {
        const auto seen = std::find_if(latest.begin(), latest.end(),
                                       [&](std::uint32_t n) { return log[n].id == p.id; });
        if (seen == latest.end())
            latest.push_back(p.number);
        else
            *seen = p.number;
    }
    QCOMPARE(h.doc.identifierCount(), latest.size());
    for (std::size_t i = 0; i < latest.size(); ++i)
        QCOMPARE(h.doc.identifierEntry(i).number, latest[i]);
}

void TestLogFileCommands::liveFramesAfterOpen()
{
    Harness h;
    {
        Harness writer;
        writer.capture(30);
        QVERIFY(writer.commands.SaveLogFile(h.path(QStringLiteral("log.dcu"))));
    }
    QVERIFY(h.commands.OpenLogFile(h.path(QStringLiteral("log.dcu"))));

    // New frames follow the loaded ones: numbered on, shown on the last page,
    // and the identifier list goes on from the log's.
    h.capture(2);
    QCOMPARE(h.doc.frameCount(), 32U);
    QCOMPARE(h.doc.arrivalList().back().number, 31U);
    QCOMPARE(h.doc.pageStart(), 7);
    QCOMPARE(h.doc.pageEnd(), 32);
    QCOMPARE(h.rows.shownNumbers(), numberRange(7, 31));
    QCOMPARE(h.doc.identifierCount(), std::size_t{3});

    // The ID list shows the latest frame of every identifier.
    h.doc.DestroyRows();
    h.doc.SetDisplayMode(CVEXODoc::IdList);
    h.doc.RebuildDisplayList();
    h.doc.BuildRows(&h.view);
    QCOMPARE(h.rows.shownNumbers(), (std::vector<std::uint32_t>{30, 31, 29}));

    // A log opened in ID List mode shows its identifiers.
    QVERIFY(h.commands.OpenLogFile(h.path(QStringLiteral("log.dcu"))));
    QCOMPARE(h.rows.shownNumbers(), (std::vector<std::uint32_t>{27, 28, 29}));
}

void TestLogFileCommands::failedOpenKeepsCapture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written unless empty
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason"); // after the file's name

    const QString cannot = QStringLiteral("Can not open file");
    const QString bad = QStringLiteral("File open error");
    QTest::newRow("missing file") << "missing.dcu" << QByteArray() << cannot << ": not found.";
    QTest::newRow("missing text file") << "missing.txt" << QByteArray() << cannot << ": not found.";
    QTest::newRow("a folder") << "." << QByteArray() << cannot << ": a folder, not a file.";
    QTest::newRow("a device") << "/dev/zero" << QByteArray() << cannot << ": not a regular file.";
    QTest::newRow("wrong magic byte") << "bad.dcu" << QByteArray("\xCD\x01\x00", 3) << cannot
                                      << ": no binary log (its first byte is not CC).";
    QTest::newRow("text log named dcu") << "bad.dcu" << QByteArray("0,4,0x1,0,,1,,t\r\n") << cannot
                                        << ": no binary log (its first byte is not CC).";
    QTest::newRow("count beyond the records")
        << "bad.dcu" << QByteArray("\xCC\x05\x00\x00\x00", 5) << cannot
        << ": truncated at byte 5 (too short for the 5 frames it announces).";
    QTest::newRow("bad text line")
        << "bad.txt" << QByteArray("0,4,0x1,0,,1,,t\r\n1,,0x1,0,,1,,t\r\n") << bad
        << "\nLine 2: its second field (the frame type) is no number.";
    QTest::newRow("frame bit clear") << "bad.txt" << QByteArray("0,3,0x1,1,AA,1,AA,t\r\n") << bad
                                     << "\nLine 1: its frame type 3 names no data or remote frame.";
    QTest::newRow("binary log named txt")
        << "bad.txt" << QByteArray("\xCC\x00\x00\x00\x00", 5) << bad
        << "\nLine 1: its second field (the frame type) is no number.";
    QTest::newRow("bad candump lines")
        << "bad.log"
        << QByteArray("(1.000000) can0 123#11\n(2.000000) can0 1234#11\n\n"
                      "(3.000000) can0 123#1\n")
        << bad
        << "\nLine 2: the identifier is not 3 or 8 hexadecimal digits."
           "\nLine 4: the data is not pairs of hexadecimal digits.";
    QTest::newRow("more bad ASC lines than are listed")
        << "bad.asc" << QByteArray("1 1 1 Rx\n").repeated(7) << bad
        << "\nLine 1: the frame is neither d (data) nor r (remote)."
           "\nLine 2: the frame is neither d (data) nor r (remote)."
           "\nLine 3: the frame is neither d (data) nor r (remote)."
           "\nLine 4: the frame is neither d (data) nor r (remote)."
           "\nLine 5: the frame is neither d (data) nor r (remote)."
           "\nand 2 more bad lines.";
}

void TestLogFileCommands::failedOpenKeepsCapture()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(QString, reason);

    Harness h;
    h.capture(60);
    h.view.GoToPage(2);
    const StoreState before = h.state();
    QCOMPARE(before.pageStart, 25);

    const QString path = name.startsWith('/') ? name
        : content.isEmpty()                   ? h.path(name)
                                              : h.writeFile(name, content.toStdString());
    QVERIFY(!h.commands.OpenLogFile(path));
    QCOMPARE(messageTexts(h.messages), QStringList{message + "\n\n" + path + reason});
    QCOMPARE(h.messages.messages[0].icon, MessageIcon::Error);
    QCOMPARE(QString::fromStdString(h.messages.messages[0].caption), QStringLiteral("Vexo View"));
    compareState(h.state(), before);
    QCOMPARE(h.rows.liveRows().size(), std::size_t{25});
}

void TestLogFileCommands::truncatedBinaryLogKeepsCapture()
{
    Harness h;
    std::string log;
    WriteBinaryLog(randomCapture(3, 5), log);
    h.capture(30);
    const StoreState before = h.state();

    for (std::size_t size = 0; size < log.size(); ++size) {
        const QString path = h.writeFile(QStringLiteral("cut.dcu"), log.substr(0, size));
        if (h.commands.OpenLogFile(path))
            QFAIL(qPrintable(QStringLiteral("a log cut to %1 bytes was opened").arg(size)));
        compareState(h.state(), before);
        const QString expected =
            QStringLiteral("Can not open file\n\n%1: %2")
                .arg(path,
                     size == 0 ? QStringLiteral("empty")
                               : QStringLiteral("truncated at byte %1").arg(size));
        QVERIFY2(messageTexts(h.messages).constLast().startsWith(expected),
                 qPrintable(messageTexts(h.messages).constLast()));
    }
}

void TestLogFileCommands::skippedLinesAreTold()
{
    Harness h;
    const QString path =
        h.writeFile(QStringLiteral("trace.asc"),
                    "base hex  timestamps absolute\n"
                    "   0.5 1  ErrorFrame\n"
                    "   1.0 1  123  Rx d 1 11\n"
                    "   1.5 CANFD   1 Rx        123  1 0 8  8 11 22 33 44 55 66 77 88\n"
                    "   1.5 CANFD   1 Rx        123  1 0 8  8 11 22 33 44 55 66 77 88\n"
                    "// remark\n");
    QVERIFY(h.commands.OpenLogFile(path));
    QCOMPARE(h.doc.frameCount(), 1U);
    QCOMPARE(messageTexts(h.messages),
             QStringList{QStringLiteral("Skipped what the capture cannot hold: 1 error frame, "
                                        "2 CAN FD frames and 1 other line (comments, "
                                        "statistics, events).")});
    QCOMPARE(h.messages.messages[0].icon, MessageIcon::Information);
}

void TestLogFileCommands::packetErrorKeepsPreviousFile()
{
    Harness h;
    const QString path = h.writeFile(QStringLiteral("List.txt"), "previous log\0\r\n");
    std::vector<CAN_Packet> frames = randomCapture(5, 9);
    frames[3].type = 0x1B; // frame bit clear
    h.doc.ReplaceCapture(frames);

    QVERIFY(!h.commands.SaveLogFile(path));
    QCOMPARE(messageTexts(h.messages), QStringList{QStringLiteral("Packet Error")});
    QCOMPARE(h.readFile(QStringLiteral("List.txt")), QByteArray("previous log\0\r\n"));
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("List.txt")});

    // The logs of other tools name the frame they cannot hold.
    h.messages.messages.clear();
    QVERIFY(!h.commands.SaveLogFile(h.path(QStringLiteral("List.log"))));
    QCOMPARE(messageTexts(h.messages),
             QStringList{QStringLiteral("Packet Error\n\nFrame 3 cannot be written to a candump "
                                        "log: its type 27 names no data or remote frame.")});
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("List.txt")});
    h.messages.messages.clear();

    // The same capture saves as a binary log.
    QVERIFY(h.commands.SaveLogFile(h.path(QStringLiteral("List.dcu"))));
    QVERIFY(h.messages.messages.empty());
}

void TestLogFileCommands::uncreatableFileIsReported()
{
    Harness h;
    h.capture(3);
    const StoreState before = h.state();
    const QString path = h.path(QStringLiteral("no such folder/List.dcu"));

    QVERIFY(!h.commands.SaveLogFile(path));
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QVERIFY2(messageTexts(h.messages)[0].startsWith(QStringLiteral("Can not save file ") + path),
             qPrintable(messageTexts(h.messages)[0]));
    QCOMPARE(h.messages.messages[0].icon, MessageIcon::Error);
    compareState(h.state(), before);
}

void TestLogFileCommands::dialogs()
{
    const QString folder = QDir::homePath();
    for (const auto mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
        const bool saving = mode == QFileDialog::AcceptSave;
        const auto dialog = LogFileCommands::createDialog(mode);
        QCOMPARE(dialog->acceptMode(), mode);
        QCOMPARE(
            dialog->nameFilters(),
            (QStringList{QStringLiteral("dcu File (*.dcu)"), QStringLiteral("txt File (*.txt)"),
                         QStringLiteral("candump log (*.log)"), QStringLiteral("ASC (*.asc)"),
                         QStringLiteral("All logs (*.dcu *.txt *.log *.asc)"),
                         QStringLiteral("All files (*)")}));
        QCOMPARE(dialog->selectedNameFilter(),
                 saving ? QStringLiteral("dcu File (*.dcu)")
                        : QStringLiteral("All logs (*.dcu *.txt *.log *.asc)"));
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("dcu"));
        QCOMPARE(dialog->fileMode(), saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        const auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        // Saving proposes the date and time; opening proposes no name.
        if (saving) {
            QVERIFY2(
                QRegularExpression(QStringLiteral("^capture-\\d{4}-\\d{2}-\\d{2}-\\d{6}\\.dcu$"))
                    .match(name->text())
                    .hasMatch(),
                qPrintable(name->text()));
        } else {
            QCOMPARE(name->text(), QString());
        }

        // Choosing a format gives its extension to a name typed without one
        // and, when saving, to the proposed name; "All logs" and "All files"
        // keep the one before; a name of the user's own keeps its extension.
        const QString proposed = QFileInfo(name->text()).completeBaseName();
        for (const auto &[filter, suffix] :
             {std::pair{"txt File (*.txt)", "txt"}, std::pair{"candump log (*.log)", "log"},
              std::pair{"All files (*)", "log"}, std::pair{"ASC (*.asc)", "asc"},
              std::pair{"All logs (*.dcu *.txt *.log *.asc)", "asc"},
              std::pair{"dcu File (*.dcu)", "dcu"}}) {
            dialog->selectNameFilter(QLatin1String(filter));
            emit dialog->filterSelected(QLatin1String(filter));
            QCOMPARE(dialog->defaultSuffix(), QLatin1String(suffix));
            if (saving)
                QCOMPARE(name->text(), proposed + QLatin1Char('.') + QLatin1String(suffix));
        }
        if (saving) {
            dialog->selectFile(QStringLiteral("notes.csv"));
            emit dialog->filterSelected(QStringLiteral("ASC (*.asc)"));
            QCOMPARE(name->text(), QStringLiteral("notes.csv"));
        }
    }
}

// The dialogs start in the folder of the last log chosen, also in a later
// run; at first, and when that folder has gone, in the home folder.
void TestLogFileCommands::dialogsStartInTheLastFolder()
{
    QSettings().clear();
    Harness h;
    QCOMPARE(LogFileCommands::createDialog(QFileDialog::AcceptOpen)->directory().path(),
             QDir::homePath());

    QTemporaryDir other;
    const QString folder = QDir(other.path()).filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    h.capture(3);
    QStringList startedIn;
    h.commands.setDialogRunner([&](QFileDialog &dialog) {
        startedIn << dialog.directory().path();
        return QDir(folder).filePath(QStringLiteral("a.dcu"));
    });
    h.commands.OnSaveLogAs();
    h.commands.OnOpenLog();
    QCOMPARE(startedIn, (QStringList{QDir::homePath(), folder}));
    QSettings().sync();
    QCOMPARE(LogFileCommands::createDialog(QFileDialog::AcceptSave)->directory().path(), folder);

    QVERIFY(QDir(folder).removeRecursively());
    QCOMPARE(LogFileCommands::createDialog(QFileDialog::AcceptSave)->directory().path(),
             QDir::homePath());
}

void TestLogFileCommands::menuCommands()
{
    Harness h;
    h.capture(7);
    const StoreState captured = h.state();
    const QString path = h.path(QStringLiteral("List.dcu"));
    const QString currentFolder = QDir::currentPath();

    QList<QFileDialog::AcceptMode> modes;
    QString chosen;
    h.commands.setDialogRunner([&](QFileDialog &dialog) {
        modes << dialog.acceptMode();
        return chosen;
    });

    // Cancelled: nothing written, nothing read, nothing said.
    h.commands.OnSaveLogAs();
    h.commands.OnOpenLog();
    QVERIFY(!QFile::exists(path));
    compareState(h.state(), captured);

    chosen = path;
    h.commands.OnSaveLogAs();
    QVERIFY(QFile::exists(path));
    h.capture(5);
    h.commands.OnOpenLog();
    compareState(h.state(), captured);

    QCOMPARE(modes,
             (QList<QFileDialog::AcceptMode>{QFileDialog::AcceptSave, QFileDialog::AcceptOpen,
                                             QFileDialog::AcceptSave, QFileDialog::AcceptOpen}));
    QVERIFY(h.messages.messages.empty());
    QCOMPARE(QDir::currentPath(), currentFolder);
}

QTEST_MAIN(TestLogFileCommands)
#include "tst_logfilecommands.moc"
