#pragma once

#include "app/LinkIcon.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/StoreInterfaces.h"
#include "device/DeviceLibrary.h"

#include <QMainWindow>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class BusStatistics;
class CBarDlg;
class CErrorViewDlg;
class CExerciserDlg;
class CRxWnd;
class CVEXODoc;
class CVEXOView;
class LinkStatusPoller;
class LogFileCommands;
class MessageGate;
class MessageReporter;
class PacketDialogFactory;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class SignalCommands;
class SquareRowFactory;
class StatisticsDialog;

// The program's single top-level window: the control bar at the top, the
// frame list in the middle, the status bar with the capture's fill level and
// the link icon at the bottom. It holds the connection state and the link
// status byte, owns the receiver of the library's notifications, and closes
// everything down in order.
class CMainFrame : public QMainWindow,
                   public MainFrameLink,
                   public ConnectionState,
                   public DeviceChangeListener {
    Q_OBJECT

public:
    // Status bar panes.
    enum Pane { ConnectionPane = 0, AdapterPane, BitRatePane, ProgressPane, LinkPane, PaneCount };

    static constexpr int ProgressRange = 2500;

    CMainFrame(CVEXODoc &document, DeviceLibrary &library, MessageReporter *messages = nullptr,
               QWidget *parent = nullptr);
    ~CMainFrame() override;

    bool IsConnected() const override;
    void SetLinkStatus(std::uint8_t value);
    void SetLinkFlag(std::uint8_t mask, bool on) override;
    std::uint8_t linkStatus() const { return m_linkStatus.load(std::memory_order_relaxed); }
    void SetProgressPosition(int position) override;
    void UpdateErrorStatusDialog() override;
    void UpdateLinkControls();
    void SetPaneText(int pane, const QString &text);
    QString paneText(int pane) const;

    // Opens the adapter at index and brings the link up; false when the
    // adapter could not be opened (the user has been told when it is in use).
    // status, when given, receives the library's answer to the open.
    bool ConnectAdapter(int index, const QString &entryText, DevStatus *status = nullptr);
    void Disconnect();

    // Run once the window has closed; the application ends the program there,
    // whatever other windows are still open.
    void setCloseAction(std::function<void()> action) { m_closeAction = std::move(action); }
    bool isClosed() const { return m_closed; }
    LinkStatusPoller *poller() const { return m_poller.get(); }

    // Notices from the device library, on its thread.
    void postDeviceArrival(const std::string &devicePath) override;
    void postDeviceRemoval(const std::string &devicePath) override;

    DeviceLibrary &deviceLibrary() { return m_library; }
    MessageReporter &messageReporter() { return *m_messages; }
    CVEXODoc &document() { return m_document; }
    CVEXOView *view() const { return m_view; }
    CBarDlg *controlBar() const { return m_bar; }
    CExerciserDlg *exerciser() const;
    CRxWnd *receiver() const { return m_receiver.get(); }
    // The File menu's Open Log and Save As; also opens a log given by path.
    LogFileCommands &logFiles() { return *m_logFiles; }
    QProgressBar *progress() const { return m_progress; }
    const std::string &instanceId() const { return m_instanceId; }
    const std::string &serialName() const { return m_serialName; }
    CErrorViewDlg *errorDialog() const;
    // The link status value the icon in the status bar shows.
    std::uint8_t shownLinkValue() const { return m_shownLinkValue; }
    // Who talks on the bus and how full it is: the Function menu's
    // "Statistics" window and the bus load beside the bit rate.
    BusStatistics &statistics() { return *m_statistics; }
    StatisticsDialog *statisticsDialog() const;
    // The database signals are decoded with, and the "Signals" window.
    SignalCommands &signalCommands() { return *m_signalCommands; }
    // Function → "Hold Display" (F5).
    QAction *holdAction() const { return m_holdAction; }
    // Takes the latest figures into the bus load pane and an open
    // Statistics window; a timer does it a few times a second.
    void refreshStatistics();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createStatusBar();
    void OnLinkStatus(std::uint8_t value);
    void OnDeviceArrival();
    void OnDeviceRemoval(const std::string &devicePath);
    void OpenErrorStatusDialog();
    void OnExerciser();
    void OnStatistics();
    void OnAbout();

    CVEXODoc &m_document;
    DeviceLibrary &m_library;
    std::unique_ptr<MessageReporter> m_ownMessages;
    std::unique_ptr<MessageGate> m_gate;
    MessageReporter *m_messages = nullptr;
    bool m_closed = false;
    std::function<void()> m_closeAction;
    std::unique_ptr<BusStatistics> m_statistics;
    std::unique_ptr<SignalCommands> m_signalCommands;

    QLabel *m_panes[PaneCount] = {};
    QLabel *m_busLoadPane = nullptr;
    CBarDlg *m_bar = nullptr;
    CVEXOView *m_view = nullptr;
    std::unique_ptr<SquareRowFactory> m_rows;
    std::unique_ptr<PacketDialogFactory> m_frameViews;
    std::unique_ptr<LogFileCommands> m_logFiles;
    std::unique_ptr<CRxWnd> m_receiver;
    QProgressBar *m_progress = nullptr;
    std::string m_instanceId;
    QPointer<CErrorViewDlg> m_errorDialog;
    QPointer<CExerciserDlg> m_exerciser;
    QPointer<StatisticsDialog> m_statisticsDialog;
    QTimer *m_statisticsTimer = nullptr;
    std::atomic<std::uint8_t> m_linkStatus{0};
    std::uint8_t m_shownLinkValue = 0;
    std::optional<LinkIconLook> m_shownLinkLook;
    std::unique_ptr<LinkStatusPoller> m_poller;
    std::string m_serialName;

    QMenu *m_functionMenu = nullptr;
    QAction *m_exerciserAction = nullptr;
    QAction *m_sortAction = nullptr;
    QAction *m_filterAction = nullptr;
    QAction *m_statisticsAction = nullptr;
    QAction *m_holdAction = nullptr;
    QLabel *m_holdPane = nullptr;
};
