#pragma once

#include "capture/StoreInterfaces.h"
#include "display/RowLayout.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class CSquare;
class CVEXOView;
class DeviceLibrary;
class MessageReporter;

// One frame shown as a row of seven labelled squares: No., I/O, FORMAT, ID,
// DLC, and DATA and TIMESTAMP in the two wide slots the frame type gives them.
// A double-click anywhere on the squares asks the view to open the frame in
// the Detailed Frame View, with the adapter paused meanwhile.
//
// The row's rectangle is the one the store creates it with; the widget also
// covers the strip of squares, which is 840 pixels wide whatever the row's
// width, so that the squares are its children.
class CListSquare : public QWidget, public FrameRow {
    Q_OBJECT

public:
    // rect is in the view's scrolled coordinates, as the store computes it.
    CListSquare(const RowRect &rect, CVEXOView *view, DeviceLibrary *library,
                MessageReporter *messages);
    ~CListSquare() override;

    void PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                    const std::string &dataText, const std::string &timeText) override;
    void UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                     const std::string &dataText, const std::string &timeText,
                     std::int32_t xOrigin) override;

    std::uint32_t frameNumber() const { return m_number; }
    // The square of that kind, or null when the row has none.
    CSquare *square(RowLayout::Square which) const { return m_squares[which]; }
    // The rectangle the row was created with, in the view's canvas.
    QRect rowRect() const { return m_rowRect; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    struct LastFrame {
        std::uint32_t number = 0;
        std::uint8_t type = 0;
        std::uint32_t id = 0;
        std::uint8_t dlc = 0;
        std::string dataText;
        std::string timeText;
    };

    void createSquares(std::uint8_t type);
    CSquare *createSquare(int left, int width, bool shown);
    // Each of these tells whether a square changed.
    bool rearrangeWideSquares(std::uint8_t type, std::int32_t xOrigin);
    bool showHeadValues(std::uint32_t number, std::uint8_t type, std::uint32_t id);
    bool showTailValues(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                        const std::string &dataText, const std::string &timeText);
    void SetLabels();
    void reportPacketError();

    CVEXOView *m_view = nullptr;
    DeviceLibrary *m_library = nullptr;
    MessageReporter *m_messages = nullptr;
    std::array<CSquare *, RowLayout::SquareCount> m_squares{};
    std::uint32_t m_number = 0;
    QRect m_rowRect;   // in the canvas
    QRect m_innerRect; // relative to this widget
    LastFrame m_last;

    // What the number, direction, FORMAT and ID squares show, so that a live
    // update formats only what changed.
    bool m_headShown = false;
    std::uint32_t m_shownNumber = 0;
    std::uint8_t m_shownType = 0;
    std::uint32_t m_shownId = 0;
    // The frame type DATA and TIMESTAMP are arranged for.
    std::uint8_t m_arrangedType = 0;
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
