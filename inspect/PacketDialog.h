#pragma once

#include "display/FrameListController.h"
#include "inspect/PacketDialogState.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>

class CPacketView;
class CVEXOView;
class QLabel;
class QPushButton;
class QStackedWidget;

// The Detailed Frame View: one frame of the capture as its bit diagram, with
// buttons that step through the frames of the display list. Modeless; the
// main view that opened it answers every step. It deletes itself when it ends.
class CPacketDlg : public QDialog, public DetailedFrameView {
    Q_OBJECT

public:
    // The client area, large enough for the diagram below the buttons.
    static constexpr int ClientWidth = 1140;
    static constexpr int ClientHeight = 560;
    static constexpr QRect DiagramPlace{10, 50, 1120, 500};

    explicit CPacketDlg(CVEXOView *owner, QWidget *parent = nullptr);
    ~CPacketDlg() override;

    void SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge) override;
    // The owner has already forgotten the dialog (the control bar's Clear).
    void closeView() override;

    void OnPrevFrame();
    void OnNextFrame();

    std::uint32_t currentNumber() const { return m_state.currentNumber(); }
    CPacketView *diagram() const { return m_diagram; }
    QPushButton *closeButton() const { return m_close; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }
    QLabel *numberLabel() const { return m_number; }

public Q_SLOTS:
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createDiagram();
    void step(int message);
    void releaseOwner();

    QPointer<CVEXOView> m_owner;
    PacketDialogState m_state;
    QPushButton *m_close = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QLabel *m_number = nullptr;
    // The pages shown below the buttons; the diagram page holds the diagram,
    // which is made anew for every frame.
    QStackedWidget *m_pages = nullptr;
    QWidget *m_diagramPage = nullptr;
    CPacketView *m_diagram = nullptr;
};
