#include "Bench.h"
#include "BusTraffic.h"
#include "ShownView.h"

#include <QCoreApplication>

#include <memory>

namespace {

constexpr std::uint32_t Identifiers = 10000;

// The main view in ID List mode, shown, with the real rows.
struct IdListView {
    IdListView()
    {
        doc.setRowFactory(&rows);
        doc.OnNewDocument();
        doc.SetDisplayMode(CVEXODoc::IdList);
        doc.RebuildDisplayList();
        view.setDocument(&doc);
        view.resize(1000, 800);
        view.show();
        QCoreApplication::processEvents();
    }

    SquareRowFactory rows{nullptr, nullptr};
    CVEXODoc doc;
    CVEXOView view;
};

// Frame n has an identifier of its own, half standard, half extended, and the
// data and time stamp of bus traffic.
CAN_Frame newIdentifierFrame(std::uint32_t n)
{
    CAN_Frame frame = bench::busFrame(n);
    const bool extended = n % 2 == 1;
    frame.type = extended ? 0x06 : 0x04;
    frame.id = extended ? 0x100000 + n : n % 0x800;
    if (!extended && n >= 0x1000)
        frame.id = 0x100000 + n; // more standard identifiers than there are
    return frame;
}

// Paints at screen rate, as a shown window does.
void feed(IdListView &shown)
{
    bench::ScreenRate screen;
    for (std::uint32_t n = 0; n < Identifiers; ++n) {
        const int hint = n % 100 == 99 ? DisplayHint::ShowNow : DisplayHint::StoreQuietly;
        shown.view.OnNewFrame(newIdentifierFrame(n), hint);
        screen.tick();
    }
    screen.finish();
}

} // namespace

// Frames that each bring a new identifier, into ID List mode: every one adds
// a row below the last.
VEXO_BENCHMARK(idlist_new_ids)
{
    std::unique_ptr<IdListView> shown;
    const double s = bench::medianSeconds(
        3, [&] { shown = std::make_unique<IdListView>(); }, [&] { feed(*shown); });
    shown.reset();
    bench::report("idlist_new_ids", Identifiers / s, "frames/s");
}

// What one identifier's row costs in memory, the stored frame's texts and the
// store's lists included.
VEXO_BENCHMARK(idlist_bytes_per_row)
{
    IdListView shown;
    const std::size_t before = bench::allocatedBytes();
    feed(shown);
    const std::size_t after = bench::allocatedBytes();
    bench::report("idlist_bytes_per_row",
                  static_cast<double>(after - before) / static_cast<double>(Identifiers), "bytes");
}
