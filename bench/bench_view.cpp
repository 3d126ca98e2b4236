#include "Bench.h"
#include "BusTraffic.h"

#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "display/FrameRowWidget.h"

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <memory>

namespace {

constexpr std::uint32_t FrameCount = CVEXODoc::CaptureLimit;

// The main view, shown, with real rows, big enough to show a whole page.
struct ShownView {
    ShownView()
    {
        doc.setRowFactory(&rows);
        doc.OnNewDocument();
        view.setDocument(&doc);
        view.resize(1000, 1400);
        view.show();
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

void liveThroughput(const char *name, const std::function<int(std::uint32_t)> &hintFor)
{
    std::unique_ptr<ShownView> shown;
    const double s = bench::medianSeconds(
        3, [&] { shown = std::make_unique<ShownView>(); },
        [&] {
            ScreenRate screen;
            for (std::uint32_t n = 0; n < FrameCount; ++n) {
                shown->view.OnNewFrame(bench::busFrame(n), hintFor(n));
                screen.tick();
            }
            screen.finish();
        });
    shown.reset();
    bench::report(name, FrameCount / s, "frames/s");
}

} // namespace

// Every frame shown at once: a full page scrolls all 25 rows per frame.
VEXO_BENCHMARK(view_hint0)
{
    liveThroughput("view_hint0", [](std::uint32_t) { return DisplayHint::ShowNow; });
}

// A burst stored quietly, with one frame in every hundred shown.
VEXO_BENCHMARK(view_hint2)
{
    liveThroughput("view_hint2", [](std::uint32_t n) {
        return n % 100 == 99 ? DisplayHint::ShowNow : DisplayHint::StoreQuietly;
    });
}

// Rebuilding one full page, until it is painted.
VEXO_BENCHMARK(refresh_page)
{
    ShownView shown;
    for (std::uint32_t n = 0; n < 1000; ++n)
        shown.view.OnNewFrame(bench::busFrame(n), DisplayHint::ShowNow);
    QCoreApplication::processEvents();
    const double s = bench::medianSeconds(
        21, [] {},
        [&] {
            shown.doc.RefreshPage(&shown.view);
            QCoreApplication::processEvents();
        });
    bench::report("refresh_page", s * 1000.0, "ms");
}
