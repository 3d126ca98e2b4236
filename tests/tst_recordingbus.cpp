// Recording from a busy bus end to end: the saturated virtual bus past the
// capture's limit, read back by our reader and by can-utils; the program
// recording from the shell for a while, and killed while it records.

#include "app/HeadlessRecording.h"
#include "capture/CanPacket.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"
#include "logfile/LogReport.h"

#include "LogPackets.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sstream>
#include <thread>

class TestRecordingBus : public QObject {
    Q_OBJECT

private slots:
    void saturatedBusRecordedPastTheCaptureLimit();
    void programRecordingReadsBack_data();
    void programRecordingReadsBack();
};

void TestRecordingBus::saturatedBusRecordedPastTheCaptureLimit()
{
    constexpr std::uint64_t Frames = 60'000;
    QTemporaryDir dir;
    std::vector<std::unique_ptr<AdapterProvider>> providers;
    providers.push_back(std::make_unique<VirtualAdapters>(
        VirtualAdapters::Options{.bitrate = 1'000'000, .saturatedFrameLimit = Frames}));
    // Not paced: the bus runs as fast as it can be computed.
    VexoDeviceLibrary library({.dataDirectory = dir.filePath("data").toStdString(), .paced = false},
                              std::move(providers));

    const QString path = dir.filePath(QStringLiteral("saturated.log"));
    HeadlessRecordRequest request;
    request.settings = {path.toStdString(), LogFormat::Candump};
    request.adapter = "Vexo Virtual Saturated Bus";
    DeliveryCounts counts;
    // Until the bus has sent all its frames and the library delivered them.
    const StopWait untilAllDelivered = [&](std::chrono::milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        counts = library.readDeliveryCounts();
        return counts.delivered >= Frames;
    };
    std::ostringstream out, err;
    QCOMPARE(runHeadlessRecording(library, library, request, out, err, untilAllDelivered), 0);
    QCOMPARE(counts.lost(), 0U);
    QVERIFY2(QString::fromStdString(out.str()).startsWith(
                 QStringLiteral("recorded %1 frames, lost 0, ").arg(Frames)),
             out.str().c_str());

    const auto packets = readLogFile(LogFormat::Candump, path);
    QCOMPARE(packets.size(), Frames);
    QVERIFY(std::ranges::is_sorted(packets, {}, &CAN_Packet::timestamp));

    const QString log2asc = QStandardPaths::findExecutable(QStringLiteral("log2asc"));
    if (log2asc.isEmpty())
        QSKIP("can-utils (log2asc) is not installed");
    const QString converted = dir.filePath(QStringLiteral("converted.asc"));
    QCOMPARE(QProcess::execute(log2asc, {"-I", path, "-O", converted, "can0"}), 0);
    const auto convertedPackets = readLogFile(LogFormat::Asc, converted);
    QCOMPARE(convertedPackets.size(), Frames);
    for (std::size_t i = 0; i < Frames; ++i) {
        QCOMPARE(convertedPackets[i].id, packets[i].id);
        QCOMPARE(convertedPackets[i].type & 0x13, packets[i].type & 0x13);
    }
}

void TestRecordingBus::programRecordingReadsBack_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("for its duration") << false;
    QTest::newRow("killed while it records") << true;
}

// However the program's recording ends, its log reads back whole and in time
// order; one that ran its duration out says how many frames it holds.
void TestRecordingBus::programRecordingReadsBack()
{
    QFETCH(bool, killed);
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("bus.log"));
    // A user with a fresh home and no display.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME",
                                 "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        environment.remove(variable);
    environment.insert("HOME", home.path());
    environment.insert("XDG_RUNTIME_DIR", home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VEXO_PROGRAM),
                  QStringList{"--adapter", "Vexo Virtual Saturated Bus", "--record", path}
                      + (killed ? QStringList() : QStringList{"--duration", "3"}));
    if (killed) {
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 100'000, 60000);
        program.kill();
    }
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
    if (!killed) {
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(program.exitCode(), 0);
    }

    LogReport report;
    const auto packets = readLogFile(LogFormat::Candump, path, &report);
    QVERIFY(packets.size() > 2000);
    QVERIFY(std::ranges::is_sorted(packets, {}, &CAN_Packet::timestamp));
    QCOMPARE(report.badLineCount, 0U);
    if (killed)
        return;
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QRegularExpression summary(
        QStringLiteral("^recorded (\\d+) frames, lost 0, [\\d.]+ (kB|MB) in 3\\.\\d s\\n$"));
    QVERIFY2(summary.match(out).captured(1) == QString::number(packets.size()), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestRecordingBus)
#include "tst_recordingbus.moc"
