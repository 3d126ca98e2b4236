#pragma once

#include "capture/StoreInterfaces.h"
#include "display/RowLayout.h"
#include "display/SquareRowContent.h"

#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

class CListSquare;
class CSquare;
class CVEXOView;
class DeviceLibrary;
class MessageReporter;
class VisibleRows;

// One frame shown as a row of seven labelled squares: No., I/O, FORMAT, ID,
// DLC, and DATA and TIMESTAMP in the two wide slots the frame type gives them.
// The store owns the row; the row keeps what it shows (SquareRowContent) and
// has a widget, a CListSquare, only while it lies near the visible part of
// the view, so that a list of thousands of identifiers stays cheap.
class SquareRow : public FrameRow {
public:
    // rect is in the view's scrolled coordinates, as the store computes it.
    SquareRow(const RowRect &rect, CVEXOView *view, DeviceLibrary *library,
              MessageReporter *messages);
    ~SquareRow() override;
    SquareRow(const SquareRow &) = delete;
    SquareRow &operator=(const SquareRow &) = delete;

    void PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                    std::string_view dataText, std::string_view timeText) override;
    void UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                     std::string_view dataText, std::string_view timeText,
                     std::int32_t xOrigin) override;

    const SquareRowContent &content() const { return m_content; }
    // The rectangle the row was created with, in the view's canvas.
    QRect rowRect() const { return m_rowRect; }
    CVEXOView *view() const { return m_view; }
    DeviceLibrary *library() const { return m_library; }

    // The row's widget, or null while the row is far from the visible part.
    CListSquare *widget() const { return m_widget.get(); }
    void createWidget();
    void destroyWidget();

private:
    friend class VisibleRows;

    void reportPacketError();
    void refreshWidget();

    CVEXOView *m_view = nullptr;
    DeviceLibrary *m_library = nullptr;
    MessageReporter *m_messages = nullptr;
    QRect m_rowRect;
    SquareRowContent m_content;
    std::unique_ptr<CListSquare> m_widget;
    std::multimap<int, SquareRow *>::iterator m_slot; // in VisibleRows, when listed
    bool m_listed = false;
};

// The widget of a row near the visible part of the view: it shows the row's
// content with seven CSquare children. A double-click anywhere on the squares
// asks the view to open the frame in the Detailed Frame View, with the
// adapter paused meanwhile.
//
// The widget covers the row's rectangle and the strip of squares, which is
// 840 pixels wide whatever the row's width, so that the squares are its
// children.
class CListSquare : public QWidget {
    Q_OBJECT

public:
    explicit CListSquare(SquareRow &row);
    ~CListSquare() override;

    // The row's operations, for whoever holds the widget.
    void PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                    std::string_view dataText, std::string_view timeText);
    void UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                     std::string_view dataText, std::string_view timeText, std::int32_t xOrigin);

    std::uint32_t frameNumber() const { return m_row.content().number(); }
    // The square of that kind, or null when the row has none.
    CSquare *square(RowLayout::Square which) const { return m_squares[which]; }
    // The rectangle the row was created with, in the view's canvas.
    QRect rowRect() const { return m_row.rowRect(); }

    // Brings the squares in line with the row's content.
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    CSquare *createSquare();

    bool refreshLayout();
    bool refreshHead();
    bool refreshTail();

    SquareRow &m_row;
    std::array<CSquare *, RowLayout::SquareCount> m_squares{};
    // What the squares show, so that a live update touches only what changed.
    bool m_refreshed = false;
    bool m_shown = false;
    bool m_headShown = false;
    bool m_labelsShown = false;
    bool m_labelled = false;
    std::uint32_t m_layoutRevision = 0;
    std::uint32_t m_tailRevision = 0;
    std::uint32_t m_number = 0;
    std::uint8_t m_type = 0;
    std::uint32_t m_id = 0;
};

// Creates the real rows for the store, in the main view.
class SquareRowFactory : public RowFactory {
public:
    SquareRowFactory(DeviceLibrary *library, MessageReporter *messages)
        : m_library(library), m_messages(messages)
    { }

    // A row needs the main view as its parent; with any other parent there is none.
    std::unique_ptr<FrameRow> createRow(const RowRect &rect, RowParent *parent) override;

private:
    DeviceLibrary *m_library = nullptr;
    MessageReporter *m_messages = nullptr;
};
