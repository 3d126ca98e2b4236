#include "display/FrameRowWidget.h"

#include "app/MessageReporter.h"
#include "capture/CanFrame.h"
#include "capture/WindowMessages.h"
#include "device/DeviceLibrary.h"
#include "display/FrameListView.h"
#include "display/FrameRequestEvent.h"
#include "display/LabelledSquare.h"

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

CListSquare::CListSquare(const RowRect &rect, CVEXOView *view, DeviceLibrary *library,
                         MessageReporter *messages)
    : QWidget(view->canvas()), m_view(view), m_library(library), m_messages(messages)
{
    const QPoint topLeft = view->canvasPoint(rect.left, rect.top);
    m_rowRect = QRect(topLeft, QSize(rect.right - rect.left, rect.bottom - rect.top));
    m_innerRect =
        QRect(0, Inset, std::max(m_rowRect.width(), StripWidth), m_rowRect.height() - 2 * Inset);
    setGeometry(m_rowRect.x(), m_rowRect.y(), m_innerRect.width(), m_rowRect.height());
    show();
}

CListSquare::~CListSquare() = default;

CSquare *CListSquare::createSquare(int left, int width, bool shown)
{
    auto *square = new CSquare(this);
    square->setGeometry(m_innerRect.left() + left, m_innerRect.top(), width, m_innerRect.height());
    square->storeShown(shown);
    square->show();
    return square;
}

void CListSquare::createSquares(std::uint8_t type)
{
    for (CSquare *&square : m_squares) {
        delete square;
        square = nullptr;
    }
    m_headShown = false;
    m_arrangedType = type;

    for (const Square which : {Number, Direction, Format, Identifier, Length}) {
        const SquarePlace place = fixedPlace(which);
        m_squares[which] = createSquare(place.left, place.width, true);
    }
    if (const auto wide = wideSlotsFor(type)) {
        m_squares[Data] =
            createSquare(WideSlotLeft[wide->dataSlot], WideSlotWidth, wide->dataShown);
        m_squares[Timestamp] =
            createSquare(WideSlotLeft[wide->timestampSlot], WideSlotWidth, wide->timestampShown);
    }
}

void CListSquare::PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                             std::uint8_t dlc, const std::string &dataText,
                             const std::string &timeText)
{
    createSquares(type);
    m_number = number;
    showHeadValues(number, type, id);
    if (isValidLength(dlc)) {
        showTailValues(number, type, id, dlc, dataText, timeText);
        SetLabels();
    } else {
        // The row keeps its number, direction, FORMAT and ID, without labels.
        reportPacketError();
    }
    update();
}

void CListSquare::UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                              std::uint8_t dlc, const std::string &dataText,
                              const std::string &timeText, std::int32_t xOrigin)
{
    bool changed = false;
    // Compared with the type the wide squares are arranged for, which differs
    // from the last frame's after a frame with a bad DLC.
    if (type != m_arrangedType)
        changed |= rearrangeWideSquares(type, xOrigin);
    m_number = number;
    changed |= showHeadValues(number, type, id);
    if (isValidLength(dlc))
        changed |= showTailValues(number, type, id, dlc, dataText, timeText);
    else
        reportPacketError();
    // All the squares are repainted together, with the rest of the window at
    // screen rate.
    if (changed)
        update();
}

bool CListSquare::rearrangeWideSquares(std::uint8_t type, std::int32_t xOrigin)
{
    const auto wide = wideSlotsFor(type);
    if (!wide || !m_squares[Data] || !m_squares[Timestamp])
        return false;
    const int origin = m_view->canvasPoint(xOrigin, 0).x() - x();
    const int dataLeft = origin + WideSlotLeft[wide->dataSlot];
    const int timestampLeft = origin + WideSlotLeft[wide->timestampSlot];
    CSquare *&data = m_squares[Data];
    CSquare *&timestamp = m_squares[Timestamp];
    bool changed = false;
    if (data->x() == timestampLeft && timestamp->x() == dataLeft) {
        // The two trade places: they trade what they show instead, which
        // looks the same and costs a repaint rather than two widget moves.
        data->swapContents(*timestamp);
        std::swap(data, timestamp);
        changed = true;
    }
    if (data->x() != dataLeft)
        data->move(dataLeft, data->y());
    if (timestamp->x() != timestampLeft)
        timestamp->move(timestampLeft, timestamp->y());
    // A square that is hidden leaves the view's background where it was.
    changed |= data->storeShown(wide->dataShown);
    changed |= timestamp->storeShown(wide->timestampShown);
    m_arrangedType = type;
    return changed;
}

bool CListSquare::showHeadValues(std::uint32_t number, std::uint8_t type, std::uint32_t id)
{
    bool changed = false;
    if (!m_headShown || type != m_shownType) {
        changed |= m_squares[Direction]->storeText(directionText(type));
        changed |= m_squares[Direction]->storeColor(toQColor(directionColour(type)));
        changed |= m_squares[Format]->storeText(frameKindLabel(type));
    }
    if (!m_headShown || number != m_shownNumber)
        changed |= m_squares[Number]->storeText(numberText(number));
    if (!m_headShown || id != m_shownId || ((type ^ m_shownType) & FrameType::Extended) != 0)
        changed |= m_squares[Identifier]->storeText(identifierText(type, id));
    m_headShown = true;
    m_shownNumber = number;
    m_shownType = type;
    m_shownId = id;
    return changed;
}

bool CListSquare::showTailValues(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                                 std::uint8_t dlc, const std::string &dataText,
                                 const std::string &timeText)
{
    bool changed = m_squares[Length]->storeText(numberText(dlc));
    if (m_squares[Data])
        changed |= m_squares[Data]->storeText(dataText);
    if (m_squares[Timestamp])
        changed |= m_squares[Timestamp]->storeText(timeText);
    m_last.number = number;
    m_last.type = type;
    m_last.id = id;
    m_last.dlc = dlc;
    m_last.dataText = dataText;
    m_last.timeText = timeText;
    return changed;
}

void CListSquare::SetLabels()
{
    for (const Square which : {Number, Format, Identifier, Length, Data, Timestamp}) {
        if (CSquare *square = m_squares[which]) {
            square->SetLabel(QString::fromLatin1(label(which)));
            square->SetColor(toQColor(labelColour(which)));
        }
    }
    // The direction square keeps its direction colour.
    m_squares[Direction]->SetLabel(QString::fromLatin1(label(Direction)));
}

void CListSquare::reportPacketError()
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

void CListSquare::paintEvent(QPaintEvent *)
{
    // The row itself is only a white frame around its rectangle.
    QPainter painter(this);
    painter.setPen(Qt::white);
    painter.drawRect(0, 0, m_rowRect.width() - 1, m_rowRect.height() - 1);
}

void CListSquare::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_library)
        m_library->DevSetPause(1);
    FrameRequestEvent request(WM_OPEN_FRAME_VIEW, m_number);
    QCoreApplication::sendEvent(m_view, &request);
    if (m_library)
        m_library->DevSetPause(0);
    event->accept();
}

std::unique_ptr<FrameRow> SquareRowFactory::createRow(const RowRect &rect, RowParent *parent)
{
    auto *view = dynamic_cast<CVEXOView *>(parent);
    if (!view)
        return nullptr;
    return std::make_unique<CListSquare>(rect, view, m_library, m_messages);
}
