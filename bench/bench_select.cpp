#include "Bench.h"
#include "ShownView.h"

#include "select/SelectionRules.h"
#include "select/ShownPage.h"

#include <QCoreApplication>

namespace {

constexpr std::uint32_t FrameCount = CVEXODoc::CaptureLimit;
constexpr int Runs = 21;

// A full capture in the shown main view with real rows, its last page on screen.
struct FullCapture : bench::ShownView {
    FullCapture() { capture(FrameCount); }

    // Milliseconds of the operation, each run prepared by setup. The paint
    // that follows a rebuilt page comes at screen rate (refresh_page measures
    // it); it is done before the next run.
    double milliseconds(const bench::Function &setup, const bench::Function &operation)
    {
        return 1000.0
            * bench::medianSeconds(
                   Runs,
                   [&] {
                       QCoreApplication::processEvents();
                       setup();
                   },
                   operation);
    }
};

} // namespace

// Two identifiers excluded, as the filter dialog's OK applies them.
VEXO_BENCHMARK(filter_selection_50000)
{
    FullCapture capture;
    const double ms = capture.milliseconds(
        [&] {
            capture.doc.ClearExcludedIds();
            capture.doc.AddExcludedId(0x04, 0x101);
            capture.doc.AddExcludedId(0x04, 0x102);
        },
        [&] {
            capture.doc.ApplySelectionFilter();
            ShowFirstPage(capture.doc, capture.view);
        });
    bench::report("filter_selection_50000", ms, "ms");
}

// Standard frames 0x110 to 0x11F and every extended frame.
VEXO_BENCHMARK(filter_range_50000)
{
    FullCapture capture;
    const double ms = capture.milliseconds([] {},
                                           [&] {
                                               capture.doc.ApplyRangeFilter(
                                                   RangeFlag::Standard | RangeFlag::Extended, 0x110,
                                                   0x11F, 0, 0x1FFFFFFF);
                                               ShowFirstPage(capture.doc, capture.view);
                                           });
    bench::report("filter_range_50000", ms, "ms");
}

// The whole capture by identifier, descending, from arrival order each time.
VEXO_BENCHMARK(sort_id_50000)
{
    FullCapture capture;
    const double ms = capture.milliseconds([&] { capture.doc.RebuildDisplayList(); },
                                           [&] {
                                               capture.doc.SortDisplayList(SortKey::IdDescending);
                                               RebuildShownPage(capture.doc, capture.view);
                                           });
    bench::report("sort_id_50000", ms, "ms");
}
