#include "display/VisibleRows.h"

#include "display/FrameRowWidget.h"

VisibleRows::~VisibleRows()
{
    for (auto &[top, row] : m_rows) {
        row->destroyWidget();
        row->m_listed = false;
    }
}

void VisibleRows::add(SquareRow *row)
{
    const int top = row->rowRect().top();
    // Rows come in top to bottom: the hint makes that a constant-time insert.
    row->m_slot = m_rows.emplace_hint(m_rows.end(), top, row);
    row->m_listed = true;
    if (near(top))
        row->createWidget();
}

void VisibleRows::remove(SquareRow *row)
{
    if (row->m_listed)
        m_rows.erase(row->m_slot);
    row->m_listed = false;
}

void VisibleRows::setVisibleRange(int top, int bottom)
{
    const int newTop = top - Margin;
    const int newBottom = bottom + Margin;
    if (newTop == m_top && newBottom == m_bottom)
        return;
    const int oldTop = m_top;
    const int oldBottom = m_bottom;
    m_top = newTop;
    m_bottom = newBottom;
    for (auto it = m_rows.lower_bound(oldTop); it != m_rows.end() && it->first < oldBottom; ++it) {
        if (!near(it->first))
            it->second->destroyWidget();
    }
    for (auto it = m_rows.lower_bound(m_top); it != m_rows.end() && it->first < m_bottom; ++it)
        it->second->createWidget();
}
