#pragma once

#include "device/SetupController.h"

#include <QDialog>

#include <string>

class DeviceLibrary;
class MessageReporter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// "Vexo Setup": the connected adapter's serial name, bit rate, bit timing and
// options. Modeless; OK writes them to the adapter (they take effect when it
// is next opened), Cancel writes nothing. Closed either way it is only
// hidden, and the control bar makes a fresh one on the next Setup.
class CSetupDlg : public QDialog {
    Q_OBJECT

public:
    // frameSerial: the serial name read when the adapter was connected.
    CSetupDlg(DeviceLibrary &library, MessageReporter &messages, const std::string &frameSerial,
              QWidget *parent = nullptr);

    QLineEdit *serialBox() const { return m_serial; }
    QComboBox *presetBox() const { return m_preset; }
    QLineEdit *samplePointBox() const { return m_samplePoint; }
    QCheckBox *advancedBox() const { return m_advanced; }
    QLabel *rateLabel() const { return m_rateLabel; }
    QLineEdit *btrBox() const { return m_btr; }
    QComboBox *clkDivList() const { return m_clkDiv; }
    QComboBox *sjwList() const { return m_sjw; }
    QComboBox *tseg1List() const { return m_tseg1; }
    QComboBox *tseg2List() const { return m_tseg2; }
    QCheckBox *aborBox() const { return m_abor; }
    QCheckBox *artBox() const { return m_art; }

private:
    // Runs a handler on the controls as the user left them, then shows the
    // result; what the dialog writes into its controls triggers nothing.
    template <typename Handler> void handle(Handler handler);
    void takeUserValues();
    void showControls();
    void OnOK();

    SetupController m_controller;

    QLineEdit *m_serial = nullptr;
    QComboBox *m_preset = nullptr;
    QLineEdit *m_samplePoint = nullptr;
    QCheckBox *m_advanced = nullptr;
    QLabel *m_rateLabel = nullptr;
    QLineEdit *m_btr = nullptr;
    QComboBox *m_clkDiv = nullptr;
    QComboBox *m_sjw = nullptr;
    QComboBox *m_tseg1 = nullptr;
    QComboBox *m_tseg2 = nullptr;
    QCheckBox *m_abor = nullptr;
    QCheckBox *m_art = nullptr;
};
