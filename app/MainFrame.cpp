#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/ControlBar.h"
#include "app/LinkStatusPoller.h"
#include "app/MessageGate.h"
#include "app/ProgramIcons.h"
#include "app/QtMessageReporter.h"
#include "app/RecordingControl.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "dbc/SignalCommands.h"
#include "dbc/SignalMonitor.h"
#include "device/AdapterList.h"
#include "device/ErrorStatusDialog.h"
#include "device/FrameTap.h"
#include "display/FrameListView.h"
#include "display/FrameRowWidget.h"
#include "inspect/PacketDialogFactory.h"
#include "logfile/LogFileCommands.h"
#include "statistics/BusStatistics.h"
#include "statistics/StatisticsDialog.h"
#include "transmit/ExerciserDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <chrono>

namespace {

// File → Record... and its status pane, made with the menus.
RecordingControl &recordingOf(const CMainFrame &frame)
{
    return *frame.findChild<RecordingControl *>(QString(), Qt::FindDirectChildrenOnly);
}

constexpr QSize CreationIconSize(15, 15);
constexpr QSize LinkIconSize(17, 15);
// The Statistics window, while open, follows the bus five times a second;
// the bus-load pane, which tells of the last second, once a second.
constexpr int StatisticsRefreshMs = 200;
constexpr int BusLoadRefreshMs = 1000;
// The bit rate an opened log is measured at, chosen in the Statistics window.
const QString LogBitrateKey = QStringLiteral("Statistics/LogBitRate");
constexpr std::uint32_t DefaultLogBitrate = 500'000;

std::int64_t wallClockUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CMainFrame::CMainFrame(CVEXODoc &document, DeviceLibrary &library, MessageReporter *messages,
                       QWidget *parent)
    : QMainWindow(parent), m_document(document), m_library(library)
{
    if (messages == nullptr) {
        m_ownMessages = std::make_unique<QtMessageReporter>(this);
        messages = m_ownMessages.get();
    }
    m_gate = std::make_unique<MessageGate>(*messages);
    m_messages = m_gate.get();
    m_statistics = std::make_unique<BusStatistics>();
    m_signalCommands = std::make_unique<SignalCommands>(
        *m_messages, [this] { return m_statistics->now(); }, this);
    {
        const std::uint32_t logRate = QSettings().value(LogBitrateKey, DefaultLogBitrate).toUInt();
        m_statistics->setLogBitrate(logRate != 0 ? logRate : DefaultLogBitrate);
    }

    setWindowTitle(QStringLiteral("Vexo View"));
    setWindowIcon(loadProgramIcon(IconId::MainFrame));
    setMinimumSize(1030, 500);

    m_rows = std::make_unique<SquareRowFactory>(&m_library, m_messages);
    m_document.setRowFactory(m_rows.get());
    m_view = new CVEXOView(this);
    m_view->setMessageReporter(m_messages);
    // The rate the status bar shows for the connected adapter times the
    // Detailed Frame View's bit stream; while disconnected, the rate the
    // Statistics window measures the capture at.
    m_frameViews = std::make_unique<PacketDialogFactory>(m_view, [this] {
        std::int32_t kbps = 0;
        if (!IsConnected())
            return BusBitRate{m_statistics->bitrate(), false, true};
        if (m_library.readBusBitrate(kbps) != DevSuccess || kbps <= 0)
            return BusBitRate{0, true};
        return BusBitRate{static_cast<std::uint32_t>(kbps) * 1000, true};
    });
    m_frameViews->setSignalDatabase([this] { return m_signalCommands->database(); });
    m_view->setFrameViewFactory(m_frameViews.get());
    m_view->setDocument(&m_document);
    setCentralWidget(m_view);
    m_document.setMainFrame(this);
    m_logFiles = std::make_unique<LogFileCommands>(m_document, *m_view, *m_messages, this);
    m_logFiles->setStatistics(m_statistics.get());
    m_logFiles->setSignalMonitor(&m_signalCommands->monitor());

    createMenus();
    createStatusBar();

    m_bar = new CBarDlg(this, &m_document, m_view);
    auto *dock = new QToolBar(QStringLiteral("Control bar"), this);
    dock->setMovable(false);
    dock->setFloatable(false);
    dock->toggleViewAction()->setVisible(false);
    dock->addWidget(m_bar);
    addToolBar(Qt::TopToolBarArea, dock);
    m_view->setPageButtons(m_bar);
    connect(m_bar, &CBarDlg::cleared, this, [this] {
        m_statistics->clear();
        m_signalCommands->monitor().clear();
        refreshStatistics();
    });

    m_receiver = std::make_unique<CRxWnd>();
    m_receiver->setView(m_view);
    m_receiver->setDocument(&m_document);
    m_receiver->setConnectionState(this);
    m_receiver->setMessageReporter(m_messages);
    m_receiver->setStatistics(m_statistics.get());
    m_receiver->setSignalMonitor(&m_signalCommands->monitor());
    m_library.DevSetNotifyWindow(m_receiver.get());

    m_panes[LinkPane]->setPixmap(linkStatusPixmap(linkIconFor(0), CreationIconSize));
    m_panes[LinkPane]->setToolTip(QStringLiteral("Error Detection"));

    // The poller's hand-overs ride with the receiver's batches, so that a busy
    // bus does not wake the user-interface thread for them as well.
    m_poller = std::make_unique<LinkStatusPoller>(
        m_linkStatus,
        [receiver = m_receiver.get()](std::function<void()> call) {
            receiver->postCall(std::move(call));
        },
        [this](std::uint8_t v) { OnLinkStatus(v); });
    m_poller->start();

    m_statisticsTimer = new QTimer(this);
    m_statisticsTimer->setInterval(BusLoadRefreshMs);
    connect(m_statisticsTimer, &QTimer::timeout, this, &CMainFrame::refreshStatistics);
    m_statisticsTimer->start();

    m_library.registerDeviceNotification(m_library.DevGetInterfaceClass(), this);
}

CMainFrame::~CMainFrame()
{
    delete m_exerciser.data();
    // It shows the statistics, which go before the main window's children.
    delete m_statisticsDialog.data();
    m_library.registerDeviceNotification(DeviceInterfaceClass{}, nullptr);
    m_poller->stop();
    m_library.DevSetNotifyWindow(nullptr);
    m_document.setMainFrame(nullptr);
    m_document.SetControlBar(nullptr);
    m_document.setRowFactory(nullptr);
}

void CMainFrame::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    // A log replaces the capture, so it is not opened while frames arrive.
    QAction *openLog = file->addAction(QStringLiteral("Open Log"), this, [this] {
        if (!IsConnected())
            m_logFiles->OnOpenLog();
    });
    file->addAction(QStringLiteral("Save As"), this, [this] { m_logFiles->OnSaveLogAs(); });
    file->addAction(QStringLiteral("Open Database..."), m_signalCommands.get(),
                    &SignalCommands::OnOpenDatabase);
    auto *recording =
        new RecordingControl(dynamic_cast<DeliveryMonitor *>(&m_library), *m_messages, this);
    file->addAction(recording->action());
    connect(file, &QMenu::aboutToShow, this,
            [this, openLog] { openLog->setEnabled(!IsConnected()); });
    file->addSeparator();
    file->addAction(QStringLiteral("Exit"), this, &QWidget::close);

    m_functionMenu = menuBar()->addMenu(QStringLiteral("F&unction"));
    m_exerciserAction = m_functionMenu->addAction(QStringLiteral("Exerciser"));
    connect(m_exerciserAction, &QAction::triggered, this, &CMainFrame::OnExerciser);
    m_functionMenu->addSeparator();
    m_sortAction = m_functionMenu->addAction(QStringLiteral("Sort"));
    m_filterAction = m_functionMenu->addAction(QStringLiteral("Filter"));
    m_sortAction->setStatusTip(QStringLiteral("Sorting by ..."));
    connect(m_sortAction, &QAction::triggered, m_view, &CVEXOView::OnSort);
    connect(m_filterAction, &QAction::triggered, m_view, &CVEXOView::OnFilter);
    m_functionMenu->addSeparator();
    m_statisticsAction = m_functionMenu->addAction(QStringLiteral("Statistics"));
    connect(m_statisticsAction, &QAction::triggered, this, &CMainFrame::OnStatistics);
    m_functionMenu->addAction(QStringLiteral("Signals"), m_signalCommands.get(),
                              &SignalCommands::OnSignals);
    m_holdAction = m_functionMenu->addAction(QStringLiteral("Hold Display"));
    m_holdAction->setCheckable(true);
    // F5 rather than Space, which belongs to the focused button or field.
    m_holdAction->setShortcut(QKeySequence(Qt::Key_F5));
    m_holdAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_holdAction, &QAction::toggled, this, [this](bool held) {
        m_view->setHeld(held);
        m_holdPane->setVisible(held);
    });
    connect(m_functionMenu, &QMenu::aboutToShow, this, [this] {
        m_exerciserAction->setEnabled(IsConnected());
        // Filter and sort replace the display list; no frames may arrive meanwhile.
        m_sortAction->setEnabled(!IsConnected());
        m_filterAction->setEnabled(!IsConnected());
    });

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("About Vexo View"), this, &CMainFrame::OnAbout);
}

void CMainFrame::createStatusBar()
{
    static const int widths[PaneCount] = {100, 200, 50, 100, 50};
    static const char *texts[PaneCount] = {"Disconnected", "-", "-", "-", " "};
    for (int pane = 0; pane < PaneCount; ++pane) {
        m_panes[pane] = new QLabel(QString::fromLatin1(texts[pane]), this);
        m_panes[pane]->setMinimumWidth(widths[pane]);
        m_panes[pane]->setFrameShape(QFrame::StyledPanel);
        m_panes[pane]->setFrameShadow(QFrame::Sunken);
    }
    m_panes[LinkPane]->setAlignment(Qt::AlignCenter);

    m_progress = new QProgressBar(m_panes[ProgressPane]);
    m_progress->setRange(0, ProgressRange);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    auto *progressLayout = new QHBoxLayout(m_panes[ProgressPane]);
    progressLayout->setContentsMargins(1, 1, 1, 1);
    progressLayout->addWidget(m_progress);
    m_panes[ProgressPane]->setText(QString());

    statusBar()->addWidget(m_panes[ConnectionPane]);
    statusBar()->addWidget(m_panes[AdapterPane], 1);
    statusBar()->addWidget(m_panes[BitRatePane]);
    statusBar()->addWidget(m_panes[ProgressPane]);
    statusBar()->addWidget(m_panes[LinkPane]);
    // Beside the bit rate, made after the five panes so that they keep their
    // places among the status bar's children.
    m_busLoadPane = new QLabel(QStringLiteral("-"), statusBar());
    m_busLoadPane->setMinimumWidth(60);
    m_busLoadPane->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_busLoadPane->setFrameShape(QFrame::StyledPanel);
    m_busLoadPane->setFrameShadow(QFrame::Sunken);
    m_busLoadPane->setToolTip(QStringLiteral("Bus load in the last second"));
    statusBar()->insertWidget(BitRatePane + 1, m_busLoadPane);
    // Says why the list stands still while the counters go on.
    m_holdPane = new QLabel(QStringLiteral("Hold"), statusBar());
    m_holdPane->setToolTip(QStringLiteral("The list is held; F5 releases it"));
    m_holdPane->setVisible(false);
    statusBar()->addPermanentWidget(m_holdPane);
    statusBar()->addPermanentWidget(recordingOf(*this).pane());
    statusBar()->installEventFilter(this);
    m_panes[LinkPane]->installEventFilter(this);
}

bool CMainFrame::IsConnected() const
{
    return (linkStatus() & LinkStatus::Connected) != 0;
}

void CMainFrame::SetLinkStatus(std::uint8_t value)
{
    m_linkStatus.store(value, std::memory_order_relaxed);
}

void CMainFrame::SetLinkFlag(std::uint8_t mask, bool on)
{
    if (on)
        m_linkStatus.fetch_or(mask, std::memory_order_relaxed);
    else
        m_linkStatus.fetch_and(static_cast<std::uint8_t>(~mask), std::memory_order_relaxed);
}

void CMainFrame::SetProgressPosition(int position)
{
    if (m_progress->value() != position)
        m_progress->setValue(position);
}

CErrorViewDlg *CMainFrame::errorDialog() const
{
    return m_errorDialog;
}

void CMainFrame::UpdateErrorStatusDialog()
{
    if (m_errorDialog && m_errorDialog->isVisible())
        m_errorDialog->Show(m_document.errorStatus());
}

void CMainFrame::SetPaneText(int pane, const QString &text)
{
    if (pane >= 0 && pane < PaneCount && pane != ProgressPane)
        m_panes[pane]->setText(text);
}

QString CMainFrame::paneText(int pane) const
{
    return pane >= 0 && pane < PaneCount ? m_panes[pane]->text() : QString();
}

void CMainFrame::UpdateLinkControls()
{
    const bool connected = IsConnected();
    m_bar->EnableLinkButtons(connected);
    if (!connected) {
        SetPaneText(ConnectionPane, QStringLiteral("Disconnected"));
        SetPaneText(AdapterPane, QStringLiteral("-"));
        SetPaneText(BitRatePane, QStringLiteral("-"));
        m_busLoadPane->setText(QStringLiteral("-"));
    }
}

void CMainFrame::OnLinkStatus(std::uint8_t value)
{
    m_shownLinkValue = value;
    // A new pixmap makes the status bar lay out and repaint all its panes, so
    // the icon is only replaced when it looks different: on a busy bus the
    // arrows stay the same poll after poll.
    const LinkIconLook look = linkIconFor(value);
    if (m_shownLinkLook != look) {
        m_shownLinkLook = look;
        m_panes[LinkPane]->setPixmap(linkStatusPixmap(look, LinkIconSize));
    }
    SetLinkFlag(LinkStatus::ReceiveActivity | LinkStatus::TransmitActivity, false);
}

bool CMainFrame::ConnectAdapter(int index, const QString &entryText, DevStatus *openStatus)
{
    const DevStatus status = m_library.DevOpen(index);
    if (openStatus != nullptr)
        *openStatus = status;
    m_instanceId = readInstanceId(m_library, index, InstanceIdBufferSize);
    m_serialName = readSerial(m_library, index, SerialBufferSize);
    if (status == DevInUse) {
        m_messages->showMessage(MessageIcon::Error, "Device already in use");
        return false;
    }
    if (status != DevSuccess)
        return false;

    CAN_Timing timing;
    std::uint8_t reserved[ConfigReservedSize] = {};
    std::uint8_t options = 0;
    m_library.DevReadConfig(timing, reserved, options);
    std::int32_t kbps = 0;
    m_library.DevTimingToBitrate(kbps, timing);
    // The pane shows the rate the bus runs at, which differs from the stored
    // one where the interface kept its own; a rate nobody can tell shows as
    // unknown.
    const DevStatus rateStatus = m_library.readBusBitrate(kbps);

    SetLinkFlag(LinkStatus::Connected, true);
    SetPaneText(ConnectionPane, QStringLiteral("Connected"));
    SetPaneText(AdapterPane, entryText);
    SetPaneText(BitRatePane,
                rateStatus == DevSuccess ? QStringLiteral("%1Kbps").arg(kbps)
                                         : QStringLiteral("?"));
    UpdateLinkControls();
    m_document.ResetErrorStatus();
    // Whatever an earlier link left unhandled is not part of this one.
    m_receiver->discardPending();
    m_statistics->setBitrate(
        rateStatus == DevSuccess ? static_cast<std::uint32_t>(std::max(0, kbps)) * 1000U : 0U);
    m_statistics->restartTiming();
    refreshStatistics();
    // Time stamps count from the start of the link; the wall-clock time of
    // it places the capture in time when it is saved.
    m_document.setCaptureStart(wallClockMicroseconds());
    recordingOf(*this).adapterOpened(m_document.captureStart());
    m_library.DevStart(1);
    return true;
}

void CMainFrame::Disconnect()
{
    m_instanceId.clear();
    if (IsConnected()) {
        // Closing stops the adapter; what it delivered until then crossed the
        // bus and is stored, the page then shows it. Nothing arrives later.
        m_library.DevClose();
        m_receiver->drainPending();
        m_view->showLatestFrames();
    }
    // Closed, the adapter has delivered all it held: the recording is whole.
    recordingOf(*this).adapterClosed();
    m_receiver->discardPending();
    SetLinkStatus(0);
    // The closed adapter runs no rows any more: a hidden Exerciser would
    // show them running when the next connect brings it back.
    if (m_exerciser) {
        if (m_exerciser->isVisible())
            m_exerciser->StopPeriodicRows();
        // Later: the Exerciser may be inside one of its own message boxes.
        m_exerciser->hide();
        m_exerciser->deleteLater();
        m_exerciser = nullptr;
    }
    UpdateLinkControls();
}

void CMainFrame::postDeviceArrival(const std::string &)
{
    QMetaObject::invokeMethod(this, &CMainFrame::OnDeviceArrival, Qt::QueuedConnection);
}

void CMainFrame::postDeviceRemoval(const std::string &devicePath)
{
    QMetaObject::invokeMethod(
        this, [this, devicePath] { OnDeviceRemoval(devicePath); }, Qt::QueuedConnection);
}

void CMainFrame::OnDeviceArrival()
{
    // A notice queued before the window closed finds it closed.
    if (m_closed || IsConnected())
        return;
    std::int32_t count = 0;
    m_library.DevGetDeviceCount(count);
    if (count > 0)
        m_bar->OnConnect();
}

void CMainFrame::OnDeviceRemoval(const std::string &devicePath)
{
    if (m_closed || removalKey(devicePath) != m_instanceId)
        return;
    Disconnect();
    m_messages->showMessage(MessageIcon::Error, "Device is disconnected");
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const QPoint global = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        const QPoint inBar = statusBar()->mapFromGlobal(global);
        const QRect linkPane = m_panes[LinkPane]->geometry();
        // A double-click on the pane that the pane leaves to the status bar
        // arrives there a second time: it is handled on the pane only.
        const bool onPane = watched == m_panes[LinkPane];
        const bool onBarBesidePane = watched == statusBar() && !linkPane.contains(inBar);
        if ((onPane || onBarBesidePane) && inBar.x() > linkPane.left())
            OpenErrorStatusDialog();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::OpenErrorStatusDialog()
{
    if (m_errorDialog && m_errorDialog->isVisible())
        return;
    if (m_errorDialog)
        m_errorDialog->deleteLater();
    // Owned by the main window, so that it goes with it.
    m_errorDialog = new CErrorViewDlg(m_library, this);
    m_errorDialog->show();
    m_errorDialog->Show(m_document.errorStatus());
}

CExerciserDlg *CMainFrame::exerciser() const
{
    return m_exerciser;
}

void CMainFrame::OnExerciser()
{
    // A hidden Exerciser comes back as it was left: its rows may still be
    // sending, and only it can stop them.
    if (m_exerciser) {
        m_exerciser->show();
        m_exerciser->raise();
        m_exerciser->activateWindow();
        return;
    }
    // A window of its own beside the main window; message boxes of its own
    // unless a test records them.
    m_exerciser = new CExerciserDlg(m_library, m_ownMessages ? nullptr : m_messages);
    m_exerciser->setAttribute(Qt::WA_QuitOnClose, false);
    m_exerciser->show();
}

StatisticsDialog *CMainFrame::statisticsDialog() const
{
    return m_statisticsDialog;
}

void CMainFrame::OnStatistics()
{
    // One window for the program's lifetime, owned by the main window.
    if (!m_statisticsDialog) {
        m_statisticsDialog = new StatisticsDialog(*m_statistics, this);
        m_statisticsDialog->setCaptureFullCheck(
            [this] { return m_document.frameCount() >= CVEXODoc::CaptureLimit; });
        m_statisticsDialog->setDatabase([this] { return m_signalCommands->database(); });
        connect(m_statisticsDialog, &StatisticsDialog::logBitrateChosen, this,
                [this](std::uint32_t bitsPerSecond) {
                    QSettings().setValue(LogBitrateKey, bitsPerSecond);
                    m_statistics->setLogBitrate(bitsPerSecond);
                    refreshStatistics();
                });
        m_statisticsDialog->setLostCount([this] { return recordingOf(*this).lostFrames(); });
    }
    m_statisticsDialog->show();
    refreshStatistics();
    m_statisticsDialog->raise();
    m_statisticsDialog->activateWindow();
}

void CMainFrame::refreshStatistics()
{
    // While disconnected the figures stand still as they were last seen.
    if (IsConnected()) {
        m_statistics->advanceClock(wallClockUs());
        const auto load = m_statistics->loadPercent();
        m_busLoadPane->setText(load ? QStringLiteral("%1%").arg(*load, 0, 'f', 1)
                                    : QStringLiteral("?"));
    }
    const bool windowShown = m_statisticsDialog && m_statisticsDialog->isVisible();
    if (windowShown)
        m_statisticsDialog->refresh();
    const int interval = windowShown ? StatisticsRefreshMs : BusLoadRefreshMs;
    if (m_statisticsTimer && m_statisticsTimer->interval() != interval)
        m_statisticsTimer->setInterval(interval);
}

void CMainFrame::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    m_gate->close();
    m_library.DevRelease();
    m_receiver->discardPending();
    m_document.Clear();
    if (m_exerciser)
        m_exerciser->StopPeriodicRows();
    Disconnect();
    m_poller->stop();
    m_statisticsTimer->stop();
    if (m_statisticsDialog)
        m_statisticsDialog->close();
    if (m_closeAction)
        m_closeAction();
}
