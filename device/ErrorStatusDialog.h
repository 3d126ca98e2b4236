#pragma once

#include "capture/CanFrame.h"

#include <QDialog>

class DeviceLibrary;
class QLabel;
class QTreeWidget;

// "Error Status": the adapter's error counters, last error code, error mode
// and error counts. Modeless; it asks the adapter for its state when it is
// made, and the main window refreshes it with Show while it is visible.
// "Close" only hides it; the next request makes a fresh one.
class CErrorViewDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int TypeColumnWidth = 109;
    static constexpr int CountColumnWidth = 80;

    explicit CErrorViewDlg(DeviceLibrary &library, QWidget *parent = nullptr);

    void Show(CAN_ErrorStatus status);

    QLabel *tecValue() const { return m_tec; }
    QLabel *recValue() const { return m_rec; }
    QLabel *lecValue() const { return m_lec; }
    QLabel *errorModeValue() const { return m_errorMode; }
    QTreeWidget *countList() const { return m_counts; }

private:
    QLabel *m_tec = nullptr;
    QLabel *m_rec = nullptr;
    QLabel *m_lec = nullptr;
    QLabel *m_errorMode = nullptr;
    QTreeWidget *m_counts = nullptr;
};
