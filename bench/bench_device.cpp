#include "Bench.h"

#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/ReceiverWindow.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {

// Stores every frame, as the main view does, without row controls.
class StoringSink : public FrameSink {
public:
    explicit StoringSink(CVEXODoc &doc) : m_doc(doc) { }
    std::uint8_t OnNewFrame(CAN_Frame frame, int) override
    {
        m_doc.AddFrame({}, nullptr, frame, CVEXODoc::StoreOnly);
        return NewFrameResult::Handled;
    }

private:
    CVEXODoc &m_doc;
};

} // namespace

// The saturated virtual bus, computed as fast as it goes, through the
// library's thread and posted events into the receiver and the store.
VEXO_BENCHMARK(library_delivery)
{
    constexpr std::uint32_t FrameCount = CVEXODoc::CaptureLimit;
    QTemporaryDir data;
    VexoDeviceLibrary::Options options;
    options.dataDirectory = data.path().toStdString();
    options.paced = false;
    VirtualAdapters::Options busOptions;
    busOptions.seed = 1;
    busOptions.saturatedFrameLimit = FrameCount;
    std::vector<std::unique_ptr<AdapterProvider>> providers;
    providers.push_back(std::make_unique<VirtualAdapters>(busOptions));
    VexoDeviceLibrary library(options, std::move(providers));

    CVEXODoc doc;
    doc.OnNewDocument();
    StoringSink sink(doc);
    CRxWnd receiver;
    receiver.setView(&sink);
    receiver.setDocument(&doc);
    library.DevSetNotifyWindow(&receiver);

    std::int32_t count = 0;
    library.DevGetDeviceCount(count);
    library.DevOpen(2); // the saturated bus
    QElapsedTimer timer;
    timer.start();
    library.DevStart(1);
    while (doc.frameCount() < FrameCount && timer.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    library.DevRelease();
    QCoreApplication::sendPostedEvents(&receiver);

    bench::report("library_delivery", doc.frameCount() / seconds, "frames/s");
    bench::report("library_frames_lost",
                  static_cast<double>(FrameCount) - static_cast<double>(doc.frameCount()),
                  "frames");
}
