#include "controls/IconButton.h"

#include "app/ProgramIcons.h"
#include "controls/IconButtonLayout.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

CIconButton::CIconButton(QWidget *parent) : CIconButton(QString(), parent) { }

CIconButton::CIconButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent), m_textColor(palette().color(QPalette::ButtonText))
{
    const int standard = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    m_iconWidth = standard;
    m_iconHeight = standard;
}

void CIconButton::SetIconId(int iconId)
{
    m_iconId = iconId;
    update();
}

void CIconButton::SetIconSize(int width, int height)
{
    m_iconWidth = width;
    m_iconHeight = height;
    update();
}

void CIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect r = rect();
    const int w = r.width();
    const int h = r.height();
    const bool pressed = isDown();
    const bool enabled = isEnabled();

    // Face and push-button frame.
    painter.fillRect(r, palette().color(QPalette::Button));
    QStyleOptionButton frame;
    frame.initFrom(this);
    frame.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &frame, &painter, this);

    // The first "&" marks the mnemonic and is not drawn.
    QString caption = text();
    const int mnemonic = caption.indexOf(u'&');
    if (mnemonic >= 0)
        caption.remove(mnemonic, 1);

    const QFontMetrics metrics = painter.fontMetrics();
    const int cx = metrics.horizontalAdvance(caption);
    const int cy = metrics.height();
    const QIcon icon = m_iconId != 0 ? loadProgramIcon(m_iconId) : QIcon();
    const bool hasIcon = !icon.isNull();
    const int iconW = m_iconWidth != 0 ? m_iconWidth : 32;
    const int iconH = m_iconHeight != 0 ? m_iconHeight : 32;
    const IconButtonGeometry g = layoutIconButton(w, h, hasIcon, m_iconWidth, m_iconHeight,
                                                  caption.isEmpty(), cx, cy, pressed);
    const QRect captionRect(g.captionX, g.captionY, cx, cy);

    painter.save();
    if (!caption.isEmpty()) {
        if (enabled) {
            painter.setPen(m_textColor);
            painter.drawText(captionRect, Qt::TextSingleLine, caption);
        } else {
            // Embossed: a light copy one pixel down and right under a shadow.
            painter.setPen(palette().color(QPalette::Light));
            painter.drawText(captionRect.translated(1, 1), Qt::TextSingleLine, caption);
            painter.setPen(palette().color(QPalette::Disabled, QPalette::ButtonText));
            painter.drawText(captionRect, Qt::TextSingleLine, caption);
        }
    }
    if (hasIcon) {
        const QPixmap pixmap =
            icon.pixmap(QSize(iconW, iconH), enabled ? QIcon::Normal : QIcon::Disabled);
        painter.drawPixmap(QRect(g.iconX, g.iconY, iconW, iconH), pixmap);
    }
    painter.restore();

    if (hasFocus()) {
        painter.save();
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(4, 4, -4, -4);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        painter.restore();
    }

    if (pressed) {
        painter.save();
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawLine(0, h - 1, 0, 0);
        painter.drawLine(0, 0, w - 1, 0);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(w - 1, 0, w - 1, h - 1);
        painter.drawLine(w - 1, h - 1, 0, h - 1);
        painter.restore();
    }

    if (mnemonic >= 0 && !caption.isEmpty() && enabled && mnemonic < caption.size()) {
        const int x = g.captionX + metrics.horizontalAdvance(caption.left(mnemonic));
        const int charWidth = metrics.horizontalAdvance(caption.at(mnemonic));
        const int y = g.captionY + cy;
        painter.setPen(m_textColor);
        painter.drawLine(x, y, x + charWidth - 1, y);
    }
}

void CIconButton::mousePressEvent(QMouseEvent *event)
{
    m_pressAbandoned = false;
    QPushButton::mousePressEvent(event);
}

void CIconButton::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressAbandoned)
        return;
    if (isDown() && !rect().contains(event->position().toPoint())) {
        // Leaving the button ends the press: no click, and coming back does
        // not resume it.
        m_pressAbandoned = true;
        setDown(false);
        return;
    }
    QPushButton::mouseMoveEvent(event);
}

void CIconButton::mouseReleaseEvent(QMouseEvent *event)
{
    // Not down any more, so an abandoned press ends without a click.
    QPushButton::mouseReleaseEvent(event);
    m_pressAbandoned = false;
}
