#include "app/ProgramIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int ArtSize = 64; // drawn large once, scaled down by QIcon

// A mains plug seen from the side, its cable leaving to the lower left.
void drawPlug(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);

    QPen cable(QColor(40, 44, 52), 6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(cable);
    QPainterPath cord;
    cord.moveTo(6, 58);
    cord.cubicTo(10, 40, 22, 44, 26, 36);
    p.drawPath(cord);

    p.setPen(Qt::NoPen);
    // Prongs.
    p.setBrush(QColor(196, 160, 60));
    p.drawRoundedRect(QRectF(38, 8, 6, 18), 2, 2);
    p.drawRoundedRect(QRectF(50, 20, 6, 18), 2, 2);
    // Body, turned 45 degrees toward the socket.
    p.save();
    p.translate(33, 31);
    p.rotate(45);
    QLinearGradient body(0, -12, 0, 12);
    body.setColorAt(0, QColor(92, 104, 122));
    body.setColorAt(1, QColor(52, 60, 74));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(-14, -12, 28, 24), 6, 6);
    p.restore();
}

QPixmap connectArt()
{
    QPixmap pixmap(ArtSize, ArtSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawPlug(p);
    return pixmap;
}

QPixmap disconnectArt()
{
    QPixmap pixmap(ArtSize, ArtSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawPlug(p);
    p.setPen(QPen(QColor(210, 30, 30), 7, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(10, 10), QPointF(54, 54));
    return pixmap;
}

// A bus waveform on a dark blue tile, drawn in a 64 by 64 square.
void drawApplicationArt(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 62, 120));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    QPainterPath high;
    QPainterPath low;
    const int steps[] = {0, 1, 1, 0, 1, 0, 0, 1};
    for (int i = 0; i < 8; ++i) {
        const qreal x = 8 + i * 6;
        const qreal up = steps[i] ? 20 : 30;
        const qreal down = steps[i] ? 44 : 34;
        if (i == 0) {
            high.moveTo(x, up);
            low.moveTo(x, down);
        } else {
            high.lineTo(x, up);
            low.lineTo(x, down);
        }
        high.lineTo(x + 6, up);
        low.lineTo(x + 6, down);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 210, 80), 3));
    p.drawPath(high);
    p.setPen(QPen(QColor(120, 200, 255), 3));
    p.drawPath(low);
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

} // namespace

QIcon loadProgramIcon(int id)
{
    switch (id) {
    case IconId::MainFrame:
        return applicationIcon();
    case IconId::Connect:
        return QIcon(connectArt());
    case IconId::Disconnect:
        return QIcon(disconnectArt());
    default:
        return {};
    }
}

QImage programIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / qreal(ArtSize), size / qreal(ArtSize));
    drawApplicationArt(p);
    return image;
}

QPixmap linkStatusPixmap(const LinkIconLook &look, const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);

    QColor lamp;
    QColor arrow;
    switch (look.lamp) {
    case LinkLamp::Grey:
        lamp = QColor(160, 160, 160);
        break;
    case LinkLamp::Green:
        lamp = QColor(40, 180, 60);
        arrow = QColor(20, 60, 230);
        break;
    case LinkLamp::Red:
        lamp = QColor(220, 40, 40);
        arrow = QColor(255, 230, 0);
        break;
    }
    const QRect square(0, 0, size.width(), size.height());
    p.fillRect(square, lamp);
    p.setPen(lamp.darker(160));
    p.drawRect(square.adjusted(0, 0, -1, -1));

    // Receive points left in the upper half, transmit right in the lower half.
    p.setPen(Qt::NoPen);
    p.setBrush(arrow);
    const int w = size.width();
    const int h = size.height();
    const int half = h / 2;
    if (look.receiveArrow) {
        const QPoint tip(2, half / 2 + 1);
        const QPolygon head{tip, QPoint(w / 2, 1), QPoint(w / 2, half)};
        p.drawPolygon(head);
        p.drawRect(w / 2, half / 2, w / 2 - 2, 2);
    }
    if (look.transmitArrow) {
        const QPoint tip(w - 3, half + half / 2 + 1);
        const QPolygon head{tip, QPoint(w / 2, half + 1), QPoint(w / 2, h - 1)};
        p.drawPolygon(head);
        p.drawRect(2, half + half / 2, w / 2 - 2, 2);
    }
    return pixmap;
}
