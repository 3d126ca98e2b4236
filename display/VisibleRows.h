#pragma once

#include <cstddef>
#include <map>

class SquareRow;

// The rows of the main view, by their top edge in the view's canvas, and which
// of them have widgets: those within a page's height (Margin) above or below
// the visible part. A page of the index list therefore always has all its
// widgets, wherever it is scrolled, while an ID list of thousands of rows has
// widgets for a few dozen; scrolling creates the widgets of the rows that come
// near and destroys those of the rows that move away.
class VisibleRows {
public:
    static constexpr int Margin = 1300;

    VisibleRows() = default;
    // Rows that outlive the view lose their widgets and their place here.
    ~VisibleRows();
    VisibleRows(const VisibleRows &) = delete;
    VisibleRows &operator=(const VisibleRows &) = delete;

    void add(SquareRow *row);
    void remove(SquareRow *row);
    // The visible part of the canvas is now [top, bottom): widgets follow.
    void setVisibleRange(int top, int bottom);

    std::size_t rowCount() const { return m_rows.size(); }
    std::size_t widgetCount() const { return m_widgets; }
    // Called by a row when it gains or loses its widget.
    void widgetCreated() { ++m_widgets; }
    void widgetDestroyed() { --m_widgets; }

private:
    bool near(int top) const { return top >= m_top && top < m_bottom; }

    std::multimap<int, SquareRow *> m_rows;
    int m_top = -Margin;
    int m_bottom = Margin;
    std::size_t m_widgets = 0;
};
