#include "display/LabelledSquare.h"

#include "display/RowLayout.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>

#include <map>
#include <tuple>
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

// The upper half of a square, its label on its colour, drawn once for each
// look and reused: a row's labels and colours stay the same while its values
// change with every frame. The looks are few (seven labels, a handful of
// colours and sizes), so they are kept for the program's lifetime.
const QPixmap &labelHalf(const QSize &size, qreal pixelRatio, const QColor &colour,
                         const QString &label)
{
    using Key = std::tuple<int, int, qreal, QRgb, QString>;
    static std::map<Key, QPixmap> halves;
    const Key key{size.width(), size.height(), pixelRatio, colour.rgba(), label};
    const auto found = halves.find(key);
    if (found != halves.end())
        return found->second;
    QPixmap half(size * pixelRatio);
    half.setDevicePixelRatio(pixelRatio);
    half.fill(Qt::white);
    QPainter painter(&half);
    painter.setFont(CSquare::squareFont());
    painter.setPen(Qt::black);
    const PixelRect r{0, 0, size.width(), size.height()};
    drawBox(painter, r, colour);
    painter.drawText(toQRect(r), Qt::AlignCenter | Qt::TextSingleLine, label);
    painter.end();
    return halves.emplace(key, half).first->second;
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
    m_changed = true;
    return true;
}

bool CSquare::storeText(std::string_view text)
{
    if (text == m_text)
        return false;
    m_text.assign(text);
    m_changed = true;
    return true;
}

bool CSquare::storeShown(bool shown)
{
    if (shown == m_shown)
        return false;
    m_shown = shown;
    m_changed = true;
    return true;
}

void CSquare::swapContents(CSquare &other)
{
    std::swap(m_colour, other.m_colour);
    std::swap(m_label, other.m_label);
    std::swap(m_text, other.m_text);
    std::swap(m_shown, other.m_shown);
    m_changed = true;
    other.m_changed = true;
}

bool CSquare::takeChanged()
{
    return std::exchange(m_changed, false);
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

    painter.drawPixmap(
        toQPoint({halves.upper.left, halves.upper.top}),
        labelHalf(toQRect(halves.upper).size(), devicePixelRatioF(), m_colour, m_label));

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
