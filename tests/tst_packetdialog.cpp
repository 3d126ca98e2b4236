#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "display/FrameRequestEvent.h"
#include "display/FrameRowWidget.h"
#include "inspect/BitStreamPage.h"
#include "inspect/PacketDialog.h"
#include "inspect/PacketDialogFactory.h"
#include "inspect/PacketView.h"

#include "FrameBuilders.h"
#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// The main view with real rows and real Detailed Frame Views, holding a
// standard data, an extended data and a standard remote frame.
struct Harness {
    Harness()
    {
        doc.setRowFactory(&rows);
        doc.SetControlBar(&bar);
        doc.OnNewDocument();
        view.setDocument(&doc);
        view.setFrameViewFactory(&factory);
        view.resize(1000, 600);
        view.show();
        view.OnNewFrame(frameOf(0x04, 0x123, 2, {0x0F, 0xA5}), 0);
        view.OnNewFrame(frameOf(0x06, 0x1ABCDE, 3, {1, 2, 3}), 0);
        view.OnNewFrame(frameOf(0x05, 0x7FF, 2), 0);
    }

    CPacketDlg *doubleClickRow(int i)
    {
        auto rows = view.canvas()->findChildren<CListSquare *>(Qt::FindDirectChildrenOnly);
        std::sort(rows.begin(), rows.end(),
                  [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
        QTest::mouseDClick(rows.at(i), Qt::LeftButton, {}, QPoint(5, 20));
        return dialog();
    }

    CPacketDlg *dialog() const { return dynamic_cast<CPacketDlg *>(view.frameView()); }

    SquareRowFactory rows{nullptr, nullptr};
    RecordingControlBar bar;
    CVEXODoc doc;
    CVEXOView view;
    PacketDialogFactory factory{&view};
};

QString shown(const CPacketDlg *dialog)
{
    return dialog->numberLabel()->text() + ' ' + (dialog->previousButton()->isEnabled() ? 'P' : 'p')
        + (dialog->nextButton()->isEnabled() ? 'N' : 'n');
}

bool onPage(const CPacketDlg *dialog, bool bitStream)
{
    const QWidget *page =
        bitStream ? static_cast<QWidget *>(dialog->bitStreamPage()) : dialog->diagram();
    return dialog->bitStreamButton()->isChecked() == bitStream && page->isVisible()
        && dialog->shownPage() == (bitStream ? page : page->parentWidget());
}

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestPacketDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void openAndStep();
    void stepsOnEitherPage_data();
    void stepsOnEitherPage();
    void bitRateReachesTheBitStream_data();
    void bitRateReachesTheBitStream();
    void endings_data();
    void endings();
    void clearInTheMainWindowClosesIt();
    void closesWithItsOwner();
};

void TestPacketDialog::openAndStep()
{
    Harness h;
    QPointer<CPacketDlg> dialog = h.doubleClickRow(1);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Detailed Frame View"));
    QCOMPARE(dialog->closeButton()->text(), QStringLiteral("Close"));
    QCOMPARE(dialog->previousButton()->text(), QStringLiteral("Previous\nFrame"));
    QCOMPARE(dialog->nextButton()->text(), QStringLiteral("Next\nFrame"));
    QCOMPARE(shown(dialog), QStringLiteral("1 PN"));
    QCOMPARE(dialog->diagram()->model().type, 0x06);
    QCOMPARE(dialog->diagram()->model().values[1], std::string("0x001ABCDE"));

    // The whole diagram area lies in the dialog, at (10, 50).
    const QRect place(dialog->diagram()->mapTo(dialog, QPoint(0, 0)), dialog->diagram()->size());
    QCOMPARE(place, QRect(10, 50, 1120, 500));
    QVERIFY(dialog->rect().contains(place));
    QCOMPARE(dialog->grab().toImage().pixelColor(10 + 12, 50 + 72), QColor(255, 255, 200));

    // Another double-click while it is open does nothing.
    QCOMPARE(h.doubleClickRow(0), dialog.data());
    QCOMPARE(shown(dialog), QStringLiteral("1 PN"));
    QCOMPARE(h.view.window()->findChildren<CPacketDlg *>().size(), 1);

    // Every step draws on a new diagram.
    QPointer<CPacketView> before = dialog->diagram();
    dialog->nextButton()->click();
    QVERIFY(!before);
    QCOMPARE(shown(dialog), QStringLiteral("2 Pn"));
    QCOMPARE(dialog->diagram()->model().type, 0x05);
    dialog->previousButton()->click();
    QCOMPARE(shown(dialog), QStringLiteral("1 PN"));
    dialog->previousButton()->click();
    QCOMPARE(shown(dialog), QStringLiteral("0 pN"));
    QCOMPARE(dialog->diagram()->model().dataValues[1], std::string("0xA5"));
}

void TestPacketDialog::stepsOnEitherPage_data()
{
    QTest::addColumn<bool>("bitStream");
    QTest::newRow("on the diagram") << false;
    QTest::newRow("on the bit stream") << true;
}

// The page in front stays through every step, and the bit stream follows them.
void TestPacketDialog::stepsOnEitherPage()
{
    QFETCH(bool, bitStream);
    Harness h;
    QPointer<CPacketDlg> dialog = h.doubleClickRow(1);
    QVERIFY(onPage(dialog, false));
    if (bitStream)
        dialog->bitStreamButton()->click();

    const std::pair<QPushButton *, const char *> steps[] = {
        {dialog->nextButton(), "2 Pn STD REMOTE, ID 0x07FF, DLC 2"},
        {dialog->previousButton(), "1 PN EXT DATA, ID 0x001ABCDE, DLC 3"},
        {dialog->previousButton(), "0 pN STD DATA, ID 0x0123, DLC 2"},
    };
    for (const auto &[button, expected] : steps) {
        button->click();
        QCOMPARE(shown(dialog) + ' '
                     + dialog->bitStreamPage()->captionLines()[0].section(QLatin1Char(':'), 0, 0),
                 QString::fromLatin1(expected));
        QVERIFY(onPage(dialog, bitStream));
    }
    // The diagram's first bit cell, or the bit stream's start-of-frame cell.
    const QImage image = dialog->grab().toImage();
    QCOMPARE(image.pixelColor(10 + 12, 50 + 72) == QColor(255, 255, 200), !bitStream);
    QCOMPARE(image.pixelColor(10 + 47, 50 + 110) == QColor(190, 190, 255), bitStream);
}

void TestPacketDialog::bitRateReachesTheBitStream_data()
{
    QTest::addColumn<bool>("connect");
    QTest::addColumn<int>("busKbps");
    QTest::addColumn<QString>("duration");
    // An extended frame of zeros, DLC 8: 131 bits and 19 stuff bits.
    QTest::newRow("connected at 250 kbit/s")
        << true << 250 << QStringLiteral("600 \u00B5s at 250 kbit/s, the adapter's bit rate.");
    QTest::newRow("the adapter cannot tell")
        << true << -1
        << QStringLiteral("300 \u00B5s at 500 kbit/s, assumed: the adapter reports no bit rate.");
    QTest::newRow("disconnected")
        << false << 250
        << QStringLiteral("300 \u00B5s at 500 kbit/s, assumed while no adapter is connected.");
}

void TestPacketDialog::bitRateReachesTheBitStream()
{
    QFETCH(bool, connect);
    QFETCH(int, busKbps);
    QFETCH(QString, duration);
    CVEXODoc doc;
    doc.OnNewDocument();
    RecordingDeviceLibrary library;
    library.adapters.push_back({"Vexo USB-CAN", "123", "VX1000000"});
    library.busBitrateKbps = busKbps;
    RecordingMessageReporter messages;
    CMainFrame frame(doc, library, &messages);
    frame.show();
    if (connect)
        QVERIFY(frame.ConnectAdapter(0, QStringLiteral("Vexo USB-CAN")));
    frame.view()->OnNewFrame(frameOf(0x06, 0, 8), 0);
    frame.view()->OnNewFrame(frameOf(0x06, 0, 8), 0);
    FrameRequestEvent open(WM_OPEN_FRAME_VIEW, 0);
    QCoreApplication::sendEvent(frame.view(), &open);
    auto *dialog = dynamic_cast<CPacketDlg *>(frame.view()->frameView());
    QVERIFY(dialog);
    dialog->bitStreamButton()->click();
    QCOMPARE(dialog->bitStreamPage()->captionLines()[1], duration);

    // Narrow, the page needs more than its 500 pixels; at its width it fits.
    const BitStreamPage *page = dialog->bitStreamPage();
    QVERIFY(page->heightForWidth(page->minimumSizeHint().width()) > 500);
    QCOMPARE(page->size(), QSize(1120, 500));
    QVERIFY(!dialog->findChild<QScrollArea *>()->verticalScrollBar()->isVisible());

    // Every frame asks again; disconnected, the capture keeps the rate it
    // was connected at, as the Statistics window shows it.
    frame.Disconnect();
    dialog->nextButton()->click();
    QVERIFY(dialog->bitStreamPage()->captionLines()[1].endsWith(
        connect && busKbps > 0 ? QStringLiteral("the capture's rate in Statistics.")
                               : QStringLiteral("assumed while no adapter is connected.")));
}

void TestPacketDialog::endings_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close") << "close button";
    QTest::newRow("close box") << "close box";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Enter while Next Frame has the focus") << "enter on next";
    QTest::newRow("Enter on the bit stream, its button having the focus") << "enter on toggle";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("the control bar's Clear") << "clear";
}

void TestPacketDialog::endings()
{
    QFETCH(QString, how);
    Harness h;
    QPointer<CPacketDlg> dialog = h.doubleClickRow(0);
    QVERIFY(dialog);

    if (how == "close button") {
        dialog->closeButton()->click();
    } else if (how == "close box") {
        dialog->close();
    } else if (how == "enter") {
        QTest::keyClick(dialog, Qt::Key_Return);
    } else if (how == "enter on next") {
        dialog->activateWindow();
        dialog->nextButton()->setFocus();
        QTest::keyClick(dialog->nextButton(), Qt::Key_Return);
    } else if (how == "enter on toggle") {
        dialog->activateWindow();
        dialog->bitStreamButton()->click();
        dialog->bitStreamButton()->setFocus();
        QTest::keyClick(dialog->bitStreamButton(), Qt::Key_Return);
    } else if (how == "escape") {
        QTest::keyClick(dialog, Qt::Key_Escape);
    } else {
        h.view.closeFrameView();
    }
    QVERIFY(!h.view.frameView());
    QVERIFY(!dialog->isVisible());
    deleteClosedWindows();
    QVERIFY(!dialog);

    // The next double-click opens a new dialog, on the diagram.
    CPacketDlg *next = h.doubleClickRow(2);
    QVERIFY(next);
    QCOMPARE(shown(next), QStringLiteral("2 PN"));
    QVERIFY(onPage(next, false));
}

void TestPacketDialog::clearInTheMainWindowClosesIt()
{
    CVEXODoc doc;
    doc.OnNewDocument();
    RecordingDeviceLibrary library;
    RecordingMessageReporter messages;
    CMainFrame frame(doc, library, &messages);
    frame.show();
    frame.view()->OnNewFrame(frameOf(0x04, 0x100, 1, {0x42}), 0);

    FrameRequestEvent open(WM_OPEN_FRAME_VIEW, 0);
    QCoreApplication::sendEvent(frame.view(), &open);
    QPointer<CPacketDlg> dialog = dynamic_cast<CPacketDlg *>(frame.view()->frameView());
    QVERIFY(dialog);
    QCOMPARE(dialog->parentWidget(), &frame);
    QCOMPARE(dialog->numberLabel()->text(), QStringLiteral("0"));

    frame.controlBar()->clearButton()->click();
    QVERIFY(!frame.view()->frameView());
    deleteClosedWindows();
    QVERIFY(!dialog);
}

void TestPacketDialog::closesWithItsOwner()
{
    QWidget window;
    CVEXODoc doc;
    doc.OnNewDocument();
    auto *view = new CVEXOView(&window);
    PacketDialogFactory factory(view);
    view->setFrameViewFactory(&factory);
    view->setDocument(&doc);
    window.show();
    view->OnNewFrame(frameOf(0x04, 0x100, 0), 0);

    FrameRequestEvent open(WM_OPEN_FRAME_VIEW, 0);
    QCoreApplication::sendEvent(view, &open);
    QPointer<CPacketDlg> dialog = dynamic_cast<CPacketDlg *>(view->frameView());
    QVERIFY(dialog);
    QCOMPARE(dialog->parentWidget(), &window);

    delete view;
    QVERIFY(!dialog->isVisible());
    deleteClosedWindows();
    QVERIFY(!dialog);
}

QTEST_MAIN(TestPacketDialog)
#include "tst_packetdialog.moc"
