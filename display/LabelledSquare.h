#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

class QFont;

// One labelled box of a frame row: a coloured upper half with its label and a
// white lower half with the value, or an arrow for "==>" and "<==". Mouse
// clicks pass through to the row beneath.
//
// A hidden square stays a child widget that paints nothing, so that the view's
// background shows where it is:
// rows change between data and remote or received and transmitted frames at
// bus rate, and hiding and showing widgets that often costs far more than a
// repaint.
class CSquare : public QWidget {
    Q_OBJECT

public:
    explicit CSquare(QWidget *parent = nullptr);

    void SetColor(const QColor &colour);
    void SetLabel(const QString &label);
    // Values are ASCII; an unchanged value does not repaint.
    void SetText(std::string_view text);
    void setShown(bool shown);

    // The same, leaving the repaint to the caller (the row repaints all its
    // squares at once); each tells whether anything changed.
    bool storeColor(const QColor &colour);
    bool storeText(std::string_view text);
    bool storeShown(bool shown);
    // Exchanges colour, label, value and shown state with another square;
    // both keep their places.
    void swapContents(CSquare &other);
    // Whether anything was stored since the last call: the square needs a
    // repaint.
    bool takeChanged();

    bool isShown() const { return m_shown; }
    QColor color() const { return m_colour; }
    QString label() const { return m_label; }
    const std::string &text() const { return m_text; }

    // Arial, 16 pixels from the top of the tallest letter to the bottom of the deepest.
    static const QFont &squareFont();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour = Qt::white;
    QString m_label;
    std::string m_text;
    bool m_shown = true;
    bool m_changed = false;
};
