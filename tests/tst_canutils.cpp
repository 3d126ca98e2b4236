// Vexo View's candump and ASC logs against the converters of can-utils
// (log2asc, asc2log), where they are installed. The converters keep neither
// the absolute time (log2asc counts from the first frame, asc2log from the
// date line or, failing that, the present) nor the channel (it maps can0 to
// channel 1 and back); kind, direction, identifier, DLC, data and the time
// between frames must come through unchanged.

#include "capture/CanFrame.h"
#include "capture/CaptureTime.h"
#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "device/VirtualBus.h"
#include "display/FrameListView.h"
#include "logfile/LogFileCommands.h"

#include "FrameBuilders.h"
#include "LogPackets.h"
#include "StoreDoubles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace std::chrono_literals;

namespace {

class Collector : public BusObserver {
public:
    void frameOnBus(const CAN_Frame &frame, bool, BusTime at) override
    {
        // log2asc takes a time of 0 s for "no frame yet" and starts anew at
        // every frame of the first second; real candump logs never hold it.
        if (at < 1s)
            return;
        CAN_Frame stamped = frame;
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at).count();
        stamped.timestampHigh = static_cast<std::uint32_t>(micros / 1'000'000);
        stamped.timestampLow = static_cast<std::uint32_t>(micros % 1'000'000);
        frames.push_back(stamped);
    }
    void errorStatusChanged(const CAN_ErrorStatus &) override { }
    void portLost() override { }
    std::vector<CAN_Frame> frames;
};

struct Window {
    Window()
    {
        doc.setRowFactory(&rows);
        doc.OnNewDocument();
        view.setDocument(&doc);
    }
    RecordingRowFactory rows;
    CVEXODoc doc;
    CVEXOView view;
    RecordingMessageReporter messages;
    LogFileCommands commands{doc, view, messages};
};

// Frames as the converters keep them: all but the number's origin and the
// time, which counts from the first frame.
QStringList comparable(const std::vector<CAN_Packet> &frames)
{
    QStringList lines;
    if (frames.empty())
        return lines;
    const auto micros = [](const CAN_Packet &p) {
        return (p.timestamp >> 32) * 1'000'000 + (p.timestamp & 0xFFFFFFFF);
    };
    const std::uint64_t first = micros(frames.front());
    for (const CAN_Packet &p : frames)
        lines << QStringLiteral("%1 type %2 id %3 dlc %4 data %5 (%6) +%7 us")
                     .arg(p.number)
                     .arg(p.type, 0, 16)
                     .arg(p.id, 0, 16)
                     .arg(p.dlc)
                     .arg(QString::fromLatin1(
                         QByteArray(reinterpret_cast<const char *>(p.data), 8).toHex()))
                     .arg(QString::fromStdString(p.dataText))
                     .arg(micros(p) - first);
    return lines;
}

QStringList opened(const QString &path)
{
    Window window;
    if (!window.commands.OpenLogFile(path) || !window.messages.messages.empty())
        return {QStringLiteral("could not open %1").arg(path)};
    return comparable(window.doc.arrivalList());
}

bool convert(const QString &tool, const QString &from, const QString &to,
             const QStringList &more = {})
{
    QProcess process;
    process.start(tool, QStringList{QStringLiteral("-I"), from, QStringLiteral("-O"), to} + more);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

class TestCanUtils : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void convertersAgree();
    void absoluteTimesAgree();
};

void TestCanUtils::initTestCase()
{
    // The ASC date is local time.
    qputenv("TZ", "UTC");
}

void TestCanUtils::convertersAgree()
{
    const QString log2asc = QStandardPaths::findExecutable(QStringLiteral("log2asc"));
    const QString asc2log = QStandardPaths::findExecutable(QStringLiteral("asc2log"));
    if (log2asc.isEmpty() || asc2log.isEmpty())
        QSKIP("can-utils (log2asc, asc2log) are not installed");

    // Seconds 1 to 4 of the vehicle bus, with frames of our own among them.
    VirtualBus::Options options;
    options.profile = BusProfile::Vehicle;
    options.seed = 16;
    VirtualBus bus(options);
    bus.transmit(frameOf(0x15, 0x0E0, 4), 1300ms);
    bus.transmit(frameOf(0x14, 0x123, 3, {1, 2, 3}), 2s);
    bus.transmit(frameOf(0x16, 0x1ABCDEF, 8, {8, 7, 6, 5, 4, 3, 2, 1}), 3s);
    Collector collector;
    bus.advanceTo(4s, collector);

    Window live;
    for (const CAN_Frame &frame : collector.frames)
        live.view.OnNewFrame(frame, DisplayHint::StoreQuietly);
    const QStringList capture = comparable(live.doc.arrivalList());
    QVERIFY(capture.size() > 500);
    for (const std::uint8_t type : {0x04, 0x05, 0x06, 0x07, 0x14, 0x15, 0x16})
        QVERIFY2(std::any_of(collector.frames.begin(), collector.frames.end(),
                             [type](const CAN_Frame &f) { return f.type == type; }),
                 qPrintable(QString::number(type, 16)));

    QTemporaryDir dir;
    const QString ownLog = dir.filePath(QStringLiteral("capture.log"));
    const QString ownAsc = dir.filePath(QStringLiteral("capture.asc"));
    const QString toolAsc = dir.filePath(QStringLiteral("log2asc.asc"));
    const QString toolLog = dir.filePath(QStringLiteral("asc2log.log"));
    QVERIFY(live.commands.SaveLogFile(ownLog));
    QVERIFY(live.commands.SaveLogFile(ownAsc));
    QCOMPARE(opened(ownLog), capture);

    // Our candump log through log2asc opens as the capture.
    QVERIFY(convert(log2asc, ownLog, toolAsc, {QStringLiteral("can0")}));
    QCOMPARE(opened(toolAsc), capture);

    // Our ASC log through asc2log gives the frames of our own candump log.
    QVERIFY(convert(asc2log, ownAsc, toolLog));
    QCOMPARE(opened(toolLog), opened(ownLog));
}

void TestCanUtils::absoluteTimesAgree()
{
    const QString log2asc = QStandardPaths::findExecutable(QStringLiteral("log2asc"));
    const QString asc2log = QStandardPaths::findExecutable(QStringLiteral("asc2log"));
    if (log2asc.isEmpty() || asc2log.isEmpty())
        QSKIP("can-utils (log2asc, asc2log) are not installed");

    // A capture as candump -l writes it, placed in time.
    const QStringList times = {"(1700000000.123456)", "(1700000000.223456)", "(1700000002.000001)"};
    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    const auto stamps = [](const QByteArray &log) {
        QStringList found;
        for (const QByteArray &line : log.split('\n'))
            if (line.startsWith('('))
                found << QString::fromLatin1(line.left(line.indexOf(' ')));
        return found;
    };
    const auto contents = [&path](const char *name) {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QFile file(path("candump.log"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(times.join(" can0 123#11\n").toLatin1() + " can0 7FF#R\n");
    file.close();

    // Opened, its times count from the first frame.
    Window window;
    QVERIFY(window.commands.OpenLogFile(path("candump.log")));
    QCOMPARE(window.doc.storedEntry(2).timeText.str(), std::string("00:01  876.545"));
    QVERIFY(window.doc.captureStart() == CaptureStart(1700000000123456));

    // Saved again, the candump log holds the absolute times, and log2asc
    // dates it with its first frame in one header.
    QVERIFY(window.commands.SaveLogFile(path("saved.log")));
    QCOMPARE(stamps(contents("saved.log")), times);
    QVERIFY(convert(log2asc, path("saved.log"), path("log2asc.asc"), {QStringLiteral("can0")}));
    const QByteArray asc = contents("log2asc.asc");
    QVERIFY2(asc.startsWith("date Tue Nov 14 22:13:20 2023\n") && asc.count("date ") == 1,
             asc.constData());

    // Saved as ASC, asc2log gives the same absolute times. asc2log reads the
    // date in a de_DE locale, made here, and leaves the summer-time flag of
    // the date unset: with address randomisation off it comes out clear.
    QVERIFY(window.commands.SaveLogFile(path("saved.asc")));
    QVERIFY(QDir().mkpath(path("locales")));
    QProcess::execute(QStringLiteral("localedef"),
                      {"-i", "de_DE", "-f", "ISO-8859-1", path("locales/de_DE")});
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LOCPATH"), path("locales"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("setarch"), {"-R", asc2log, "-I", path("saved.asc")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(stamps(process.readAllStandardOutput()), times);
}

QTEST_MAIN(TestCanUtils)
#include "tst_canutils.moc"
