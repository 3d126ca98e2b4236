#pragma once

#include "transmit/FrameRowEditors.h"

#include <QWidget>

#include <memory>

class DeviceLibrary;
class QCheckBox;
class QPushButton;

// The "Response Function" pane of the Exerciser: an input frame and the
// response frame the adapter answers it with, armed or disarmed in the
// adapter by "Apply" only.
class CExerciserChildDlg : public QWidget {
    Q_OBJECT

public:
    CExerciserChildDlg(DeviceLibrary &library, QWidget *parent = nullptr);
    ~CExerciserChildDlg() override;

    // Enables the rows' fields while "Enable" is on, with the identifier limit
    // and data fields each row's kind and DLC allow.
    void UpdatePaneControls();
    void OnApply();

    FrameRowEditors &inputRow() const { return *m_input; }
    FrameRowEditors &responseRow() const { return *m_response; }
    QCheckBox *enableBox() const { return m_enable; }
    QPushButton *applyButton() const { return m_apply; }

private:
    void applyRowState(FrameRowEditors &row, bool enabled);

    DeviceLibrary &m_library;
    std::unique_ptr<FrameRowEditors> m_input;
    std::unique_ptr<FrameRowEditors> m_response;
    QCheckBox *m_enable = nullptr;
    QPushButton *m_apply = nullptr;
};
