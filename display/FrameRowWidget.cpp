#include "display/FrameRowWidget.h"

#include "app/MessageReporter.h"
#include "capture/CanFrame.h"
#include "capture/WindowMessages.h"
#include "device/DeviceLibrary.h"
#include "display/FrameListView.h"
#include "display/FrameRequestEvent.h"
#include "display/LabelledSquare.h"
#include "display/VisibleRows.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

using namespace RowLayout;

namespace {

QColor toQColor(const Rgb &c)
{
    return QColor(c.r, c.g, c.b);
}

} // namespace

// --- SquareRow ------------------------------------------------------------

SquareRow::SquareRow(const RowRect &rect, CVEXOView *view, DeviceLibrary *library,
                     MessageReporter *messages)
    : m_view(view), m_library(library), m_messages(messages)
{
    const QPoint topLeft = view->canvasPoint(rect.left, rect.top);
    m_rowRect = QRect(topLeft, QSize(rect.right - rect.left, rect.bottom - rect.top));
    view->visibleRows().add(this);
}

SquareRow::~SquareRow()
{
    destroyWidget();
    if (m_listed)
        m_view->visibleRows().remove(this);
}

void SquareRow::createWidget()
{
    if (m_widget)
        return;
    m_widget = std::make_unique<CListSquare>(*this);
    m_view->visibleRows().widgetCreated();
}

void SquareRow::destroyWidget()
{
    if (!m_widget)
        return;
    m_widget.reset();
    m_view->visibleRows().widgetDestroyed();
}

void SquareRow::PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                           std::uint8_t dlc, std::string_view dataText, std::string_view timeText)
{
    if (!m_content.place(number, type, id, dlc, dataText, timeText))
        reportPacketError();
    refreshWidget();
}

void SquareRow::UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                            std::uint8_t dlc, std::string_view dataText, std::string_view timeText,
                            std::int32_t xOrigin)
{
    // The wide squares move relative to the row's own left edge.
    const int origin = m_view->canvasPoint(xOrigin, 0).x() - m_rowRect.x();
    if (!m_content.update(number, type, id, dlc, dataText, timeText, origin))
        reportPacketError();
    refreshWidget();
}

void SquareRow::refreshWidget()
{
    if (m_widget)
        m_widget->refresh();
}

void SquareRow::reportPacketError()
{
    if (!m_messages)
        return;
    // Shown once the frame has been handled: a message box runs an event loop
    // of its own, in which the page this row belongs to may be rebuilt or
    // cleared.
    MessageReporter *messages = m_messages;
    QMetaObject::invokeMethod(
        m_view, [messages] { messages->showMessage(MessageIcon::Error, "Packet Error"); },
        Qt::QueuedConnection);
}

// --- CListSquare ----------------------------------------------------------

CListSquare::CListSquare(SquareRow &row) : QWidget(row.view()->canvas()), m_row(row)
{
    const QRect rect = row.rowRect();
    setGeometry(rect.x(), rect.y(), std::max(rect.width(), StripWidth), rect.height());
    refresh();
}

CListSquare::~CListSquare() = default;

CSquare *CListSquare::createSquare()
{
    auto *square = new CSquare(this);
    square->show();
    return square;
}

void CListSquare::PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                             std::uint8_t dlc, std::string_view dataText, std::string_view timeText)
{
    m_row.PlaceFrame(number, type, id, dlc, dataText, timeText);
}

void CListSquare::UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                              std::uint8_t dlc, std::string_view dataText,
                              std::string_view timeText, std::int32_t xOrigin)
{
    m_row.UpdateFrame(number, type, id, dlc, dataText, timeText, xOrigin);
}

void CListSquare::refresh()
{
    const SquareRowContent &content = m_row.content();
    const bool first = !m_refreshed;
    m_refreshed = true;
    bool changed = false;
    if (first || content.layoutRevision() != m_layoutRevision) {
        // Squares may have been created, or have traded what they show.
        m_layoutRevision = content.layoutRevision();
        changed |= refreshLayout();
        m_headShown = false;
        changed |= refreshHead();
        changed |= refreshTail();
    } else {
        changed |= refreshHead();
        if (content.tailRevision() != m_tailRevision)
            changed |= refreshTail();
    }
    // A row that has just been created shows once it holds a frame, with all
    // its squares: showing a widget looks up where the mouse is, a round trip
    // to the display server, which costs one per row rather than one per
    // square.
    if (!m_shown && content.isPlaced()) {
        m_shown = true;
        show();
        return;
    }
    // Only the squares that changed are repainted, together with the rest of
    // the window at screen rate.
    if (!changed)
        return;
    for (CSquare *square : m_squares) {
        if (square && square->takeChanged())
            square->update();
    }
}

bool CListSquare::refreshLayout()
{
    const SquareRowContent &content = m_row.content();
    // The squares sit in the row's rectangle shrunk by Inset at the top and
    // the bottom.
    const int top = Inset;
    const int height = m_row.rowRect().height() - 2 * Inset;
    CSquare *&data = m_squares[Data];
    CSquare *&timestamp = m_squares[Timestamp];
    if (data && timestamp && data->x() == content.left(Timestamp)
        && timestamp->x() == content.left(Data)) {
        // DATA and TIMESTAMP trade places: the squares trade what they show
        // instead, which looks the same and costs a repaint rather than two
        // widget moves.
        data->swapContents(*timestamp);
        std::swap(data, timestamp);
    }

    // Labels and their colours change only when the row is placed.
    const bool relabel = !m_labelsShown || content.isLabelled() != m_labelled;
    m_labelsShown = true;
    m_labelled = content.isLabelled();
    bool changed = false;
    for (int i = 0; i < SquareCount; ++i) {
        const auto which = static_cast<Square>(i);
        CSquare *&square = m_squares[which];
        if (!content.exists(which)) {
            delete square;
            square = nullptr;
            continue;
        }
        const bool created = square == nullptr;
        if (created)
            square = createSquare();
        const QRect place(content.left(which), top, content.width(which), height);
        if (square->geometry() != place)
            square->setGeometry(place);
        // A hidden square stays, painting nothing: the view's background shows.
        changed |= square->storeShown(content.isShown(which));
        if (!relabel && !created)
            continue;
        if (which != Direction)
            changed |= square->storeColor(toQColor(content.colour(which)));
        const std::string_view label = content.label(which);
        const QString labelText =
            QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size()));
        if (square->label() != labelText) {
            square->SetLabel(labelText);
            changed = true;
        }
    }
    return changed;
}

bool CListSquare::refreshHead()
{
    const SquareRowContent &content = m_row.content();
    const bool all = !m_headShown;
    const bool number = all || content.number() != m_number;
    const bool type = all || content.headType() != m_type;
    const bool id = all || content.identifier() != m_id
        || ((content.headType() ^ m_type) & FrameType::Extended) != 0;
    m_headShown = true;
    m_number = content.number();
    m_type = content.headType();
    m_id = content.identifier();
    bool changed = false;
    if (number && m_squares[Number])
        changed |= m_squares[Number]->storeText(content.text(Number));
    if (type && m_squares[Direction]) {
        changed |= m_squares[Direction]->storeText(content.text(Direction));
        changed |= m_squares[Direction]->storeColor(toQColor(content.colour(Direction)));
    }
    if (type && m_squares[Format])
        changed |= m_squares[Format]->storeText(content.text(Format));
    if (id && m_squares[Identifier])
        changed |= m_squares[Identifier]->storeText(content.text(Identifier));
    return changed;
}

bool CListSquare::refreshTail()
{
    const SquareRowContent &content = m_row.content();
    m_tailRevision = content.tailRevision();
    bool changed = false;
    if (m_squares[Length])
        changed |= m_squares[Length]->storeText(content.text(Length));
    if (m_squares[Data])
        changed |= m_squares[Data]->storeText(content.dataText());
    if (m_squares[Timestamp])
        changed |= m_squares[Timestamp]->storeText(content.timeText());
    return changed;
}

void CListSquare::paintEvent(QPaintEvent *)
{
    // The row itself is only a white frame around its rectangle.
    const QRect rect = m_row.rowRect();
    QPainter painter(this);
    painter.setPen(Qt::white);
    painter.drawRect(0, 0, rect.width() - 1, rect.height() - 1);
}

void CListSquare::mouseDoubleClickEvent(QMouseEvent *event)
{
    DeviceLibrary *library = m_row.library();
    const std::uint32_t number = frameNumber();
    CVEXOView *view = m_row.view();
    if (library)
        library->DevSetPause(1);
    FrameRequestEvent request(WM_OPEN_FRAME_VIEW, number);
    QCoreApplication::sendEvent(view, &request);
    if (library)
        library->DevSetPause(0);
    event->accept();
}

// --- SquareRowFactory -----------------------------------------------------

std::unique_ptr<FrameRow> SquareRowFactory::createRow(const RowRect &rect, RowParent *parent)
{
    auto *view = dynamic_cast<CVEXOView *>(parent);
    if (!view)
        return nullptr;
    return std::make_unique<SquareRow>(rect, view, m_library, m_messages);
}
