#pragma once

#include "BusTraffic.h"

#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "display/FrameRowWidget.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdint>

namespace bench {

// The main view, shown, with real rows, big enough to show a whole page.
struct ShownView {
    ShownView()
    {
        doc.setRowFactory(&rows);
        doc.OnNewDocument();
        view.setDocument(&doc);
        view.resize(1000, 1400);
        view.show();
    }

    // count frames of bus traffic, stored quietly but for the last, which is
    // shown; its page is painted.
    void capture(std::uint32_t count)
    {
        for (std::uint32_t n = 0; n + 1 < count; ++n)
            view.OnNewFrame(busFrame(n), DisplayHint::StoreQuietly);
        view.OnNewFrame(busFrame(count - 1), DisplayHint::ShowNow);
        QCoreApplication::processEvents();
    }

    SquareRowFactory rows{nullptr, nullptr};
    CVEXODoc doc;
    CVEXOView view;
};

// A shown window paints what changed at screen rate, not once per frame:
// pending events, the paints among them, are processed at most every 16 ms of
// wall time, and once at the end so that the last frame is on screen.
class ScreenRate {
public:
    void tick()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastPaint >= Frame) {
            QCoreApplication::processEvents();
            m_lastPaint = std::chrono::steady_clock::now();
        }
    }
    void finish() { QCoreApplication::processEvents(); }

private:
    static constexpr std::chrono::milliseconds Frame{16};
    std::chrono::steady_clock::time_point m_lastPaint = std::chrono::steady_clock::now();
};

} // namespace bench
