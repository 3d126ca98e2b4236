#include "inspect/PacketDialog.h"

#include "capture/WindowMessages.h"
#include "dbc/SignalDecoder.h"
#include "display/FrameListView.h"
#include "display/FrameRequestEvent.h"
#include "inspect/BitStreamPage.h"
#include "inspect/PacketView.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QTableWidget>

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

    // The signals of the frame's message, below the diagram while a
    // database is loaded.
    m_message = new QLabel(this);
    m_message->setGeometry(10, ClientHeight, ClientWidth - 20, 22);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_signals = new QTableWidget(0, 4, this);
    m_signals->setGeometry(10, ClientHeight + 24, ClientWidth - 20, SignalAreaHeight - 34);
    m_signals->setHorizontalHeaderLabels({QStringLiteral("Signal"), QStringLiteral("Value"),
                                          QStringLiteral("Raw"), QStringLiteral("Description")});
    m_signals->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_signals->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_signals->verticalHeader()->hide();
    m_signals->verticalHeader()->setDefaultSectionSize(m_signals->fontMetrics().height() + 6);
    m_signals->horizontalHeader()->setStretchLastSection(true);
    m_signals->setColumnWidth(0, 260);
    m_signals->setColumnWidth(1, 220);
    m_signals->setColumnWidth(2, 180);
    m_message->hide();
    m_signals->hide();

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
    m_bitStream->setBitRate(rate.bitsPerSecond, rate.connected, rate.measured);
    m_bitStream->setFrame(m_state.frame());
    fitBitStream();
    showSignals();
}

void CPacketDlg::showSignals()
{
    const std::shared_ptr<const DbcDatabase> database = m_database ? m_database() : nullptr;
    const bool shown = database != nullptr;
    setFixedSize(ClientWidth, ClientHeight + (shown ? SignalAreaHeight : 0));
    m_message->setVisible(shown);
    m_signals->setVisible(shown);
    m_signals->setRowCount(0);
    if (!shown)
        return;

    const CAN_Packet &frame = m_state.frame();
    std::vector<DecodedSignal> decoded;
    const DbcMessage *message = (frame.type & 0x04) != 0
        ? decodeFrame(*database, frame.type, frame.id, frame.dlc, frame.data, decoded)
        : nullptr;
    if (!message) {
        m_message->setText(
            QStringLiteral("The database describes no message with this identifier."));
        return;
    }
    QString text = QStringLiteral("Message: %1").arg(QString::fromStdString(message->name));
    if (!message->comment.empty())
        text += QStringLiteral("  (%1)").arg(QString::fromStdString(message->comment).simplified());
    m_message->setText(text);
    for (const DecodedSignal &d : decoded) {
        if (d.state == DecodedSignal::State::NotSelected)
            continue;
        const int row = m_signals->rowCount();
        m_signals->insertRow(row);
        const DbcSignal &signal = *d.signal;
        const QString value = d.present()
            ? QString::fromStdString(formatSignalWithUnit(signal, d.value))
            : QStringLiteral("not in this frame");
        const QString raw =
            d.present() ? QString::fromStdString(formatSignalBits(signal, d.bits)) : QString();
        const QString cells[] = {QString::fromStdString(signal.name), value, raw,
                                 QString::fromStdString(signalDescription(d))};
        for (int column = 0; column < 4; ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (!signal.comment.empty())
                item->setToolTip(QString::fromStdString(signal.comment));
            m_signals->setItem(row, column, item);
        }
    }
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
