#include "inspect/PacketView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace {

QFont arialWithCellHeight(int cellHeight)
{
    // The largest pixel size whose ascent and descent fit the cell, as the
    // frame rows size their Arial.
    QFont font(QStringLiteral("Arial"));
    font.setWeight(QFont::Normal);
    for (int size = cellHeight; size > 1; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= cellHeight)
            break;
    }
    return font;
}

QColor toQColor(const Rgb &rgb)
{
    return {rgb.r, rgb.g, rgb.b};
}

} // namespace

CPacketView::CPacketView(QWidget *parent) : QWidget(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(DiagramWidth, DiagramHeight);
}

void CPacketView::SetFieldModel(
    std::uint8_t type, std::uint8_t dlc,
    const std::array<std::string, FrameFieldModel::ValueCount> &values,
    const std::array<std::string, FrameFieldModel::BitCount> &bits,
    const std::array<std::string, FrameFieldModel::DataByteCount> &dataValues,
    const std::array<std::string, FrameFieldModel::DataBitCount> &dataBits)
{
    BitDiagram::setFieldModel(m_model, type, dlc, values, bits, dataValues, dataBits);
}

const QFont &CPacketView::diagramFont(int cellHeight)
{
    static const QFont nameFont = arialWithCellHeight(BitDiagram::NameFontHeight);
    static const QFont valueFont = arialWithCellHeight(BitDiagram::ValueFontHeight);
    return cellHeight == BitDiagram::NameFontHeight ? nameFont : valueFont;
}

void CPacketView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    OnDraw(painter);
}

void CPacketView::OnDraw(QPainter &painter) const
{
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const BitDiagram::Cell &cell : BitDiagram::diagramCells(m_model)) {
        const PixelRect &r = cell.rect;
        if (r.width() <= 0 || r.height() <= 0)
            continue;
        const QRect rect(r.left, r.top, r.width(), r.height());
        painter.fillRect(rect, toQColor(cell.fill));
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.left, r.top, r.width() - 1, r.height() - 1);
        if (cell.text.empty())
            continue;
        // Text too wide for its cell is cut at the outline, not drawn over it.
        painter.setClipRect(rect.adjusted(1, 1, -1, -1));
        painter.setFont(diagramFont(cell.fontHeight));
        const int flags = Qt::TextSingleLine | Qt::AlignVCenter
            | (cell.align == BitDiagram::Align::Left ? Qt::AlignLeft : Qt::AlignHCenter);
        painter.drawText(rect, flags, QString::fromStdString(cell.text));
        painter.setClipping(false);
    }
    painter.restore();
}
