#pragma once

#include "display/FrameListController.h"
#include "inspect/BusBitRate.h"
#include "inspect/PacketDialogState.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>

class BitStreamPage;
class CPacketView;
class CVEXOView;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QTableWidget;

// The Detailed Frame View: one frame of the capture as its bit diagram, with
// buttons that step through the frames of the display list, and a toggle to
// the same frame as the bus carries it, bit by bit. Modeless; the main view
// that opened it answers every step. It deletes itself when it ends.
class CPacketDlg : public QDialog, public DetailedFrameView {
    Q_OBJECT

public:
    // The client area, large enough for the diagram below the buttons.
    static constexpr int ClientWidth = 1140;
    static constexpr int ClientHeight = 560;
    static constexpr QRect DiagramPlace{10, 50, 1120, 500};

    // Without a bit-rate source the bit stream is timed as on a disconnected
    // adapter.
    explicit CPacketDlg(CVEXOView *owner, QWidget *parent = nullptr, BusBitRateSource bitRate = {});
    ~CPacketDlg() override;

    // With a database the dialog grows a signal table below the diagram.
    static constexpr int SignalAreaHeight = 230;

    // Decodes every frame shown with the source's database, if it gives one.
    void setSignalDatabase(SignalDatabaseSource source) { m_database = std::move(source); }

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
    QPushButton *bitStreamButton() const { return m_bitStreamButton; }
    BitStreamPage *bitStreamPage() const { return m_bitStream; }
    // The shown frame's message in the database, and its signals.
    QLabel *messageLabel() const { return m_message; }
    QTableWidget *signalTable() const { return m_signals; }
    // The page in front: the diagram's or the bit stream's.
    QWidget *shownPage() const;

public Q_SLOTS:
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createDiagram();
    void step(int message);
    void releaseOwner();

    void showSignals();
    void showBitStream(bool shown);
    void fitBitStream();

    QPointer<CVEXOView> m_owner;
    BusBitRateSource m_bitRate;
    SignalDatabaseSource m_database;
    PacketDialogState m_state;
    QPushButton *m_close = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QLabel *m_number = nullptr;
    QPushButton *m_bitStreamButton = nullptr;
    // The pages shown below the buttons; the diagram page holds the diagram,
    // which is made anew for every frame, and opens first.
    QStackedWidget *m_pages = nullptr;
    QWidget *m_diagramPage = nullptr;
    CPacketView *m_diagram = nullptr;
    QScrollArea *m_bitStreamPage = nullptr;
    BitStreamPage *m_bitStream = nullptr;
    QLabel *m_message = nullptr;
    QTableWidget *m_signals = nullptr;
};
