#include "inspect/PacketDialog.h"

#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "display/FrameRequestEvent.h"
#include "inspect/BitStreamPage.h"
#include "inspect/PacketView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>

#include <utility>

namespace {

QPushButton *makeButton(const QString &text, const QRect &place, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setGeometry(place);
    // Enter ends the dialog whichever button has the focus.
    button->setAutoDefault(false);
    return button;
}

} // namespace

CPacketDlg::CPacketDlg(CVEXOView *owner, QWidget *parent, BusBitRateSource bitRate)
    : QDialog(parent), m_owner(owner), m_bitRate(std::move(bitRate))
{
    setWindowTitle(QStringLiteral("Detailed Frame View"));
    setFixedSize(ClientWidth, ClientHeight);

    m_close = makeButton(QStringLiteral("Close"), {8, 6, 54, 36}, this);
    m_previous = makeButton(QStringLiteral("Previous\nFrame"), {69, 6, 75, 36}, this);
    m_next = makeButton(QStringLiteral("Next\nFrame"), {152, 6, 75, 36}, this);

    auto *caption = new QLabel(QStringLiteral("No:"), this);
    caption->setGeometry(222, 15, 30, 18);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_number = new QLabel(this);
    m_number->setGeometry(258, 15, 47, 18);
    m_number->setAlignment(Qt::AlignCenter);

    m_bitStreamButton = makeButton(QStringLiteral("&Bit Stream"), {316, 6, 90, 36}, this);
    m_bitStreamButton->setCheckable(true);
    m_bitStreamButton->setToolTip(
        QStringLiteral("The frame as the bus carries it: stuff bits, CRC, acknowledgement and "
                       "end of frame, with its duration"));

    m_pages = new QStackedWidget(this);
    m_pages->setGeometry(DiagramPlace);
    m_diagramPage = new QWidget;
    m_pages->addWidget(m_diagramPage);
    // At the dialog's width every frame fits; the scroll bars are there for
    // one that would not.
    m_bitStream = new BitStreamPage;
    m_bitStreamPage = new QScrollArea;
    m_bitStreamPage->setFrameShape(QFrame::NoFrame);
    m_bitStreamPage->setWidgetResizable(true);
    m_bitStreamPage->setWidget(m_bitStream);
    m_pages->addWidget(m_bitStreamPage);

    connect(m_close, &QPushButton::clicked, this, [this] { done(Accepted); });
    connect(m_previous, &QPushButton::clicked, this, &CPacketDlg::OnPrevFrame);
    connect(m_next, &QPushButton::clicked, this, &CPacketDlg::OnNextFrame);
    connect(m_bitStreamButton, &QPushButton::toggled, this, &CPacketDlg::showBitStream);

    createDiagram();
}

CPacketDlg::~CPacketDlg()
{
    releaseOwner();
}

void CPacketDlg::createDiagram()
{
    delete m_diagram;
    m_diagram = new CPacketView(m_diagramPage);
    m_diagram->move(0, 0);
    m_diagram->show();
}

void CPacketDlg::SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge)
{
    m_state.SetFrame(frame, number, edge);
    m_number->setText(QString::fromStdString(m_state.numberText()));
    const StepButtonsState buttons = m_state.buttons();
    m_previous->setEnabled(buttons.previous);
    m_next->setEnabled(buttons.next);

    const FrameFieldModel &model = m_state.model();
    m_diagram->SetFieldModel(model.type, model.dlc, model.values, model.bits, model.dataValues,
                             model.dataBits);
    m_diagram->update();

    const BusBitRate rate = m_bitRate ? m_bitRate() : BusBitRate{};
    m_bitStream->setBitRate(rate.bitsPerSecond, rate.connected);
    m_bitStream->setFrame(m_state.frame());
    fitBitStream();
}

// The scroll area would hold the page at the height of its narrowest layout,
// which a frame with many stuff bits makes taller than the page, and scroll
// for nothing. The page needs only the height of its lanes at the width it
// gets; the scroll bar still appears for a page that does not fit.
void CPacketDlg::fitBitStream()
{
    const QSize room = m_pages->size();
    int height = m_bitStream->heightForWidth(room.width());
    if (height > room.height())
        height = m_bitStream->heightForWidth(room.width()
                                             - style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    m_bitStream->setMinimumHeight(height);
}

void CPacketDlg::showBitStream(bool shown)
{
    m_pages->setCurrentWidget(shown ? static_cast<QWidget *>(m_bitStreamPage) : m_diagramPage);
}

QWidget *CPacketDlg::shownPage() const
{
    return m_pages->currentWidget() == m_bitStreamPage ? static_cast<QWidget *>(m_bitStream)
                                                       : m_diagramPage;
}

void CPacketDlg::OnPrevFrame()
{
    step(WM_SHOW_PREV_FRAME);
}

void CPacketDlg::OnNextFrame()
{
    step(WM_SHOW_NEXT_FRAME);
}

// The new diagram shows the frame the owner answers with, before the request
// returns.
void CPacketDlg::step(int message)
{
    createDiagram();
    if (!m_owner)
        return;
    FrameRequestEvent request(message, m_state.currentNumber());
    QCoreApplication::sendEvent(m_owner, &request);
}

void CPacketDlg::closeView()
{
    m_owner = nullptr;
    done(Rejected);
}

void CPacketDlg::done(int result)
{
    releaseOwner();
    QDialog::done(result);
    deleteLater();
}

void CPacketDlg::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        done(Accepted);
        return;
    default:
        QDialog::keyPressEvent(event); // Escape ends it as well
    }
}

// The next double-click on a frame row opens a new dialog.
void CPacketDlg::releaseOwner()
{
    if (m_owner && m_owner->frameView() == this)
        m_owner->frameViewClosed();
    m_owner = nullptr;
}
