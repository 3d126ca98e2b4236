#include "Bench.h"
#include "BusTraffic.h"

#include "capture/FrameStore.h"

#include <memory>

namespace {

constexpr std::uint32_t FrameCount = CVEXODoc::CaptureLimit;

class IdleRow : public FrameRow {
public:
    void PlaceFrame(std::uint32_t, std::uint8_t, std::uint32_t, std::uint8_t, std::string_view,
                    std::string_view) override
    { }
    void UpdateFrame(std::uint32_t, std::uint8_t, std::uint32_t, std::uint8_t, std::string_view,
                     std::string_view, std::int32_t) override
    { }
};

class IdleRowFactory : public RowFactory {
public:
    std::unique_ptr<FrameRow> createRow(const RowRect &, RowParent *) override
    {
        return std::make_unique<IdleRow>();
    }
};

// Adds frames as the view does when every frame is shown at once: a new row
// while the page has room, then the page scrolls (index list) or the row of
// the identifier follows (ID list).
void addShown(CVEXODoc &doc, std::uint32_t count)
{
    for (std::uint32_t n = 0; n < count; ++n) {
        const auto next = doc.nextRowPosition();
        const RowRect rect{next.x, next.y, next.x + 850, next.y + 40};
        const bool roomOnPage = doc.rowCount() < CVEXODoc::PageSize;
        const int mode = doc.displayMode() == CVEXODoc::IdList || roomOnPage ? CVEXODoc::AddRow
                                                                             : CVEXODoc::ScrollPage;
        doc.AddFrame(rect, nullptr, bench::busFrame(n), mode);
    }
}

void addFrameThroughput(const char *name, std::uint8_t displayMode)
{
    IdleRowFactory rows;
    std::unique_ptr<CVEXODoc> doc;
    const double s = bench::medianSeconds(
        5,
        [&] {
            doc = std::make_unique<CVEXODoc>();
            doc->setRowFactory(&rows);
            doc->OnNewDocument();
            doc->SetDisplayMode(displayMode);
        },
        [&] { addShown(*doc, FrameCount); });
    bench::report(name, FrameCount / s, "frames/s");
}

} // namespace

VEXO_BENCHMARK(addframe_index_list)
{
    addFrameThroughput("addframe_index_list", CVEXODoc::IndexList);
}

VEXO_BENCHMARK(addframe_id_list)
{
    addFrameThroughput("addframe_id_list", CVEXODoc::IdList);
}

VEXO_BENCHMARK(store_bytes_per_frame)
{
    IdleRowFactory rows;
    const std::size_t before = bench::allocatedBytes();
    {
        CVEXODoc doc;
        doc.setRowFactory(&rows);
        doc.OnNewDocument();
        addShown(doc, FrameCount);
        const std::size_t held = bench::allocatedBytes() - before;
        bench::report("store_bytes_per_frame", static_cast<double>(held) / FrameCount, "bytes");
    }
}

VEXO_BENCHMARK(clear_50000)
{
    IdleRowFactory rows;
    CVEXODoc doc;
    doc.setRowFactory(&rows);
    doc.OnNewDocument();
    const double s = bench::medianSeconds(
        5,
        [&] {
            doc.Clear();
            addShown(doc, FrameCount);
        },
        [&] { doc.Clear(); });
    bench::report("clear_50000", s * 1000.0, "ms");
}
