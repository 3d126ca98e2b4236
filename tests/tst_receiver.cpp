#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/ReceiverWindow.h"
#include "capture/WindowMessages.h"

#include "FrameBuilders.h"
#include "RecordingDeviceLibrary.h"
#include "MessageTexts.h"
#include "StoreDoubles.h"

#include <QCoreApplication>
#include <QTest>

#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The smallest view: stores frames until the capture limit, as the main view does.
class StoringView : public FrameSink {
public:
    explicit StoringView(CVEXODoc &doc) : m_doc(doc) { }
    std::uint8_t OnNewFrame(CAN_Frame frame, int) override
    {
        if (m_doc.frameCount() >= CVEXODoc::CaptureLimit)
            return NewFrameResult::CaptureFull;
        m_doc.AddFrame({}, nullptr, frame, CVEXODoc::StoreOnly);
        return NewFrameResult::Handled;
    }

private:
    CVEXODoc &m_doc;
};

// Records what reaches the view, in order, and can act while a frame is handled.
class SequenceView : public FrameSink {
public:
    std::uint8_t OnNewFrame(CAN_Frame frame, int hint) override
    {
        seen.emplace_back(frame.id, hint);
        if (onFrame)
            onFrame(frame);
        return NewFrameResult::Handled;
    }

    std::vector<std::pair<std::uint32_t, int>> seen;
    std::function<void(const CAN_Frame &)> onFrame;
};

// Counts the events posted to an object.
class EventCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() >= QEvent::User)
            ++count;
        return false;
    }
    int count = 0;
};

CAN_Frame frameWithId(std::uint32_t id)
{
    return frameOf(0x04, id, 0);
}

class Connection : public ConnectionState {
public:
    bool IsConnected() const override { return connected; }
    bool connected = false;
};

struct Harness {
    Harness()
    {
        doc.OnNewDocument();
        receiver.setView(&view);
        receiver.setDocument(&doc);
        receiver.setConnectionState(&connection);
        receiver.setMessageReporter(&messages);
        library.DevSetNotifyWindow(&receiver);
    }

    void fill(std::uint32_t count)
    {
        CAN_Frame frame;
        frame.type = 0x04;
        for (std::uint32_t i = 0; i < count; ++i)
            doc.AddFrame({}, nullptr, frame, CVEXODoc::StoreOnly);
    }

    void deliver()
    {
        library.deliverQueued();
        QCoreApplication::sendPostedEvents(&receiver);
    }

    CVEXODoc doc;
    StoringView view{doc};
    Connection connection;
    RecordingMessageReporter messages;
    RecordingDeviceLibrary library;
    CRxWnd receiver;
};

CAN_Frame timedFrame()
{
    return stampedAt(frameOf(0x04, 0x123, 2, {0xAB, 0xCD}), 75, 123456);
}

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framesReachTheStore();
    void untimedFramesHaveTimeZero();
    void limitMessageOncePerFilling();
    void errorStatusOnlyWhileConnected();
    void noticesShownOnTheUserInterfaceThread();
    void batchesKeepArrivalOrder();
    void discardDropsWhatIsPending_data();
    void discardDropsWhatIsPending();
    void batchTooSoonIsWokenLater();
};

void TestReceiver::framesReachTheStore()
{
    Harness h;
    h.library.queueFrame(timedFrame(), DisplayHint::StoreQuietly, WM_FRAME_NOTIFY);
    CAN_Frame sent = timedFrame();
    sent.type = 0x14;
    h.library.queueFrame(sent, DisplayHint::ShowNow, WM_FRAME_NOTIFY);
    h.deliver();

    QCOMPARE(h.doc.frameCount(), 2U);
    const CAN_Packet first = h.doc.displayEntry(0);
    QCOMPARE(first.id, 0x123U);
    QCOMPARE(first.dataText, std::string("AB CD"));
    QCOMPARE(first.timeText, std::string("01:15  123.456"));
    QCOMPARE(h.doc.txCount(), 1U);
    QCOMPARE(h.doc.rxCount(), 1U);
}

void TestReceiver::untimedFramesHaveTimeZero()
{
    Harness h;
    h.library.queueFrame(timedFrame(), 0, WM_FRAME_NOTIFY_UNTIMED);
    h.deliver();

    const CAN_Packet stored = h.doc.displayEntry(0);
    QCOMPARE(stored.timestamp, std::uint64_t{0});
    QCOMPARE(stored.timeText, std::string("00:00  000.000"));
    QCOMPARE(stored.dataText, std::string("AB CD"));
}

void TestReceiver::noticesShownOnTheUserInterfaceThread()
{
    Harness h;
    // Posted from the library's thread: nothing is shown until the event loop
    // runs, then each notice once, in order, as a warning.
    std::thread([&h] {
        h.receiver.postNotice("first");
        h.receiver.postNotice("second");
    }).join();
    QVERIFY(h.messages.messages.empty());
    h.deliver();
    QCOMPARE(messageTexts(h.messages), (QStringList{"first", "second"}));
    QVERIFY(h.messages.messages[1].icon == MessageIcon::Warning);
    h.deliver();
    QCOMPARE(h.messages.messages.size(), std::size_t{2});
}

void TestReceiver::limitMessageOncePerFilling()
{
    Harness h;
    h.fill(CVEXODoc::CaptureLimit);

    // Frames rejected while the box is open show no second box.
    h.messages.onShow = [&h] {
        h.library.queueFrame(timedFrame());
        h.deliver();
    };
    h.library.queueFrame(timedFrame());
    h.library.queueFrame(timedFrame());
    h.deliver();
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QCOMPARE(h.messages.messages[0].text, std::string("Exceeded 50,000 CAN data/remote frames"));
    QCOMPARE(h.messages.messages[0].caption, std::string("Vexo View"));
    QVERIFY(h.messages.messages[0].icon == MessageIcon::Warning);
    QCOMPARE(h.doc.frameCount(), CVEXODoc::CaptureLimit);
    QCOMPARE(h.doc.rxCount(), CVEXODoc::CaptureLimit);
    h.messages.onShow = nullptr;

    // After a clear and a stored frame, the next filling shows it again.
    h.doc.Clear();
    h.library.queueFrame(timedFrame());
    h.deliver();
    QVERIFY(!h.receiver.limitMessageShown());
    h.fill(CVEXODoc::CaptureLimit - 1);
    h.library.queueFrame(timedFrame());
    h.deliver();
    QCOMPARE(h.messages.messages.size(), std::size_t{2});
}

void TestReceiver::errorStatusOnlyWhileConnected()
{
    Harness h;
    CAN_ErrorStatus status;
    status.tec = 128;
    status.lec = 3;
    status.ackErrors = 5;

    h.library.queueErrorStatus(status);
    h.deliver();
    QCOMPARE(h.doc.errorStatus(), CAN_ErrorStatus{});

    h.connection.connected = true;
    h.library.queueErrorStatus(status);
    h.deliver();
    QCOMPARE(h.doc.errorStatus(), status);
}

void TestReceiver::batchesKeepArrivalOrder()
{
    SequenceView view;
    CVEXODoc doc;
    doc.OnNewDocument();
    Connection connection;
    connection.connected = true;
    RecordingDeviceLibrary library;
    CRxWnd receiver;
    receiver.setView(&view);
    receiver.setDocument(&doc);
    receiver.setConnectionState(&connection);
    library.DevSetNotifyWindow(&receiver);
    EventCounter events;
    receiver.installEventFilter(&events);

    // A thousand frames with an error status among them: one wake-up, and
    // every frame with its hint in the order the library gave them.
    std::vector<std::pair<std::uint32_t, int>> expected;
    CAN_ErrorStatus status;
    status.rec = 3;
    for (std::uint32_t n = 0; n < 1000; ++n) {
        const int hint = n % 3 == 0 ? DisplayHint::ShowNow : DisplayHint::StoreQuietly;
        library.queueFrame(frameWithId(n), hint, n % 2 ? WM_FRAME_NOTIFY : WM_FRAME_NOTIFY_UNTIMED);
        expected.emplace_back(n, hint);
        if (n == 500) {
            library.queueErrorStatus(status);
            view.onFrame = [&](const CAN_Frame &f) {
                // The status arrived after frame 500 and before frame 501.
                if (f.id == 500)
                    QCOMPARE(doc.errorStatus(), CAN_ErrorStatus{});
                if (f.id == 501)
                    QCOMPARE(doc.errorStatus(), status);
            };
        }
    }
    library.deliverQueued();
    QCOMPARE(receiver.pendingCount(), std::size_t{1001});
    QCoreApplication::sendPostedEvents(&receiver);
    QCOMPARE(events.count, 1);
    QCOMPARE(view.seen, expected);
    QCOMPARE(receiver.pendingCount(), std::size_t{0});

    // A frame that arrives while a frame is being handled (a message box's
    // event loop handles the next wake-up) comes after the rest of the batch.
    view.seen.clear();
    view.onFrame = [&](const CAN_Frame &f) {
        if (f.id != 1)
            return;
        library.queueFrame(frameWithId(9));
        library.deliverQueued();
        QCoreApplication::sendPostedEvents(&receiver);
    };
    for (std::uint32_t id : {1, 2, 3})
        library.queueFrame(frameWithId(id));
    library.deliverQueued();
    QCoreApplication::sendPostedEvents(&receiver);
    const std::vector<std::pair<std::uint32_t, int>> nested = {{1, 0}, {2, 0}, {3, 0}, {9, 0}};
    QCOMPARE(view.seen, nested);
}

void TestReceiver::discardDropsWhatIsPending_data()
{
    QTest::addColumn<int>("discardAt"); // -1: before the wake-up is handled
    QTest::addColumn<std::vector<std::uint32_t>>("handled");

    // 0: a call posted after the frames, which runs first and is never dropped.
    QTest::newRow("everything pending") << -1 << std::vector<std::uint32_t>{0};
    QTest::newRow("the rest of a batch") << 2 << std::vector<std::uint32_t>{0, 1, 2};
    QTest::newRow("after the last frame") << 4 << std::vector<std::uint32_t>{0, 1, 2, 3, 4};
}

void TestReceiver::discardDropsWhatIsPending()
{
    QFETCH(int, discardAt);
    QFETCH(std::vector<std::uint32_t>, handled);

    Harness h;
    std::vector<std::uint32_t> seen;
    SequenceView view;
    view.onFrame = [&](const CAN_Frame &f) {
        seen.push_back(f.id);
        if (static_cast<int>(f.id) == discardAt)
            h.receiver.discardPending();
    };
    h.receiver.setView(&view);
    for (std::uint32_t id = 1; id <= 4; ++id)
        h.library.queueFrame(frameWithId(id));
    h.library.deliverQueued();
    h.receiver.postCall([&] { seen.push_back(0); });
    if (discardAt < 0)
        h.receiver.discardPending();
    QCoreApplication::sendPostedEvents(&h.receiver);
    QCOMPARE(seen, handled);

    // What arrives after the discard is handled as usual.
    seen.clear();
    h.library.queueFrame(frameWithId(7));
    h.library.deliverQueued();
    QCoreApplication::sendPostedEvents(&h.receiver);
    QCOMPARE(seen, std::vector<std::uint32_t>{7});
}

void TestReceiver::batchTooSoonIsWokenLater()
{
    Harness h;
    h.receiver.setBatchInterval(std::chrono::milliseconds(50));
    h.library.queueFrame(frameWithId(1));
    h.deliver();
    QCOMPARE(h.doc.frameCount(), 1U);
    // Right after a batch: nobody but the receiver's own timer wakes it for
    // these, and none of them is lost.
    h.library.queueFrame(frameWithId(2));
    h.library.queueFrame(frameWithId(3));
    h.deliver();
    QTRY_COMPARE(h.doc.frameCount(), 3U);
    QCOMPARE(h.doc.displayEntry(2).id, 3U);
}

QTEST_GUILESS_MAIN(TestReceiver)
#include "tst_receiver.moc"
