#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/ReceiverWindow.h"
#include "capture/WindowMessages.h"

#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"

#include <QCoreApplication>
#include <QTest>

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
    CAN_Frame frame;
    frame.type = 0x04;
    frame.id = 0x123;
    frame.dlc = 2;
    frame.data[0] = 0xAB;
    frame.data[1] = 0xCD;
    frame.timestampHigh = 75;
    frame.timestampLow = 123456;
    return frame;
}

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framesReachTheStore();
    void untimedFramesHaveTimeZero();
    void limitMessageOncePerFilling();
    void errorStatusOnlyWhileConnected();
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

QTEST_GUILESS_MAIN(TestReceiver)
#include "tst_receiver.moc"
