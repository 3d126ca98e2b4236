#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "capture/CaptureTime.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "capture/WindowMessages.h"
#include "controls/IconButton.h"
#include "device/ConnectDialog.h"
#include "logfile/LogFileCommands.h"
#include "transmit/ExerciserDialog.h"

#include "app/LinkStatusPoller.h"

#include "MainWindowHarness.h"
#include "NestedEventLoop.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <tuple>

namespace {

// 26 characters of interface path before the instance identifier.
const std::string PathPrefix = "\\\\?\\usb#vid_0483&pid_5740#";

struct Harness : RecordingLibraryWindow {
    Harness(int adapters = 3)
    {
        for (int i = 0; i < adapters; ++i) {
            library.adapters.push_back(
                {"Vexo USB-CAN", std::to_string(123 + i), "VX" + std::to_string(1000000 + i)});
        }
        openMainWindow();
    }

    CBarDlg *bar() const { return frame->controlBar(); }

    // The Function menu's Exerciser command as the user reaches it: the menu
    // is shown first, which decides whether the command is offered.
    QAction *exerciserCommand() const
    {
        QMenu *function = frame->menuBar()->actions().at(1)->menu();
        emit function->aboutToShow();
        return function->actions().at(0);
    }

    CExerciserDlg *openExerciser() const
    {
        exerciserCommand()->trigger();
        return frame->exerciser();
    }

    CConnectDlg *openConnectDialog()
    {
        bar()->connectButton()->click();
        return bar()->connectDialog();
    }

    void pressOk(CConnectDlg *dialog)
    {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    }

    void connect()
    {
        pressOk(openConnectDialog());
        QVERIFY(frame->IsConnected());
    }

    void receive(std::uint32_t count, std::uint8_t type = 0x04)
    {
        CAN_Frame f;
        f.type = type;
        f.id = 0x123;
        f.dlc = 1;
        for (std::uint32_t i = 0; i < count; ++i)
            library.queueFrame(f,
                               i + 1 == count ? DisplayHint::ShowNow : DisplayHint::StoreQuietly);
        deliver();
    }
};

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUpState();
    void adapterList();
    void connecting_data();
    void connecting();
    void connectTwiceKeepsOneDialog();
    void linkIconFollowsActivity();
    void removal_data();
    void removal();
    void arrival();
    void menuAvailability();
    void filterAndSortWhileDisconnected();
    void liveFramesReachTheBar();
    void clearResetsCountersAndPages();
    void displayModeSwitch();
    void closeOrder();
    void exerciserCommand();
    void disconnectWithExerciser_data();
    void disconnectWithExerciser();
    void closeWithExerciser();
    void fileMenu();
    void fieldsShowTheNumbersOfALargeLog();
    void nothingAfterClose();
    void arrivalWhileNoDeviceBoxIsOpen();
    void arrivalWhileInUseBoxIsOpen();
    void removalWhileLimitBoxIsOpen();
    void framesAndArrivalWhileDisconnectedBoxIsOpen();
    void disconnectStoresDeliveredFrames();
};

void TestMainFrame::startUpState()
{
    Harness h;
    QCOMPARE(h.frame->windowTitle(), QStringLiteral("Vexo View"));
    QCOMPARE(h.frame->minimumSize(), QSize(1030, 500));
    QVERIFY(h.bar()->connectButton()->isEnabled());
    QVERIFY(!h.bar()->disconnectButton()->isEnabled());
    QVERIFY(!h.bar()->setupButton()->isEnabled());
    QVERIFY(!h.bar()->previousButton()->isEnabled());
    QVERIFY(!h.bar()->nextButton()->isEnabled());
    QVERIFY(h.bar()->indexListButton()->isChecked());
    QCOMPARE(h.bar()->pageBox()->text(), QStringLiteral("1"));
    QCOMPARE(h.bar()->pageCountText(), QStringLiteral("/1"));
    QCOMPARE(h.bar()->txText(), QStringLiteral("0"));
    QCOMPARE(h.frame->paneText(CMainFrame::ConnectionPane), QStringLiteral("Disconnected"));
    QCOMPARE(h.frame->paneText(CMainFrame::AdapterPane), QStringLiteral("-"));
    QCOMPARE(h.frame->paneText(CMainFrame::BitRatePane), QStringLiteral("-"));
    QCOMPARE(h.frame->progress()->maximum(), 2500);
    QCOMPARE(h.frame->linkStatus(), 0);

    // Start-up order with the library: receiver first, then the interface class.
    const auto calls = h.library.ordinals();
    QCOMPARE(calls.at(0), DevOrdinal::SetNotifyWindow);
    QCOMPARE(calls.at(1), DevOrdinal::GetInterfaceClass);
    QVERIFY(h.library.notifyTarget() == h.frame->receiver());
    QVERIFY(h.library.deviceChangeListener() == h.frame.get());

    // The store writes into the bar once the bar's start-up timer has run.
    QVERIFY(h.doc.controlBar() == nullptr);
    QTRY_VERIFY(h.doc.controlBar() == h.bar());
}

void TestMainFrame::adapterList()
{
    Harness h;
    CConnectDlg *dialog = h.openConnectDialog();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Connection Setting"));
    QComboBox *devices = dialog->deviceList();
    QCOMPARE(devices->count(), 3);
    QCOMPARE(devices->itemText(0), QStringLiteral("Vexo USB-CAN(123): VX1000000"));
    QCOMPARE(devices->itemText(2), QStringLiteral("Vexo USB-CAN(125): VX1000002"));
    QCOMPARE(devices->currentIndex(), 0);
    const auto *serial = h.library.last(DevOrdinal::GetSerial);
    QCOMPARE(serial->args.at(1), 20);
    QCOMPARE(h.library.last(DevOrdinal::GetInstanceId)->args.at(1), 100);
    QCOMPARE(h.library.last(DevOrdinal::GetProductName)->args.at(1), 50);
}

void TestMainFrame::connecting_data()
{
    QTest::addColumn<int>("adapters");
    QTest::addColumn<int>("openStatus");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("dialogVisible");

    QTest::newRow("success") << 3 << 0 << true << "" << false;
    QTest::newRow("in use elsewhere") << 3 << 0x11 << false << "Device already in use" << true;
    QTest::newRow("other failure is silent") << 3 << 1 << false << "" << true;
    QTest::newRow("no adapter") << 0 << 0 << false << "Cannot find device(s)" << false;
}

void TestMainFrame::connecting()
{
    QFETCH(int, adapters);
    QFETCH(int, openStatus);
    QFETCH(bool, connected);
    QFETCH(QString, message);
    QFETCH(bool, dialogVisible);

    Harness h(adapters);
    h.library.statuses[DevOrdinal::Open] = static_cast<DevStatus>(openStatus);
    h.library.bitrateKbps = 500;
    CAN_ErrorStatus errors;
    errors.tec = 9;
    h.doc.SetErrorStatus(errors);

    CConnectDlg *dialog = h.openConnectDialog();
    h.library.clearCalls();
    const std::uint64_t before = wallClockMicroseconds();
    if (adapters > 0) {
        dialog->deviceList()->setCurrentIndex(1);
        h.pressOk(dialog);
    }
    const std::uint64_t after = wallClockMicroseconds();

    QCOMPARE(h.frame->IsConnected(), connected);
    QCOMPARE(dialog->isVisible(), dialogVisible);
    QCOMPARE(h.bar()->connectButton()->isEnabled(), !connected);
    QCOMPARE(h.bar()->disconnectButton()->isEnabled(), connected);
    QCOMPARE(h.bar()->setupButton()->isEnabled(), connected);
    if (message.isEmpty()) {
        QVERIFY(h.messages.messages.empty());
    } else {
        QCOMPARE(h.messages.messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(h.messages.messages[0].text), message);
        QVERIFY(h.messages.messages[0].icon == MessageIcon::Error);
    }

    if (connected) {
        using O = DevOrdinal;
        QCOMPARE(h.library.ordinals(),
                 (std::vector<O>{O::Open, O::GetInstanceId, O::GetSerial, O::ReadConfig,
                                 O::TimingToBitrate, O::Start}));
        QCOMPARE(h.library.last(O::Open)->args.at(0), 1);
        QCOMPARE(h.library.last(O::GetInstanceId)->args.at(1), 50);
        QCOMPARE(h.library.last(O::Start)->args.at(0), 1);
        QCOMPARE(h.frame->instanceId(), std::string("VX1000001"));
        QCOMPARE(h.frame->serialName(), std::string("124"));
        // Connecting sets its own bit and leaves the others alone.
        QCOMPARE(h.frame->linkStatus(), LinkStatus::Connected | LinkStatus::BusError);
        QCOMPARE(h.frame->paneText(CMainFrame::ConnectionPane), QStringLiteral("Connected"));
        QCOMPARE(h.frame->paneText(CMainFrame::AdapterPane),
                 QStringLiteral("Vexo USB-CAN(124): VX1000001"));
        QCOMPARE(h.frame->paneText(CMainFrame::BitRatePane), QStringLiteral("500Kbps"));
        QCOMPARE(h.doc.errorStatus(), CAN_ErrorStatus{});
        // The capture's time stamps count from the wall-clock time of the connect.
        QVERIFY(h.doc.captureStart() && *h.doc.captureStart() >= before
                && *h.doc.captureStart() <= after);
    } else {
        QCOMPARE(h.library.count(DevOrdinal::Start), 0);
        QVERIFY(!h.doc.captureStart());
        QCOMPARE(h.frame->paneText(CMainFrame::ConnectionPane), QStringLiteral("Disconnected"));
        QCOMPARE(h.doc.errorStatus(), errors);
    }
}

void TestMainFrame::connectTwiceKeepsOneDialog()
{
    Harness h;
    CConnectDlg *first = h.openConnectDialog();
    h.library.adapters.pop_back();
    CConnectDlg *second = h.openConnectDialog();
    QCOMPARE(second, first);
    QCOMPARE(second->deviceList()->count(), 2);

    // Closed by Cancel, the next Connect makes a fresh dialog.
    second->reject();
    QVERIFY(!second->isVisible());
    QVERIFY(h.openConnectDialog() != nullptr);
    QVERIFY(h.bar()->connectDialog()->isVisible());
}

void TestMainFrame::linkIconFollowsActivity()
{
    Harness h;
    h.connect();
    QTRY_COMPARE(h.frame->shownLinkValue(), 8);

    // A received frame raises the receive bit; the icon shows the arrow for
    // one poll and then settles back.
    h.frame->SetLinkFlag(LinkStatus::ReceiveActivity, true);
    QTRY_COMPARE(h.frame->shownLinkValue(), 9);
    QTRY_COMPARE(h.frame->shownLinkValue(), 8);
    QCOMPARE(h.frame->linkStatus(), 8);

    // A bus error with receive activity: the red icon with the left arrow.
    h.frame->SetLinkFlag(LinkStatus::BusError | LinkStatus::ReceiveActivity, true);
    QTRY_COMPARE(h.frame->shownLinkValue(), 13);
    QTRY_COMPARE(h.frame->shownLinkValue(), 12);
}

void TestMainFrame::removal_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("removedPath");
    QTest::addColumn<bool>("disconnects");

    const QString prefix = QString::fromStdString(PathPrefix);
    QTest::newRow("the connected adapter")
        << "VX1000000" << prefix + "VX1000000#{a5dcbf10}" << true;
    QTest::newRow("another adapter") << "VX1000000" << prefix + "VX1000001#{a5dcbf10}" << false;
    QTest::newRow("ampersand and case are normalised")
        << "ABC1A2XYZ" << prefix + "abc1&2xyz#{a5dcbf10}" << true;
    QTest::newRow("a lower-case identifier never matches")
        << "abc123xyz" << prefix + "abc123xyz#{a5dcbf10}" << false;
    QTest::newRow("a short path") << "VX1000000" << prefix.left(20) << false;
}

void TestMainFrame::removal()
{
    QFETCH(QString, identifier);
    QFETCH(QString, removedPath);
    QFETCH(bool, disconnects);

    Harness h(1);
    h.library.adapters[0].instanceId = identifier.toStdString();
    h.connect();
    h.library.clearCalls();

    h.library.announceRemoval(removedPath.toStdString());
    QCoreApplication::processEvents();

    QCOMPARE(h.frame->IsConnected(), !disconnects);
    QCOMPARE(h.library.count(DevOrdinal::Close), disconnects ? 1 : 0);
    QCOMPARE(h.messages.messages.size(), std::size_t{disconnects ? 1U : 0U});
    if (disconnects) {
        QCOMPARE(h.messages.messages[0].text, std::string("Device is disconnected"));
        QVERIFY(h.frame->instanceId().empty());
        QCOMPARE(h.frame->paneText(CMainFrame::AdapterPane), QStringLiteral("-"));
    }
}

void TestMainFrame::arrival()
{
    Harness h;
    h.library.announceArrival(PathPrefix + "VX1000000#{a5dcbf10}");
    QCoreApplication::processEvents();
    QVERIFY(h.bar()->connectDialog() != nullptr);
    QVERIFY(h.bar()->connectDialog()->isVisible());
    h.pressOk(h.bar()->connectDialog());
    QVERIFY(h.frame->IsConnected());

    // While connected, a new adapter changes nothing.
    const auto counts = h.library.count(DevOrdinal::GetDeviceCount);
    h.library.announceArrival(PathPrefix + "VX1000001#{a5dcbf10}");
    QCoreApplication::processEvents();
    QCOMPARE(h.library.count(DevOrdinal::GetDeviceCount), counts);
    QVERIFY(!h.bar()->connectDialog() || !h.bar()->connectDialog()->isVisible());
}

void TestMainFrame::menuAvailability()
{
    Harness h;
    QStringList menus;
    for (QAction *menu : h.frame->menuBar()->actions())
        menus << menu->text().remove(u'&');
    QCOMPARE(menus, (QStringList{"File", "Function", "Help"}));

    QMenu *function = h.frame->menuBar()->actions().at(1)->menu();
    QStringList items;
    for (QAction *item : function->actions()) {
        if (!item->isSeparator())
            items << item->text();
    }
    QCOMPARE(items,
             (QStringList{"Exerciser", "Sort", "Filter", "Statistics", "Signals", "Hold Display"}));
}

void TestMainFrame::filterAndSortWhileDisconnected()
{
    Harness h;
    QMenu *function = h.frame->menuBar()->actions().at(1)->menu();
    const auto action = [&](const QString &text) {
        for (QAction *item : function->actions()) {
            if (item->text() == text)
                return item;
        }
        return static_cast<QAction *>(nullptr);
    };
    QAction *sort = action("Sort");
    QAction *filter = action("Filter");
    QCOMPARE(sort->statusTip(), QStringLiteral("Sorting by ..."));

    Q_EMIT function->aboutToShow();
    QVERIFY(sort->isEnabled());
    QVERIFY(filter->isEnabled());

    // Each opens its dialog modally.
    for (const auto &[item, title] : {std::pair{sort, QStringLiteral("Sorting Setup")},
                                      std::pair{filter, QStringLiteral("Filtering setup")}}) {
        QString opened;
        QTimer::singleShot(0, h.frame.get(), [&opened] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal) {
                opened = modal->windowTitle();
                static_cast<QDialog *>(modal)->reject();
            }
        });
        item->trigger();
        QCOMPARE(opened, title);
    }

    h.connect();
    Q_EMIT function->aboutToShow();
    QVERIFY(!sort->isEnabled());
    QVERIFY(!filter->isEnabled());
    h.bar()->disconnectButton()->click();
    Q_EMIT function->aboutToShow();
    QVERIFY(sort->isEnabled());
}

void TestMainFrame::liveFramesReachTheBar()
{
    Harness h;
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    h.connect();
    h.receive(40);
    h.receive(3, 0x14);
    QCOMPARE(h.bar()->rxText(), QStringLiteral("40"));
    QCOMPARE(h.bar()->txText(), QStringLiteral("3"));
    QCOMPARE(h.bar()->pageCountText(), QStringLiteral("/2"));
    QCOMPARE(h.frame->progress()->value(), 43 / 20);
    QVERIFY(h.bar()->previousButton()->isEnabled());
    QVERIFY(!h.bar()->nextButton()->isEnabled());
}

void TestMainFrame::clearResetsCountersAndPages()
{
    Harness h;
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    h.connect();
    h.receive(60);
    h.bar()->clearButton()->click();

    QCOMPARE(h.doc.frameCount(), 0U);
    QCOMPARE(h.bar()->rxText(), QStringLiteral("0"));
    QCOMPARE(h.bar()->txText(), QStringLiteral("0"));
    QCOMPARE(h.bar()->pageCountText(), QStringLiteral("/1"));
    QCOMPARE(h.frame->progress()->value(), 0);
    QVERIFY(!h.bar()->previousButton()->isEnabled());
    QVERIFY(!h.bar()->nextButton()->isEnabled());
    QCOMPARE(h.doc.rowCount(), 0);
}

void TestMainFrame::displayModeSwitch()
{
    Harness h;
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    h.connect();
    CAN_Frame f;
    f.type = 0x04;
    for (std::uint32_t i = 0; i < 30; ++i) {
        f.id = 0x100 + i % 3;
        h.library.queueFrame(f, DisplayHint::ShowNow);
    }
    h.deliver();
    QCOMPARE(h.doc.rowCount(), 25);

    h.bar()->idListButton()->click();
    QCOMPARE(h.doc.displayMode(), CVEXODoc::IdList);
    QCOMPARE(h.doc.displaySize(), std::size_t{3});
    QCOMPARE(h.doc.rowCount(), 3);
    QCOMPARE(h.bar()->pageCountText(), QStringLiteral("/1"));

    h.bar()->indexListButton()->click();
    QCOMPARE(h.doc.displayMode(), CVEXODoc::IndexList);
    QCOMPARE(h.doc.rowCount(), 25);
    QCOMPARE(h.bar()->pageCountText(), QStringLiteral("/2"));
}

void TestMainFrame::closeOrder()
{
    Harness h;
    h.connect();
    h.receive(5);
    h.library.clearCalls();

    QVERIFY(h.frame->close());
    using O = DevOrdinal;
    QCOMPARE(h.library.ordinals(), (std::vector<O>{O::Release, O::Close}));
    QCOMPARE(h.doc.frameCount(), 0U);
    QCOMPARE(h.frame->linkStatus(), 0);

    // Closing while disconnected releases the library and closes nothing.
    Harness idle;
    idle.library.clearCalls();
    QVERIFY(idle.frame->close());
    QCOMPARE(idle.library.ordinals(), (std::vector<O>{O::Release}));
}

void TestMainFrame::exerciserCommand()
{
    Harness h;
    QVERIFY(!h.exerciserCommand()->isEnabled());
    QVERIFY(h.openExerciser() == nullptr);

    h.connect();
    QVERIFY(h.exerciserCommand()->isEnabled());
    CExerciserDlg *first = h.openExerciser();
    QVERIFY(first != nullptr);
    QVERIFY(first->isVisible());
    QVERIFY(first->isWindow());
    QCOMPARE(first->windowTitle(), QStringLiteral("Exerciser"));
    // It does not keep the program alive once the main window is closed.
    QVERIFY(!first->testAttribute(Qt::WA_QuitOnClose));

    // While it is visible the command only brings it forward.
    first->row(1).toggle->click();
    h.library.clearCalls();
    QCOMPARE(h.openExerciser(), first);
    QVERIFY(h.library.calls().empty());

    // Hidden by Close, it comes back as it was, its row still running.
    first->closeButton()->click();
    QVERIFY(!first->isVisible());
    QCOMPARE(h.openExerciser(), first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->row(1).toggle->text(), QStringLiteral("Stop"));
    QVERIFY(h.library.calls().empty());

    // Closed by its close box, its rows stop and say so when it comes back.
    first->close();
    QCOMPARE(h.openExerciser(), first);
    QCOMPARE(first->row(1).toggle->text(), QStringLiteral("Auto"));
    QCOMPARE(h.library.count(DevOrdinal::EnablePeriodic), 4);
}

void TestMainFrame::disconnectWithExerciser_data()
{
    QTest::addColumn<bool>("visible");
    QTest::newRow("visible: rows stopped, window destroyed") << true;
    QTest::newRow("hidden: destroyed with the link") << false;
}

void TestMainFrame::disconnectWithExerciser()
{
    QFETCH(bool, visible);
    Harness h;
    h.connect();
    QPointer<CExerciserDlg> exerciser = h.openExerciser();
    if (!visible)
        exerciser->hide();
    h.library.clearCalls();

    h.bar()->disconnectButton()->click();
    using O = DevOrdinal;
    if (visible) {
        QCOMPARE(h.library.ordinals(),
                 (std::vector<O>{O::Close, O::EnablePeriodic, O::EnablePeriodic, O::EnablePeriodic,
                                 O::EnablePeriodic}));
        for (int r = 0; r < 4; ++r)
            QCOMPARE(h.library.calls()[std::size_t(r + 1)].args, (std::vector<std::int64_t>{r, 0}));
        QVERIFY(h.frame->exerciser() == nullptr);
        QVERIFY(!exerciser->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(exerciser.isNull());
    } else {
        QCOMPARE(h.library.ordinals(), (std::vector<O>{O::Close}));
        QVERIFY(h.frame->exerciser() == nullptr);
    }
    QVERIFY(!h.exerciserCommand()->isEnabled());
}

void TestMainFrame::closeWithExerciser()
{
    Harness h;
    h.connect();
    h.openExerciser();
    h.library.clearCalls();

    QVERIFY(h.frame->close());
    // The rows are stopped by the close and again by the disconnect, which
    // finds the Exerciser visible.
    using O = DevOrdinal;
    const O E = O::EnablePeriodic;
    QCOMPARE(h.library.ordinals(), (std::vector<O>{O::Release, E, E, E, E, O::Close, E, E, E, E}));
    QVERIFY(h.frame->exerciser() == nullptr);
}

void TestMainFrame::fieldsShowTheNumbersOfALargeLog()
{
    // An opened log holds millions of frames on hundreds of thousands of
    // pages: the counters and page fields show their numbers whole, and the
    // page of the last frame can be typed; with a capture's numbers they have
    // their usual widths again.
    Harness h;
    CBarDlg *bar = h.bar();
    const auto field = [bar](const QString &text) -> QWidget * {
        for (auto *label : bar->findChildren<QLabel *>())
            if (label->text() == text)
                return label;
        for (auto *edit : bar->findChildren<QLineEdit *>())
            if (edit->text() == text)
                return edit;
        return nullptr;
    };
    for (const auto &[frames, pages, width] :
         {std::tuple{5787360, 231495, 0}, std::tuple{50000, 2000, 50}}) {
        const QString count = QString::number(frames);
        const QString page = QString::number(pages);
        bar->SetCounters(frames, frames);
        bar->SetPageCountText("/" + page.toStdString());
        bar->SetPageFieldText(page.toStdString());
        QCOMPARE(bar->pageBox()->text(), page);
        for (const QString &text : {count, "/" + page, page}) {
            QWidget *shown = field(text);
            QVERIFY2(shown, qPrintable(text));
            QVERIFY2(shown->width() >= shown->fontMetrics().horizontalAdvance(text) + 8,
                     qPrintable(text));
        }
        if (width > 0)
            QCOMPARE(field(count)->width(), width);
    }
}

void TestMainFrame::fileMenu()
{
    Harness h;
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("List.dcu"));
    int dialogs = 0;
    h.frame->logFiles().setDialogRunner([&](QFileDialog &) {
        ++dialogs;
        return path;
    });

    QMenu *file = h.frame->menuBar()->actions().at(0)->menu();
    QStringList items;
    for (QAction *item : file->actions()) {
        if (!item->isSeparator())
            items << item->text();
    }
    QCOMPARE(items, (QStringList{"Open Log", "Save As", "Open Database...", "Record...", "Exit"}));
    QAction *openLog = file->actions().at(0);
    QAction *saveAs = file->actions().at(1);

    // Disconnected, both are offered; a log opened shows its last page.
    emit file->aboutToShow();
    QVERIFY(openLog->isEnabled());
    QVERIFY(saveAs->isEnabled());
    h.connect();
    h.receive(30);
    saveAs->trigger();
    QCOMPARE(dialogs, 1);
    h.frame->Disconnect();
    h.bar()->clearButton()->click();
    openLog->trigger();
    QCOMPARE(dialogs, 2);
    QCOMPARE(h.doc.frameCount(), 30U);
    QCOMPARE(h.bar()->pageCountText(), QStringLiteral("/2"));
    QCOMPARE(h.frame->progress()->value(), 1);

    // Connected, a log would replace the capture that is growing: Open Log
    // is not offered; saving what has arrived so far is.
    h.connect();
    emit file->aboutToShow();
    QVERIFY(!openLog->isEnabled());
    QVERIFY(saveAs->isEnabled());
    openLog->trigger();
    QCOMPARE(dialogs, 2);
    QVERIFY(h.messages.messages.empty());
}

void TestMainFrame::nothingAfterClose()
{
    Harness h;
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    int closeActions = 0;
    h.frame->setCloseAction([&] { ++closeActions; });
    h.connect();
    h.receive(3);

    // Queued before the close: a row's packet error box, an adapter's
    // arrival and frames the library had posted.
    CAN_Frame bad;
    bad.type = 0x04;
    bad.dlc = 12;
    h.library.queueFrame(bad);
    h.deliver();
    h.library.queueFrame(bad);
    h.library.deliverQueued();
    h.library.announceArrival(PathPrefix + "VX1000001#{a5dcbf10}");
    h.library.clearCalls();

    QVERIFY(h.frame->close());
    QCOMPARE(h.library.ordinals().front(), DevOrdinal::Release);
    QVERIFY(!h.frame->poller()->isRunning());
    QCOMPARE(closeActions, 1);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    QVERIFY(h.messages.messages.empty());
    QVERIFY(!h.bar()->connectDialog() || !h.bar()->connectDialog()->isVisible());
    QCOMPARE(h.library.count(DevOrdinal::GetDeviceCount), 0);
    QCOMPARE(h.doc.frameCount(), 0U);

    // A second close changes nothing.
    QVERIFY(h.frame->close());
    QCOMPARE(closeActions, 1);
    QCOMPARE(h.library.count(DevOrdinal::Release), 1);
}

void TestMainFrame::arrivalWhileNoDeviceBoxIsOpen()
{
    // "Cannot find device(s)" is open when an adapter is plugged in: the
    // arrival opens a fresh dialog inside the box's event loop, and the
    // dialog that showed the box must survive until the box has closed.
    Harness h(0);
    QPointer<CConnectDlg> first;
    h.messages.onShow = [&] {
        h.messages.onShow = nullptr;
        first = h.bar()->connectDialog();
        h.library.adapters.push_back({"Vexo USB-CAN", "7", "VX0000007"});
        h.library.announceArrival(PathPrefix + "VX0000007#{a5dcbf10}");
        runNestedEventLoop();
    };
    h.openConnectDialog();
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QCOMPARE(h.messages.messages[0].text, std::string("Cannot find device(s)"));
    CConnectDlg *fresh = h.bar()->connectDialog();
    QVERIFY(fresh != nullptr);
    QVERIFY(fresh != first);
    QVERIFY(fresh->isVisible());
    QCOMPARE(fresh->deviceList()->count(), 1);
    // The replaced dialog goes once its work is done.
    QVERIFY(first);
    QVERIFY(!first->isVisible());
    QTRY_VERIFY(!first);
    h.pressOk(h.bar()->connectDialog());
    QVERIFY(h.frame->IsConnected());
}

void TestMainFrame::arrivalWhileInUseBoxIsOpen()
{
    Harness h(1);
    h.library.statuses[DevOrdinal::Open] = DevInUse;
    CConnectDlg *dialog = h.openConnectDialog();
    h.messages.onShow = [&] {
        h.messages.onShow = nullptr;
        h.library.adapters.push_back({"Vexo USB-CAN", "8", "VX0000008"});
        h.library.announceArrival(PathPrefix + "VX0000008#{a5dcbf10}");
        runNestedEventLoop();
    };
    h.pressOk(dialog);
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QCOMPARE(h.messages.messages[0].text, std::string("Device already in use"));
    // The open dialog was refreshed, not replaced.
    QCOMPARE(h.bar()->connectDialog(), dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->deviceList()->count(), 2);
    QVERIFY(!h.frame->IsConnected());
}

void TestMainFrame::removalWhileLimitBoxIsOpen()
{
    // The capture is full; while the limit box is open the adapter is
    // unplugged. Frames still queued behind the one that raised the box are
    // dropped with the link, and no box follows the disconnect message.
    Harness h;
    h.connect();
    CAN_Frame f;
    f.type = 0x04;
    for (std::uint32_t i = 0; i < CVEXODoc::CaptureLimit; ++i)
        h.doc.AddFrame({}, nullptr, f, CVEXODoc::StoreOnly);
    h.messages.onShow = [&] {
        h.messages.onShow = nullptr;
        h.library.announceRemoval(PathPrefix + "VX1000000#{a5dcbf10}");
        runNestedEventLoop();
    };
    for (int i = 0; i < 5; ++i)
        h.library.queueFrame(f);
    h.deliver();
    QVERIFY(!h.frame->IsConnected());
    QCOMPARE(h.frame->receiver()->pendingCount(), std::size_t{0});
    std::vector<std::string> texts;
    for (const auto &m : h.messages.messages)
        texts.push_back(m.text);
    QCOMPARE(texts,
             (std::vector<std::string>{"Exceeded 50,000 CAN data/remote frames",
                                       "Device is disconnected"}));
    QCOMPARE(h.doc.frameCount(), CVEXODoc::CaptureLimit);
}

void TestMainFrame::framesAndArrivalWhileDisconnectedBoxIsOpen()
{
    Harness h(2);
    QTRY_VERIFY(h.doc.controlBar() != nullptr);
    h.connect();
    h.receive(2);
    // Frames the adapter posted before it went are stored before the
    // "Device is disconnected" box opens; the other adapter's arrival offers
    // the connection dialog.
    h.messages.onShow = [&] {
        h.messages.onShow = nullptr;
        h.library.announceArrival(PathPrefix + "VX1000001#{a5dcbf10}");
        runNestedEventLoop();
    };
    CAN_Frame f;
    f.type = 0x04;
    for (int i = 0; i < 10; ++i)
        h.library.queueFrame(f);
    h.library.deliverQueued();
    h.library.announceRemoval(PathPrefix + "VX1000000#{a5dcbf10}");
    QCoreApplication::sendPostedEvents(h.frame.get(), QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(h.frame->receiver());
    QCOMPARE(h.doc.frameCount(), 12U);
    QCOMPARE(h.bar()->rxText(), QStringLiteral("12"));
    QVERIFY(h.bar()->connectDialog() && h.bar()->connectDialog()->isVisible());
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
}

void TestMainFrame::disconnectStoresDeliveredFrames()
{
    Harness h;
    h.connect();
    CAN_Frame f;
    f.type = 0x04;
    for (int i = 0; i < 10; ++i)
        h.library.queueFrame(f);
    h.library.deliverQueued();
    // Delivered before the adapter closed: stored by the time Disconnect returns.
    h.bar()->disconnectButton()->click();
    QCOMPARE(h.doc.frameCount(), 10U);
    QCoreApplication::sendPostedEvents(h.frame->receiver());
    QCOMPARE(h.doc.frameCount(), 10U);

    // Connecting again starts clean too: what was posted before is dropped,
    // what comes after the start is stored.
    h.library.queueFrame(f);
    h.library.deliverQueued();
    h.library.clearCalls();
    h.connect();
    h.receive(1);
    QCOMPARE(h.doc.frameCount(), 11U);
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
