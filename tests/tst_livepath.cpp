// The main window on the real device library and its threads, with the
// saturated virtual bus: connecting in either display mode, disconnecting,
// unplugging and closing while frames stream in.

#include "app/ControlBar.h"
#include "app/LinkStatusPoller.h"
#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "controls/IconButton.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"
#include "display/FrameListView.h"

#include "MainWindowHarness.h"
#include "StoreDoubles.h"

#include <QRadioButton>
#include <QTest>

namespace {

constexpr int Saturated = 2; // the third built-in virtual adapter

struct Harness : RealLibraryWindow {
    ~Harness()
    {
        frame.reset();
        library->DevRelease();
    }

    void connect()
    {
        std::int32_t count = 0;
        library->DevGetDeviceCount(count);
        QCOMPARE(count, 3);
        QVERIFY(frame->ConnectAdapter(Saturated, QStringLiteral("saturated")));
    }

    // Waits until the store holds more than the given number of frames.
    void waitForFrames(std::uint32_t moreThan)
    {
        QTRY_VERIFY_WITH_TIMEOUT(doc.frameCount() > moreThan, 20000);
    }

    // Whatever is still queued anywhere is handled; the store must not move.
    void verifyNothingMore()
    {
        const std::uint32_t stored = doc.frameCount();
        const std::uint32_t rx = doc.rxCount();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(doc.frameCount(), stored);
        QCOMPARE(doc.rxCount(), rx);
        QCOMPARE(frame->receiver()->pendingCount(), std::size_t{0});
    }
};

} // namespace

class TestLivePath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void disconnectStopsAtOnce_data();
    void disconnectStopsAtOnce();
    void unplugDuringTraffic();
    void closeDuringTraffic();
    void connectDisconnectCycles();
};

void TestLivePath::disconnectStopsAtOnce_data()
{
    QTest::addColumn<bool>("idList");
    QTest::newRow("Index List") << false;
    QTest::newRow("ID List") << true;
}

void TestLivePath::disconnectStopsAtOnce()
{
    QFETCH(bool, idList);
    RecordingRowFactory rows;
    Harness h;
    h.doc.setRowFactory(&rows);
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    if (idList)
        h.frame->controlBar()->idListButton()->click();
    h.connect();
    h.waitForFrames(3000);
    QCOMPARE(h.frame->controlBar()->rxText(), QString::number(h.doc.rxCount()));
    if (idList) {
        // A quarter of the saturated bus's frames bring a new identifier.
        QVERIFY(h.doc.rowCount() > 200);
        QVERIFY(h.frame->view()->visibleRows().widgetCount() < 100);
    } else {
        QCOMPARE(h.doc.rowCount(), 25);
    }

    h.frame->controlBar()->disconnectButton()->click();
    QVERIFY(!h.frame->IsConnected());
    h.verifyNothingMore();
    QVERIFY(h.messages.messages.empty());
    // What crossed the bus before the click is stored and shown: the last row
    // shows the last frame, every identifier its latest one.
    QCOMPARE(h.frame->controlBar()->rxText(), QString::number(h.doc.rxCount()));
    if (!idList)
        QCOMPARE(rows.shownNumbers().back(), h.doc.frameCount() - 1);
    for (std::size_t i = 0; idList && i < h.doc.identifierCount(); ++i)
        QCOMPARE(h.doc.displayEntry(i).number, h.doc.identifierEntry(i).number);
}

void TestLivePath::unplugDuringTraffic()
{
    Harness h;
    h.connect();
    h.waitForFrames(1000);
    QVERIFY(h.library->setVirtualAdapterPresent(VirtualAdapters::SaturatedId, false));
    QTRY_VERIFY_WITH_TIMEOUT(!h.frame->IsConnected(), 20000);
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QCOMPARE(h.messages.messages[0].text, std::string("Device is disconnected"));
    h.verifyNothingMore();
}

void TestLivePath::closeDuringTraffic()
{
    Harness h;
    int closed = 0;
    h.frame->setCloseAction([&] { ++closed; });
    h.connect();
    h.waitForFrames(1000);

    QVERIFY(h.frame->close());
    QCOMPARE(closed, 1);
    QVERIFY(!h.frame->poller()->isRunning());
    // The library has let the adapter go and reports nothing more.
    QVERIFY(h.library->DevSendFrame(CAN_Frame{}) != 0);
    std::int32_t count = 0;
    h.library->DevGetDeviceCount(count);
    QVERIFY(h.library->DevOpen(Saturated) == 0);
    h.library->DevClose();
    h.verifyNothingMore();
    QVERIFY(h.messages.messages.empty());
}

void TestLivePath::connectDisconnectCycles()
{
    Harness h;
    for (int cycle = 0; cycle < 100; ++cycle) {
        const std::uint32_t before = h.doc.frameCount();
        h.connect();
        h.waitForFrames(before);
        h.frame->Disconnect();
        h.verifyNothingMore();
        if (QTest::currentTestFailed())
            return;
    }
    QVERIFY(h.messages.messages.empty());
}

QTEST_MAIN(TestLivePath)
#include "tst_livepath.moc"
