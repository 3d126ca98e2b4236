#include "Bench.h"
#include "ShownView.h"

#include "app/MessageReporter.h"
#include "logfile/LogFileCommands.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr std::uint32_t FrameCount = 50000;

class SilentMessages : public MessageReporter {
public:
    void showMessage(MessageIcon, const std::string &text, const std::string &) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    }
};

// The main view, shown, with real rows, and a full capture of bus traffic.
struct ShownCapture : bench::ShownView {
    ShownCapture() { capture(FrameCount); }

    SilentMessages messages;
    LogFileCommands commands{doc, view, messages};
};

void save(const char *name, const char *extension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("List.") + QLatin1String(extension));
    ShownCapture shown;
    const double s = bench::medianSeconds(
        5, [] {}, [&] { shown.commands.SaveLogFile(path); });
    bench::report(name, s * 1000.0, "ms");
}

// Reading, parsing, replacing the capture and painting its last page.
void load(const char *name, const char *extension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("List.") + QLatin1String(extension));
    ShownCapture shown;
    shown.commands.SaveLogFile(path);
    const double s = bench::medianSeconds(
        5, [] {},
        [&] {
            shown.commands.OpenLogFile(path);
            QCoreApplication::processEvents();
        });
    if (shown.doc.frameCount() != FrameCount)
        std::fprintf(stderr, "%s: %u frames loaded\n", name, shown.doc.frameCount());
    bench::report(name, s * 1000.0, "ms");
}

} // namespace

VEXO_BENCHMARK(save_binary_50000)
{
    save("save_binary_50000", "dcu");
}

VEXO_BENCHMARK(load_binary_50000)
{
    load("load_binary_50000", "dcu");
}

VEXO_BENCHMARK(save_text_50000)
{
    save("save_text_50000", "txt");
}

VEXO_BENCHMARK(load_text_50000)
{
    load("load_text_50000", "txt");
}

VEXO_BENCHMARK(save_candump_50000)
{
    save("save_candump_50000", "log");
}

VEXO_BENCHMARK(load_candump_50000)
{
    load("load_candump_50000", "log");
}
