#include "Bench.h"

#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "app/MessageReporter.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

class SilentReporter : public MessageReporter {
public:
    void showMessage(MessageIcon, const std::string &, const std::string &) override { }
};

} // namespace

// How late a timer on the user-interface thread fires while the saturated
// virtual bus at 1 Mbit/s streams into the main window in ID List mode.
VEXO_BENCHMARK(ui_latency_p99)
{
    QTemporaryDir data;
    VexoDeviceLibrary::Options options;
    options.dataDirectory = data.path().toStdString();
    VirtualAdapters::Options busOptions;
    busOptions.bitrate = 1'000'000;
    busOptions.seed = 1;
    std::vector<std::unique_ptr<AdapterProvider>> providers;
    providers.push_back(std::make_unique<VirtualAdapters>(busOptions));
    VexoDeviceLibrary library(options, std::move(providers));

    CVEXODoc doc;
    doc.OnNewDocument();
    SilentReporter messages;
    CMainFrame frame(doc, library, &messages);
    frame.receiver()->setBatchInterval(CRxWnd::BatchInterval);
    frame.resize(1100, 800);
    frame.show();
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    frame.controlBar()->idListButton()->click();
    std::int32_t count = 0;
    library.DevGetDeviceCount(count);
    frame.ConnectAdapter(2, QStringLiteral("Vexo Virtual Saturated Bus"));

    // A timer every 5 ms for three seconds; each firing's delay past its time.
    constexpr int Interval = 5;
    constexpr qint64 Duration = 3000;
    std::vector<double> delays;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    qint64 due = Interval;
    std::function<void()> tick = [&] {
        const qint64 now = clock.nsecsElapsed();
        delays.push_back(static_cast<double>(now - due * 1'000'000) / 1e6);
        if (now >= Duration * 1'000'000) {
            loop.quit();
            return;
        }
        due = now / 1'000'000 + Interval;
        QTimer::singleShot(Interval, Qt::PreciseTimer, &loop, tick);
    };
    QTimer::singleShot(Interval, Qt::PreciseTimer, &loop, tick);
    loop.exec();
    const std::uint32_t stored = doc.frameCount();
    frame.Disconnect();
    frame.close();

    std::sort(delays.begin(), delays.end());
    const double p99 = delays[static_cast<std::size_t>(static_cast<double>(delays.size()) * 0.99)];
    bench::report("ui_latency_p99", std::max(0.0, p99), "ms");
    bench::report("ui_latency_frames", stored, "frames");
}
