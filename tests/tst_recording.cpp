// Recording to disk: the writer in every format, rotation, a recording cut
// short at any frame, the bounded queue, the kernel's drop counters, and the
// headless recorder on a recording library.

#include "app/HeadlessRecording.h"
#include "capture/CanPacket.h"
#include "capture/CaptureTime.h"
#include "device/KernelDropCounters.h"
#include "logfile/FrameRecorder.h"
#include "logfile/LogFormat.h"
#include "logfile/LogReport.h"
#include "logfile/RecordWriter.h"

#include "FrameBuilders.h"
#include "RecordingDeviceLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

Q_DECLARE_METATYPE(LogFormat)

namespace {

using Clock = std::chrono::steady_clock;

// Received and transmitted frames of every kind, each with its own time.
std::vector<CAN_Frame> sampleFrames(int count)
{
    std::vector<CAN_Frame> frames;
    for (int i = 0; i < count; ++i) {
        const auto kind = static_cast<std::uint8_t>(i % 4);
        const std::uint8_t type =
            FrameType::FrameBit | kind | (i % 3 == 0 ? FrameType::Transmitted : 0);
        const std::uint32_t id =
            (kind & FrameType::Extended) ? 0x1ABCDE00U + i : 0x100U + i % 0x700;
        const auto dlc = static_cast<std::uint8_t>(i % 9);
        frames.push_back(stampedAt(frameOf(type, id, dlc,
                                           {std::uint8_t(i), 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                            std::uint8_t(0xF0 | (i & 15))}),
                                   100 + i / 7, (i * 131071) % 1'000'000));
    }
    return frames;
}

QByteArray fileBytes(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<CAN_Packet> readBack(LogFormat format, const QByteArray &bytes,
                                 LogReport *report = nullptr)
{
    std::vector<CAN_Packet> packets;
    const LogStatus status =
        readLog(format, std::string_view(bytes.constData(), bytes.size()), packets, report);
    return status == LogStatus::Ok ? packets : std::vector<CAN_Packet>{};
}

// The frames as they were written: kind and direction, identifier, DLC, the
// data bytes the frame carries, and the time, later by shift microseconds.
bool sameFrames(const std::vector<CAN_Packet> &packets, std::span<const CAN_Frame> frames,
                std::uint64_t shift = 0)
{
    if (packets.size() != frames.size())
        return false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const CAN_Packet &p = packets[i];
        const CAN_Frame &f = frames[i];
        const int bytes = storedByteCount(f.type, f.dlc);
        if ((p.type & 0x17) != (f.type & 0x17) || p.id != f.id || p.dlc != f.dlc
            || !std::equal(f.data, f.data + bytes, p.data)
            || packetMicroseconds(p) != frameMicroseconds(f) + shift)
            return false;
    }
    return true;
}

} // namespace

class TestRecording : public QObject {
    Q_OBJECT

private slots:
    void writtenInBatchesReadsBackAtEveryCut_data();
    void writtenInBatchesReadsBackAtEveryCut();
    void framesPlacedInTimeByTheCaptureStart();
    void rotationNumbersFilesThatReadOnTheirOwn_data();
    void rotationNumbersFilesThatReadOnTheirOwn();
    void fileNames_data();
    void fileNames();
    void fullQueueCountsLossesAndNotesThemInTheFile();
    void kernelDropCounters_data();
    void kernelDropCounters();
    void dropTallyFollowsResetCounters();
    void headlessRecording_data();
    void headlessRecording();
};

void TestRecording::writtenInBatchesReadsBackAtEveryCut_data()
{
    // The formats whose logs hold every frame of sampleFrames (a text log
    // refuses frames with DLC 0).
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<QString>("extension");
    QTest::newRow("candump") << LogFormat::Candump << "log";
    QTest::newRow("asc") << LogFormat::Asc << "asc";
    QTest::newRow("binary") << LogFormat::Binary << "dcu";
}

void TestRecording::writtenInBatchesReadsBackAtEveryCut()
{
    QFETCH(LogFormat, format);
    QFETCH(QString, extension);
    QTemporaryDir dir;
    RecordSettings settings{dir.filePath("trace." + extension).toStdString(), format};
    const auto frames = sampleFrames(1000);
    RecordWriter writer(settings);
    const auto now = Clock::now();
    QVERIFY(writer.open(now));
    // Forty frames one by one, then batches of uneven sizes, one larger than
    // the writer's chunks. After each batch the file reads back up to it; cut
    // short in the middle of a single frame, as a crash would leave it
    // (binary: its count not yet rewritten), it reads up to the frame before.
    std::vector<std::size_t> sizes(40, 1);
    sizes.insert(sizes.end(), {7, 300, 2, 651});
    QByteArray before = fileBytes(settings.path);
    QVERIFY(readBack(format, before).empty());
    std::size_t written = 0;
    for (const std::size_t size : sizes) {
        QVERIFY(writer.write(std::span(frames).subspan(written, size), now));
        const QByteArray after = fileBytes(settings.path);
        QVERIFY2(sameFrames(readBack(format, after), std::span(frames).first(written + size)),
                 qPrintable(QString::number(written)));
        if (size == 1) {
            QByteArray torn = after.left((before.size() + after.size()) / 2);
            if (format == LogFormat::Binary)
                torn.replace(1, 4, before.mid(1, 4));
            LogReport report;
            QVERIFY2(sameFrames(readBack(format, torn, &report), std::span(frames).first(written)),
                     qPrintable(QString::number(written)));
        }
        written += size;
        before = after;
    }
    writer.close();
    QCOMPARE(writer.framesWritten(), 1000U);
    const QByteArray bytes = fileBytes(settings.path);
    QCOMPARE(writer.bytesWritten(), std::uint64_t(bytes.size()));
    const auto packets = readBack(format, bytes);
    QVERIFY(sameFrames(packets, frames));
    for (std::size_t i = 0; i < packets.size(); ++i)
        QCOMPARE(packets[i].number, i);
}

void TestRecording::framesPlacedInTimeByTheCaptureStart()
{
    // Opened again, a recording of an adapter opened five minutes ago starts
    // where its first frame lies in time, whatever the format keeps of it.
    const std::uint64_t start = wallClockMicroseconds() - 300 * MicrosecondsPerSecond;
    const auto frames = sampleFrames(50);
    const std::uint64_t first = frameMicroseconds(frames.front());
    QTemporaryDir dir;
    for (const auto &[format, name] :
         {std::pair{LogFormat::Candump, "trace.log"}, std::pair{LogFormat::Asc, "trace.asc"}}) {
        RecordWriter writer({dir.filePath(name).toStdString(), format});
        QVERIFY(writer.open(Clock::now()));
        writer.setCaptureStart(start);
        QVERIFY(writer.write(frames, Clock::now()));
        writer.close();
        const QByteArray bytes = fileBytes(dir.filePath(name).toStdString());
        std::vector<CAN_Packet> packets;
        LogReport report;
        CaptureStart opened;
        QCOMPARE(openLog(format, std::string_view(bytes.constData(), bytes.size()), packets, report,
                         opened),
                 LogStatus::Ok);
        QVERIFY(opened);
        QCOMPARE(*opened, start + first);
        QCOMPARE(packets.size(), frames.size());
        QCOMPARE(packetMicroseconds(packets.back()) + first, frameMicroseconds(frames.back()));
    }
}

void TestRecording::rotationNumbersFilesThatReadOnTheirOwn_data()
{
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("files");
    // Batches of 10 frames every 20 s for 5 minutes. A new file begins
    // between batches, so a limit of 1 byte gives each batch its own.
    QTest::newRow("asc by minutes") << LogFormat::Asc << 0 << 2 << 3;
    QTest::newRow("candump by minutes") << LogFormat::Candump << 0 << 1 << 5;
    QTest::newRow("binary by minutes") << LogFormat::Binary << 0 << 3 << 2;
    QTest::newRow("asc by size") << LogFormat::Asc << 1 << 0 << 15;
    QTest::newRow("no rotation") << LogFormat::Candump << 0 << 0 << 1;
}

void TestRecording::rotationNumbersFilesThatReadOnTheirOwn()
{
    QFETCH(LogFormat, format);
    QFETCH(int, bytes);
    QFETCH(int, minutes);
    QFETCH(int, files);
    QTemporaryDir dir;
    RecordSettings settings{dir.filePath("trace.x").toStdString(), format, std::uint64_t(bytes),
                            std::chrono::minutes(minutes)};
    const auto frames = sampleFrames(150);
    RecordWriter writer(settings);
    const auto start = Clock::now();
    QVERIFY(writer.open(start));
    for (std::size_t i = 0; i < frames.size(); i += 10)
        QVERIFY(
            writer.write(std::span(frames).subspan(i, 10), start + std::chrono::seconds(i * 2)));
    writer.close();
    QCOMPARE(writer.fileCount(), files);
    std::vector<CAN_Packet> all;
    for (int n = 1; n <= files; ++n) {
        const auto packets =
            readBack(format, fileBytes(recordFilePath(settings.path, settings.rotates(), n)));
        QVERIFY(!packets.empty());
        QCOMPARE(packets.front().number, 0U);
        all.insert(all.end(), packets.begin(), packets.end());
    }
    QVERIFY(sameFrames(all, frames));
}

void TestRecording::fileNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("rotates");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("single") << "/a/trace.log" << false << 1 << "/a/trace.log";
    QTest::newRow("first of a series") << "/a/trace.log" << true << 1 << "/a/trace-001.log";
    QTest::newRow("beyond 999") << "trace.asc" << true << 1234 << "trace-1234.asc";
    QTest::newRow("no extension") << "/a.b/trace" << true << 2 << "/a.b/trace-002";
    QTest::newRow("dot file") << "/a/.log" << true << 3 << "/a/.log-003";
}

void TestRecording::fileNames()
{
    QFETCH(QString, path);
    QFETCH(bool, rotates);
    QFETCH(int, number);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(recordFilePath(path.toStdString(), rotates, number)), expected);
}

void TestRecording::fullQueueCountsLossesAndNotesThemInTheFile()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("trace.asc").toStdString();
    FrameRecorder recorder({path, LogFormat::Asc}, 4);
    const auto frames = sampleFrames(10);
    // Before the writer runs, the queue takes four and counts six lost.
    recorder.framesDelivered(std::span(frames).first(3));
    recorder.framesDelivered(std::span(frames).subspan(3));
    recorder.setLostBefore(2);
    std::string error;
    QVERIFY(recorder.start(error));
    recorder.stop();
    const auto status = recorder.status();
    QCOMPARE(status.lostInQueue, 6U);
    QCOMPARE(status.lost, 8U);
    QCOMPARE(status.framesWritten, 4U);
    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.contains("\n// 8 frames lost here (8 in all)\n"));
    LogReport report;
    QVERIFY(sameFrames(readBack(LogFormat::Asc, bytes, &report), std::span(frames).first(4)));
    QCOMPARE(report.skippedOtherLines, 1U);
}

void TestRecording::kernelDropCounters_data()
{
    QTest::addColumn<QString>("interfaceName");
    QTest::addColumn<QStringList>("counters"); // name=value in the fake folder of can0
    QTest::addColumn<qint64>("expected");      // -1: nothing readable
    QTest::newRow("all three summed")
        << "can0" << QStringList{"rx_dropped=3\n", "rx_over_errors=4", "rx_fifo_errors=5\n"}
        << qint64(12);
    QTest::newRow("one readable") << "can0" << QStringList{"rx_dropped=7\n"} << qint64(7);
    QTest::newRow("garbage passed over")
        << "can0" << QStringList{"rx_dropped=x1\n", "rx_fifo_errors=2"} << qint64(2);
    QTest::newRow("no such interface") << "can1" << QStringList{"rx_dropped=1"} << qint64(-1);
    QTest::newRow("name leading elsewhere")
        << "../can0" << QStringList{"rx_dropped=1"} << qint64(-1);
    QTest::newRow("empty name") << "" << QStringList{} << qint64(-1);
}

void TestRecording::kernelDropCounters()
{
    QFETCH(QString, interfaceName);
    QFETCH(QStringList, counters);
    QFETCH(qint64, expected);
    QTemporaryDir root;
    const QString folder = root.filePath("sys/class/net/can0/statistics");
    QVERIFY(QDir().mkpath(folder));
    for (const QString &counter : counters) {
        QFile file(folder + '/' + counter.section('=', 0, 0));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(counter.section('=', 1).toLatin1());
    }
    const auto drops =
        readKernelDrops(root.filePath("sys").toStdString(), interfaceName.toStdString());
    QCOMPARE(drops ? qint64(*drops) : qint64(-1), expected);
}

void TestRecording::dropTallyFollowsResetCounters()
{
    DropTally tally;
    tally.start(100); // counted before the adapter was opened: not ours
    tally.update(105);
    tally.update(std::nullopt); // an unreadable moment changes nothing
    tally.update(108);
    QCOMPARE(tally.lost(), 8U);
    tally.update(2); // the interface was made anew
    tally.update(5);
    QCOMPARE(tally.lost(), 11U);

    DropTally unreadableAtFirst;
    unreadableAtFirst.start(std::nullopt);
    unreadableAtFirst.update(50);
    unreadableAtFirst.update(51);
    QCOMPARE(unreadableAtFirst.lost(), 1U);
}

void TestRecording::headlessRecording_data()
{
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("told");
    QTest::newRow("recorded") << "bench adapter"
                              << "trace.log" << 0 << "recorded 3 frames, lost 5, "
                              << "";
    QTest::newRow("no such adapter") << "nothing"
                                     << "trace.log" << 1 << ""
                                     << "No adapter matches \"nothing\"";
    QTest::newRow("file cannot be made") << "bench adapter"
                                         << "missing/trace.log" << 1 << ""
                                         << "Cannot record to ";
}

void TestRecording::headlessRecording()
{
    QFETCH(QString, adapter);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(QString, told);
    QTemporaryDir dir;
    RecordingDeviceLibrary library;
    library.adapters = {{"Bench Adapter", "1000000009", "VX0000009"}};
    library.deliveryCounts.lostInKernel = 5;
    const auto frames = sampleFrames(3);
    for (const CAN_Frame &frame : frames)
        library.queueFrame(frame);

    HeadlessRecordRequest request;
    request.settings = {dir.filePath(file).toStdString(), LogFormat::Candump};
    request.adapter = adapter.toStdString();
    int waits = 0;
    // The frames come while the recorder waits; then the user interrupts.
    const StopWait interruptAfterFrames = [&](std::chrono::milliseconds) {
        library.deliverQueued();
        return ++waits == 2;
    };
    std::ostringstream out;
    std::ostringstream err;
    const std::uint64_t before = wallClockMicroseconds();
    QCOMPARE(runHeadlessRecording(library, library, request, out, err, interruptAfterFrames),
             exitCode);
    QVERIFY2(QString::fromStdString(out.str()).startsWith(printed), out.str().c_str());
    QVERIFY2(QString::fromStdString(err.str()).startsWith(told), err.str().c_str());
    if (exitCode == 0) {
        QCOMPARE(waits, 2);
        // Absolute times: the time stamps from the wall-clock time of the start.
        const auto packets = readBack(LogFormat::Candump, fileBytes(request.settings.path));
        QVERIFY(!packets.empty());
        const std::uint64_t start = packetMicroseconds(packets[0]) - frameMicroseconds(frames[0]);
        QVERIFY(before <= start && start <= wallClockMicroseconds());
        QVERIFY(sameFrames(packets, frames, start));
        QCOMPARE(library.count(DevOrdinal::Close), 1);
        QCOMPARE(library.frameTap(), nullptr);
    }
}

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
