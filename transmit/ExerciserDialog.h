#pragma once

#include "transmit/FrameRowEditors.h"

#include <QDialog>

#include <array>
#include <memory>

class CExerciserChildDlg;
class DeviceLibrary;
class MessageReporter;
class QCheckBox;
class QLineEdit;
class QPushButton;

// "Exerciser": four transmit rows, each sending its frame once or handing it
// to the adapter for periodic sending, and below them the Response Function
// pane, shown in "Advanced  Mode". Modeless and top-level; Close, Enter and
// Esc only hide it, and only its close box stops the periodic rows.
class CExerciserDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int RowCount = 4;
    static constexpr int Width = 755;
    static constexpr int CollapsedHeight = 250;
    static constexpr int ExpandedHeight = 400;
    static constexpr int PaneTop = 200;
    static constexpr int PaneWidth = 765;
    static constexpr int PaneHeight = 350;

    // messages: where the field and interval checks report; null for message
    // boxes of the dialog's own.
    explicit CExerciserDlg(DeviceLibrary &library, MessageReporter *messages = nullptr,
                           QWidget *parent = nullptr);
    ~CExerciserDlg() override;

    // Locks the frame fields of running rows; unlocks the others with the
    // identifier limit and data fields their kind and DLC allow.
    void UpdateRowControls();
    // Cuts every identifier and data field before its first character that
    // is no upper-case hexadecimal digit, telling the user, and replaces an
    // identifier above its kind's limit.
    void CheckHexFields();
    // DevEnablePeriodic(row, 0) for the four rows.
    void StopPeriodicRows();

    bool isAdvancedMode() const { return m_advancedMode; }

    struct Row {
        std::unique_ptr<FrameRowEditors> frame;
        QPushButton *reset = nullptr;
        QPushButton *send = nullptr;
        QLineEdit *interval = nullptr;
        QPushButton *toggle = nullptr;
    };
    const Row &row(int r) const { return m_rows[static_cast<std::size_t>(r)]; }
    QPushButton *setButton() const { return m_set; }
    QPushButton *closeButton() const { return m_close; }
    QCheckBox *advancedModeBox() const { return m_advancedModeBox; }
    CExerciserChildDlg *responsePane() const { return m_pane; }

public slots:
    // Close and Enter: hides once the intervals pass their check.
    void accept() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildRows();
    void OnSend(int r);
    void OnToggle(int r);
    void OnReset(int r);
    void OnSet();
    void OnAdvancedMode();
    // The interval check of Set and Close; false after telling the user.
    bool readIntervals(std::array<std::int32_t, RowCount> &values);
    void setAdvancedMode(bool expanded);

    DeviceLibrary &m_library;
    std::unique_ptr<MessageReporter> m_ownMessages;
    MessageReporter *m_messages = nullptr;

    std::array<Row, RowCount> m_rows;
    QPushButton *m_set = nullptr;
    QPushButton *m_close = nullptr;
    QCheckBox *m_advancedModeBox = nullptr;
    CExerciserChildDlg *m_pane = nullptr;
    bool m_advancedMode = false;
    bool m_checkingFields = false;
};
