#include "Bench.h"
#include "ShownView.h"

#include <QCoreApplication>

#include <functional>
#include <memory>

namespace {

constexpr std::uint32_t FrameCount = CVEXODoc::CaptureLimit;

void liveThroughput(const char *name, const std::function<int(std::uint32_t)> &hintFor)
{
    std::unique_ptr<bench::ShownView> shown;
    const double s = bench::medianSeconds(
        3,
        [&] {
            shown = std::make_unique<bench::ShownView>();
            QCoreApplication::processEvents();
        },
        [&] {
            bench::ScreenRate screen;
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
    bench::ShownView shown;
    QCoreApplication::processEvents();
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
