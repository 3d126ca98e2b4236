#include "display/LabelledSquare.h"

#include "display/RowLayout.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

#include <utility>

namespace {

QRect toQRect(const PixelRect &r)
{
    return {r.left, r.top, r.width(), r.height()};
}

QPoint toQPoint(const PixelPoint &p)
{
    return {p.x, p.y};
}

// Fills a rectangle and outlines it one pixel inside its edges.
void drawBox(QPainter &painter, const PixelRect &r, const QColor &fill)
{
    painter.fillRect(toQRect(r), fill);
    painter.drawRect(r.left, r.top, r.width() - 1, r.height() - 1);
}

} // namespace

CSquare::CSquare(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Not marked opaque although it paints every pixel: Qt leaves opaque
    // children out when their parent repaints, and a row repaints its squares
    // by repainting itself.
}

const QFont &CSquare::squareFont()
{
    static const QFont font = [] {
        QFont f(QStringLiteral("Arial"));
        // A 14-pixel em gives Arial's 16-pixel cell (ascent plus descent).
        f.setPixelSize(14);
        f.setWeight(QFont::Normal);
        return f;
    }();
    return font;
}

void CSquare::SetColor(const QColor &colour)
{
    if (storeColor(colour))
        update();
}

void CSquare::SetLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    update();
}

void CSquare::SetText(std::string_view text)
{
    if (storeText(text))
        update();
}

void CSquare::setShown(bool shown)
{
    if (storeShown(shown))
        update();
}

bool CSquare::storeColor(const QColor &colour)
{
    if (colour == m_colour)
        return false;
    m_colour = colour;
    return true;
}

bool CSquare::storeText(std::string_view text)
{
    if (text == m_text)
        return false;
    m_text.assign(text);
    return true;
}

bool CSquare::storeShown(bool shown)
{
    if (shown == m_shown)
        return false;
    m_shown = shown;
    return true;
}

void CSquare::swapContents(CSquare &other)
{
    std::swap(m_colour, other.m_colour);
    std::swap(m_label, other.m_label);
    std::swap(m_text, other.m_text);
    std::swap(m_shown, other.m_shown);
}

void CSquare::paintEvent(QPaintEvent *)
{
    using namespace RowLayout;
    const SquareHalves halves = squareHalves(width(), height());

    if (!m_shown)
        return; // the view's background shows through
    QPainter painter(this);
    painter.setFont(squareFont());
    painter.setPen(Qt::black);

    painter.save();
    drawBox(painter, halves.upper, m_colour);
    painter.drawText(toQRect(halves.upper), Qt::AlignCenter | Qt::TextSingleLine, m_label);
    painter.restore();

    painter.save();
    drawBox(painter, halves.lower, Qt::white);
    if (const auto arrow = arrowFor(m_text, halves.lower)) {
        painter.setBrush(Qt::black);
        painter.drawLine(toQPoint(arrow->lineFrom), toQPoint(arrow->lineTo));
        const QPolygon head{toQPoint(arrow->head[0]), toQPoint(arrow->head[1]),
                            toQPoint(arrow->head[2])};
        painter.drawPolygon(head);
    } else {
        painter.drawText(toQRect(halves.lower), Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromLatin1(m_text.data(), static_cast<qsizetype>(m_text.size())));
    }
    painter.restore();
}
