// Recording from a busy bus end to end: the saturated virtual bus past the
// capture's limit, read back by our reader and by can-utils; the program
// recording from the shell for a while, and killed while it records.

#include "app/HeadlessRecording.h"
#include "capture/CanPacket.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"
#include "logfile/LogReport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>
#include <thread>

namespace {

std::vector<CAN_Packet> readFile(LogFormat format, const QString &path, LogReport *report = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<CAN_Packet> packets;
    if (readLog(format, std::string_view(bytes.constData(), bytes.size()), packets, report)
        != LogStatus::Ok)
        return {};
    return packets;
}

bool inTimeOrder(const std::vector<CAN_Packet> &packets)
{
    return std::is_sorted(
        packets.begin(), packets.end(),
        [](const CAN_Packet &a, const CAN_Packet &b) { return a.timestamp < b.timestamp; });
}

// A user with a fresh home and no display.
QProcessEnvironment privateEnvironment(const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(variable));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    return environment;
}

void startRecording(QProcess &program, const QTemporaryDir &home, const QStringList &more)
{
    program.setProcessEnvironment(privateEnvironment(home));
    program.start(QStringLiteral(VEXO_PROGRAM),
                  QStringList{QStringLiteral("--adapter"),
                              QStringLiteral("Vexo Virtual Saturated Bus"),
                              QStringLiteral("--record")}
                      + more);
}

} // namespace

class TestRecordingBus : public QObject {
    Q_OBJECT

private slots:
    void saturatedBusRecordedPastTheCaptureLimit();
    void programRecordsForItsDuration();
    void programKilledWhileRecordingLeavesAReadableFile();
};

void TestRecordingBus::saturatedBusRecordedPastTheCaptureLimit()
{
    constexpr std::uint64_t Frames = 60'000;
    QTemporaryDir dir;
    VirtualAdapters::Options busOptions;
    busOptions.bitrate = 1'000'000;
    busOptions.saturatedFrameLimit = Frames;
    std::vector<std::unique_ptr<AdapterProvider>> providers;
    providers.push_back(std::make_unique<VirtualAdapters>(busOptions));
    VexoDeviceLibrary::Options options;
    options.dataDirectory = dir.filePath(QStringLiteral("data")).toStdString();
    options.paced = false; // as fast as the bus can be computed
    VexoDeviceLibrary library(options, std::move(providers));

    HeadlessRecordRequest request;
    const QString path = dir.filePath(QStringLiteral("saturated.log"));
    request.settings = {path.toStdString(), LogFormat::Candump};
    request.adapter = "Vexo Virtual Saturated Bus";
    DeliveryCounts counts;
    // Until the bus has sent all its frames and the library delivered them.
    const StopWait untilAllDelivered = [&](std::chrono::milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        counts = library.readDeliveryCounts();
        return counts.delivered >= Frames;
    };
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(runHeadlessRecording(library, library, request, out, err, untilAllDelivered), 0);
    QCOMPARE(counts.lost(), 0U);
    QVERIFY2(QString::fromStdString(out.str()).startsWith(
                 QStringLiteral("recorded %1 frames, lost 0, ").arg(Frames)),
             out.str().c_str());

    const auto packets = readFile(LogFormat::Candump, path);
    QCOMPARE(packets.size(), Frames);
    QVERIFY(inTimeOrder(packets));

    const QString log2asc = QStandardPaths::findExecutable(QStringLiteral("log2asc"));
    if (log2asc.isEmpty())
        QSKIP("can-utils (log2asc) is not installed");
    const QString converted = dir.filePath(QStringLiteral("converted.asc"));
    QProcess tool;
    tool.start(
        log2asc,
        {QStringLiteral("-I"), path, QStringLiteral("-O"), converted, QStringLiteral("can0")});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    const auto convertedPackets = readFile(LogFormat::Asc, converted);
    QCOMPARE(convertedPackets.size(), Frames);
    for (std::size_t i = 0; i < Frames; ++i) {
        QCOMPARE(convertedPackets[i].id, packets[i].id);
        QCOMPARE(convertedPackets[i].type & 0x13, packets[i].type & 0x13);
    }
}

void TestRecordingBus::programRecordsForItsDuration()
{
    QTemporaryDir home;
    QProcess program;
    const QString path = home.filePath(QStringLiteral("bench.log"));
    startRecording(program, home, {path, QStringLiteral("--duration"), QStringLiteral("3")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    QCOMPARE(program.readAllStandardError(), QByteArray());
    QCOMPARE(program.exitCode(), 0);
    const auto summary =
        QRegularExpression(QStringLiteral("^recorded (\\d+) frames, lost 0, [\\d.]+ (kB|MB) in "
                                          "3\\.\\d s\\n$"))
            .match(out);
    QVERIFY2(summary.hasMatch(), qPrintable(out));
    const auto packets = readFile(LogFormat::Candump, path);
    QCOMPARE(QString::number(packets.size()), summary.captured(1));
    QVERIFY(packets.size() > 1000);
    QVERIFY(inTimeOrder(packets));
}

void TestRecordingBus::programKilledWhileRecordingLeavesAReadableFile()
{
    QTemporaryDir home;
    QProcess program;
    const QString path = home.filePath(QStringLiteral("killed.log"));
    startRecording(program, home, {path});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 100'000, 60000);
    program.kill();
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);

    LogReport report;
    const auto packets = readFile(LogFormat::Candump, path, &report);
    QVERIFY(packets.size() > 2000);
    QVERIFY(inTimeOrder(packets));
    QCOMPARE(report.badLineCount, 0U);
}

QTEST_GUILESS_MAIN(TestRecordingBus)
#include "tst_recordingbus.moc"
