#include "inspect/BitStreamPage.h"

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"
#include "inspect/BitStreamLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPolygon>
#include <QToolTip>

#include <algorithm>

using namespace BitStreamLayout;

namespace {

constexpr int PreferredWidth = 1120;
constexpr int CaptionSize = 14;
constexpr int CellTextSize = 14;
constexpr int LabelSizes[] = {12, 10, 9};
constexpr int LegendSize = 12;
constexpr int LegendTextLeft = GutterWidth + CellWidth + 6;

QString legendText()
{
    return QStringLiteral(
        "stuff bit, after five equal bits      Level line: high recessive (1), low "
        "dominant (0), the ACK slot as a receiver sees it");
}

QRect toQRect(const PixelRect &r)
{
    return {r.left, r.top, r.width(), r.height()};
}

QColor toQColor(const Rgb &c)
{
    return {c.r, c.g, c.b};
}

QFont arial(int pixelSize)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

// Fills a rectangle and outlines it one pixel inside its edges.
void drawBox(QPainter &painter, const PixelRect &r, const QColor &fill)
{
    painter.fillRect(toQRect(r), fill);
    painter.drawRect(r.left, r.top, r.width() - 1, r.height() - 1);
}

// A small triangle in the top right corner of a stuff bit's cell.
QPolygon stuffMark(const PixelRect &cell)
{
    constexpr int Size = 8;
    return QPolygon({QPoint(cell.right - 1 - Size, cell.top + 1),
                     QPoint(cell.right - 2, cell.top + 1),
                     QPoint(cell.right - 2, cell.top + 1 + Size)});
}

} // namespace

BitStreamPage::BitStreamPage(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void BitStreamPage::setFrame(const CAN_Packet &packet)
{
    m_type = packet.type;
    m_id = packet.id;
    m_dlc = packet.dlc;
    m_stream = (packet.type & FrameType::FrameBit) != 0
        ? CanBitStream(packet.type, packet.id, packet.dlc, packet.data)
        : CanBitStream();
    updateGeometry();
    update();
}

void BitStreamPage::setBitRate(std::uint32_t bitsPerSecond, bool connected, bool measured)
{
    m_bitsPerSecond = bitsPerSecond;
    m_connected = connected;
    m_measured = measured;
    updateGeometry();
    update();
}

std::array<QString, 2> BitStreamPage::captionLines() const
{
    if (m_stream.size() == 0)
        return {QStringLiteral("No data or remote frame to show."), QString()};
    const auto lines =
        caption(m_stream, m_type, m_id, m_dlc, m_bitsPerSecond, m_connected, m_measured);
    return {QString::fromStdString(lines[0]), QString::fromStdString(lines[1])};
}

QSize BitStreamPage::sizeHint() const
{
    const int width = std::max(PreferredWidth, minimumSizeHint().width());
    return {width, heightForWidth(width)};
}

// Wide enough for the caption and the legend; the bits wrap onto more lanes.
QSize BitStreamPage::minimumSizeHint() const
{
    const QFontMetrics caption(arial(CaptionSize));
    int width = 0;
    for (const QString &line : captionLines())
        width = std::max(width, caption.horizontalAdvance(line));
    if (m_stream.size() > 0)
        width = std::max(width,
                         LegendTextLeft
                             + QFontMetrics(arial(LegendSize)).horizontalAdvance(legendText()));
    width += 2 * Margin;
    return {width, heightForWidth(width)};
}

int BitStreamPage::heightForWidth(int width) const
{
    return heightFor(m_stream.size(), width);
}

bool BitStreamPage::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int bit = bitAt(help->pos().x(), help->pos().y(), m_stream.size(), width());
        if (bit < 0)
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(),
                               QString::fromStdString(bitDescription(m_stream, bit)), this);
        return true;
    }
    return QWidget::event(event);
}

void BitStreamPage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);

    const int w = width();
    const int bits = m_stream.size();
    const auto lines = captionLines();

    painter.save();
    painter.setFont(arial(CaptionSize));
    for (int i = 0; i < 2; ++i)
        painter.drawText(
            QRect(Margin, CaptionTop + i * CaptionLineHeight, w - 2 * Margin, CaptionLineHeight),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, lines[i]);
    painter.restore();
    if (bits == 0)
        return;

    const int lanes = laneCount(bits, w);
    const int perLane = bitsPerLane(w);

    // The gutter: where the level line stands for each level, and the number
    // of each lane's first bit.
    painter.save();
    painter.setFont(arial(10));
    painter.setPen(QColor(110, 110, 110));
    for (int lane = 0; lane < lanes; ++lane) {
        const int top = laneTop(lane);
        const QRect gutter(Margin, 0, GutterWidth - 4, 12);
        painter.drawText(gutter.translated(0, top + LevelHighY - 6),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("rec"));
        painter.drawText(gutter.translated(0, top + LevelLowY - 6),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("dom"));
        painter.drawText(QRect(Margin, top + CellTop, GutterWidth - 4, CellHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(lane * perLane));
    }
    painter.restore();

    // Faint bit boundaries behind the level line.
    painter.save();
    painter.setPen(QColor(225, 225, 225));
    for (int i = 0; i < bits; ++i) {
        const PixelRect cell = cellRect(i, w);
        const int top = cell.top - CellTop;
        painter.drawLine(cell.left, top, cell.left, cell.top - 1);
        if (i % perLane == perLane - 1 || i == bits - 1)
            painter.drawLine(cell.right, top, cell.right, cell.top - 1);
    }
    painter.restore();

    // The bit cells.
    painter.save();
    painter.setFont(arial(CellTextSize));
    for (int i = 0; i < bits; ++i) {
        const auto &bit = m_stream[i];
        const PixelRect cell = cellRect(i, w);
        const int group = bit.field == Field::Data ? bit.index / 8 : 0;
        painter.setPen(Qt::black);
        drawBox(painter, cell, toQColor(bit.stuff ? StuffColour : fieldColour(bit.field, group)));
        if (bit.stuff) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawPolygon(stuffMark(cell));
            painter.setBrush(Qt::NoBrush);
            painter.setPen(toQColor(StuffTextColour));
        }
        painter.drawText(toQRect(cell), Qt::AlignCenter | Qt::TextSingleLine,
                         bit.level ? QStringLiteral("1") : QStringLiteral("0"));
    }
    painter.restore();

    // The fields, named on their widest run; a run too narrow for the label
    // takes the short name, in a smaller font if need be, or nothing.
    painter.save();
    for (const Segment &s : segments(m_stream, w)) {
        painter.setFont(arial(LabelSizes[0]));
        drawBox(painter, s.band, toQColor(fieldColour(s.field, s.group)));
        if (!s.labelled)
            continue;
        const int room = s.band.width() - 2;
        const QString label = QString::fromStdString(fieldLabel(m_stream, s.field, s.group));
        const QString name = QString::fromStdString(shortName(s.field));
        if (QFontMetrics(painter.font()).horizontalAdvance(label) <= room) {
            painter.drawText(toQRect(s.band), Qt::AlignCenter | Qt::TextSingleLine, label);
            continue;
        }
        for (const int size : LabelSizes) {
            painter.setFont(arial(size));
            if (QFontMetrics(painter.font()).horizontalAdvance(name) <= room) {
                painter.drawText(toQRect(s.band), Qt::AlignCenter | Qt::TextSingleLine, name);
                break;
            }
        }
    }
    painter.restore();

    // The level line, as an oscilloscope shows it; stuff bits in their colour.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPen linePen(toQColor(LevelColour), 2, Qt::SolidLine, Qt::FlatCap);
    const QPen stuffPen(toQColor(StuffColour), 2, Qt::SolidLine, Qt::FlatCap);
    for (int i = 0; i < bits; ++i) {
        const auto &bit = m_stream[i];
        const PixelRect cell = cellRect(i, w);
        const int lane = i / perLane;
        const int y = levelY(lane, bit.level);
        painter.setPen(bit.stuff ? stuffPen : linePen);
        painter.drawLine(cell.left, y, cell.right, y);
        if (i + 1 < bits && (i + 1) % perLane != 0 && m_stream[i + 1].level != bit.level) {
            painter.setPen(linePen);
            painter.drawLine(cell.right, levelY(lane, 1), cell.right, levelY(lane, 0));
        }
    }
    painter.restore();

    // The legend.
    painter.save();
    const PixelRect legend = legendRect(bits, w);
    painter.setFont(arial(LegendSize));
    const PixelRect swatch{legend.left + GutterWidth, legend.top + 2,
                           legend.left + GutterWidth + CellWidth, legend.top + 2 + 18};
    drawBox(painter, swatch, toQColor(StuffColour));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(stuffMark(swatch));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    painter.drawText(QRect(legend.left + LegendTextLeft, legend.top, w, legend.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, legendText());
    painter.restore();
}
