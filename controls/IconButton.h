#pragma once

#include <QColor>
#include <QPushButton>

// A push button that draws an icon beside its caption. It behaves like an
// ordinary push button except that a press ends for good once the pointer
// leaves the button.
class CIconButton : public QPushButton {
    Q_OBJECT

public:
    explicit CIconButton(QWidget *parent = nullptr);
    CIconButton(const QString &caption, QWidget *parent = nullptr);

    // The program icon drawn beside the caption; 0 draws none.
    void SetIconId(int iconId);
    void SetIconSize(int width, int height);
    void setTextColor(const QColor &color) { m_textColor = color; }

    int iconId() const { return m_iconId; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_iconId = 0;
    int m_iconWidth = 32;
    int m_iconHeight = 32;
    QColor m_textColor;
    bool m_pressAbandoned = false;
};
