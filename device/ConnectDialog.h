#pragma once

#include <QDialog>

class CMainFrame;
class QComboBox;

// "Connection Setting": lists the attached adapters and connects to the chosen
// one. Modeless; closed by OK or Cancel it is only hidden, and the control bar
// makes a fresh one on the next Connect.
class CConnectDlg : public QDialog {
    Q_OBJECT

public:
    explicit CConnectDlg(CMainFrame *frame, QWidget *parent = nullptr);

    // Refills the Device list from the library; with no adapter the dialog
    // closes after telling the user.
    void RefreshDeviceList();

    QComboBox *deviceList() const { return m_devices; }

    // Replaced by a fresh dialog: deleted once none of its own work is under
    // way. A message box it shows runs an event loop in which an adapter's
    // arrival may replace it.
    void dispose();

private:
    // Marks the dialog as busy for the lifetime of the guard.
    class Busy;

    void OnOK();

    CMainFrame *m_frame = nullptr;
    QComboBox *m_devices = nullptr;
    int m_busy = 0;
    bool m_disposed = false;
};
