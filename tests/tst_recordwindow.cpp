// Recording from the main window: past the capture's limit and through
// Clear, ended by Disconnect, a failing disk told to the user, the status
// pane, and the Record dialog's format and rotation.

#include "app/RecordDialog.h"
#include "app/RecordingControl.h"
#include "capture/CanPacket.h"

#include "FrameBuilders.h"
#include "LogPackets.h"
#include "MainWindowHarness.h"
#include "MessageTexts.h"
#include "UserInput.h"

#include <QAction>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

namespace {

struct Harness : RecordingLibraryWindow {
    Harness()
    {
        library.adapters.push_back({"Vexo USB-CAN", "123", "VX1000000"});
        openMainWindow();
    }

    void receive(std::uint32_t first, std::uint32_t count)
    {
        for (std::uint32_t i = first; i < first + count; ++i)
            library.queueFrame(stampedAt(frameOf(0x04, i % 0x800, 1, {std::uint8_t(i)}), i / 1000,
                                         i % 1000 * 1000));
        deliver();
    }

    RecordingControl &recording()
    {
        return *frame->findChild<RecordingControl *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

} // namespace

class TestRecordWindow : public QObject {
    Q_OBJECT

private slots:
    void recordsPastTheCaptureLimitAndThroughClear();
    void failingDiskEndsTheRecordingWithAMessage();
    void dialogFormatFollowsTheFileName_data();
    void dialogFormatFollowsTheFileName();
};

void TestRecordWindow::recordsPastTheCaptureLimitAndThroughClear()
{
    Harness h;
    QTemporaryDir dir;
    const QString path = dir.filePath("window.log");
    // Started before connecting.
    QVERIFY(h.recording().start({path.toStdString(), LogFormat::Candump}));
    QCOMPARE(h.recording().action()->text(), QStringLiteral("Stop Recording"));
    connectTo(*h.frame, 0);
    QVERIFY(h.frame->IsConnected());

    h.receive(0, CVEXODoc::CaptureLimit + 10);
    QCOMPARE(h.doc.frameCount(), CVEXODoc::CaptureLimit);
    h.frame->controlBar()->clearButton()->click();
    h.receive(CVEXODoc::CaptureLimit + 10, 5);
    QCOMPARE(h.doc.frameCount(), 5U);

    h.library.deliveryCounts.lostByInterface = 3;
    h.recording().refresh(true);
    const QString pane = h.recording().pane()->text();
    QVERIFY2(pane.contains("window.log") && pane.contains("lost 3"), qPrintable(pane));

    h.frame->Disconnect();
    QCOMPARE(h.recording().action()->text(), QStringLiteral("Record..."));
    QCOMPARE(h.library.frameTap(), nullptr);
    const auto packets = readLogFile(LogFormat::Candump, path);
    QCOMPARE(packets.size(), std::size_t(CVEXODoc::CaptureLimit + 15));
    for (std::uint32_t i = 0; i < packets.size(); ++i)
        QCOMPARE(packets[i].data[0], std::uint8_t(i));
    QCOMPARE(h.recording().pane()->text(), QStringLiteral("lost 3"));
}

void TestRecordWindow::failingDiskEndsTheRecordingWithAMessage()
{
    Harness h;
    QVERIFY(h.recording().start({"/dev/full", LogFormat::Candump}));
    connectTo(*h.frame, 0);
    h.receive(0, 10);
    QTRY_VERIFY(!h.recording().isRecording());
    QCOMPARE(messageTexts(h.messages).last(),
             QStringLiteral("Recording stopped: /dev/full: No space left on device. The file "
                            "keeps the 0 frames written before."));
    QCOMPARE(h.library.frameTap(), nullptr);

    QVERIFY(!h.recording().start({"/nonexistent-folder/x.log", LogFormat::Candump}));
    QCOMPARE(messageTexts(h.messages).last(),
             QStringLiteral("Cannot record to /nonexistent-folder/x.log: No such file or "
                            "directory"));
}

void TestRecordWindow::dialogFormatFollowsTheFileName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("chosenFormat"); // -1: none chosen after typing
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("format");
    QTest::newRow("candump by name")
        << "/tmp/a.log" << -1 << "/tmp/a.log" << int(LogFormat::Candump);
    QTest::newRow("asc by name") << "/tmp/a.ASC" << -1 << "/tmp/a.ASC" << int(LogFormat::Asc);
    QTest::newRow("format renames") << "/tmp/a.log" << 2 << "/tmp/a.dcu" << int(LogFormat::Binary);
    QTest::newRow("format names a bare file")
        << "/tmp/a" << 1 << "/tmp/a.asc" << int(LogFormat::Asc);
}

void TestRecordWindow::dialogFormatFollowsTheFileName()
{
    QFETCH(QString, typed);
    QFETCH(int, chosenFormat);
    QFETCH(QString, path);
    QFETCH(int, format);
    RecordDialog dialog;
    retype(dialog.pathEdit(), typed);
    if (chosenFormat >= 0)
        choose(dialog.formatBox(), chosenFormat);
    dialog.megabytesBox()->setValue(5);
    dialog.minutesBox()->setValue(2);
    const RecordSettings settings = dialog.settings();
    QCOMPARE(QString::fromStdString(settings.path), path);
    QCOMPARE(int(settings.format), format);
    QCOMPARE(settings.rotateBytes, 5'000'000U);
    QCOMPARE(settings.rotateInterval, std::chrono::seconds(120));
}

QTEST_MAIN(TestRecordWindow)
#include "tst_recordwindow.moc"
