// The device library on real SocketCAN interfaces: can0 and can1 are two
// SJA1000 controllers on one bus, vcan0 a virtual interface with CAN FD's
// frame size. Run inside the test machine only (job.sh sets the interfaces
// up); can-utils on can1 is the other node.

#include "AdapterIndex.h"
#include "FrameBuilders.h"
#include "NotificationRecorder.h"
#include "StoreDoubles.h"

#include "capture/WindowMessages.h"
#include "device/CanBusAdapters.h"
#include "device/SetupController.h"
#include "device/SocketCanErrors.h"
#include "device/VexoDeviceLibrary.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <linux/can.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

using namespace std::chrono_literals;

// An emulated machine on a busy host can be slow.
constexpr auto Patience = 60s;

namespace {

// Frame types as the library reports them.
constexpr std::uint8_t StdData = FrameType::FrameBit;
constexpr std::uint8_t StdRemote = FrameType::FrameBit | FrameType::Remote;
constexpr std::uint8_t ExtData = FrameType::FrameBit | FrameType::Extended;
constexpr std::uint8_t ExtRemote = FrameType::FrameBit | FrameType::Extended | FrameType::Remote;

bool isSent(const CAN_Frame &f)
{
    return (f.type & FrameType::Transmitted) != 0;
}

// Runs a command; its standard output, or a failed test when it fails.
QString run(const QString &command)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("timeout"), {"60", "/bin/sh", "-c", command});
    process.waitForFinished(70000);
    if (process.exitCode() != 0)
        qWarning("%s (%lld ms, status %d): %s", qPrintable(command), clock.elapsed(),
                 process.exitCode(), process.readAllStandardError().constData());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Both nodes at the same rate, their queues emptied.
void setRate(int bitsPerSecond)
{
    for (const char *name : {"can0", "can1"}) {
        run(QStringLiteral("ip link set %1 down && ip link set %1 type can bitrate %2 && "
                           "ip link set %1 up")
                .arg(QLatin1String(name))
                .arg(bitsPerSecond));
    }
}

std::string idOf(const char *interfaceName)
{
    return CanBusAdapters::instanceIdFor(QStringLiteral("socketcan"), QLatin1String(interfaceName));
}

// A library that lists the SocketCAN interfaces only, reporting to a recorder.
struct Library {
    QTemporaryDir data;
    NotificationRecorder recorder;
    std::unique_ptr<VexoDeviceLibrary> library;

    Library()
    {
        VexoDeviceLibrary::Options options;
        options.dataDirectory = data.path().toStdString();
        options.watchInterval = 200ms;
        std::vector<std::unique_ptr<AdapterProvider>> providers;
        providers.push_back(std::make_unique<CanBusAdapters>(QStringList{"socketcan"}));
        library = std::make_unique<VexoDeviceLibrary>(std::move(options), std::move(providers));
        library->DevSetNotifyWindow(&recorder);
    }

    bool open(const char *interfaceName)
    {
        const int index = indexOf(*library, idOf(interfaceName));
        return index >= 0 && library->DevOpen(index) == DevSuccess
            && library->DevStart(1) == DevSuccess;
    }

    std::vector<CAN_Frame> received() const
    {
        return recorder.framesWhere([](const CAN_Frame &f) { return !isSent(f); });
    }
};

// What candump prints for a frame on can1 ("123#1122", "123#R"): the
// comparison of what the library sent with what the other node saw.
QString dumpText(const CAN_Frame &frame)
{
    const bool extended = (frame.type & FrameType::Extended) != 0;
    QString text = QStringLiteral("%1#").arg(frame.id, extended ? 8 : 3, 16, QLatin1Char('0'));
    if ((frame.type & FrameType::Remote) != 0)
        return text + QStringLiteral("R") + (frame.dlc ? QString::number(frame.dlc) : QString());
    for (int i = 0; i < frame.dlc; ++i)
        text += QStringLiteral("%1").arg(frame.data[i], 2, 16, QLatin1Char('0'));
    return text.toUpper();
}

// Writes one raw frame (an error frame included) to an interface.
bool writeRaw(const char *interfaceName, const can_frame &frame)
{
    const int fd = ::socket(PF_CAN, SOCK_RAW, CAN_RAW);
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = static_cast<int>(::if_nametoindex(interfaceName));
    const bool sent = fd >= 0
        && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::write(fd, &frame, sizeof frame) == static_cast<ssize_t>(sizeof frame);
    if (fd >= 0)
        ::close(fd);
    return sent;
}

// What the CAN plugins said: they say nothing when the interface is used as
// it is.
QStringList g_pluginMessages;
QtMessageHandler g_otherMessages = nullptr;

void collectPluginMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (context.category && QByteArray(context.category).startsWith("qt.canbus"))
        g_pluginMessages << text;
    else if (g_otherMessages)
        g_otherMessages(type, context, text);
}

} // namespace

Q_DECLARE_METATYPE(CAN_Frame)

class SocketCanTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { g_otherMessages = qInstallMessageHandler(collectPluginMessages); }
    void cleanup()
    {
        QVERIFY2(g_pluginMessages.isEmpty(), qPrintable(g_pluginMessages.join('\n')));
        g_pluginMessages.clear();
    }
    void receiveFromPeer_data();
    void receiveFromPeer();
    void transmitOnceAndPeriodically();
    void bitrateIsTheInterfaces_data();
    void bitrateIsTheInterfaces();
    void setupChangesRateAsAdministrator();
    void setupRefusesRateWithoutRight();
    void errorFramesReachErrorStatus_data();
    void errorFramesReachErrorStatus();
    void fdFramesAreCountedNotCaptured();
    void downAndUpAreRemovalAndArrival();
    void unbindIsRemoval();
};

void SocketCanTest::receiveFromPeer_data()
{
    QTest::addColumn<QString>("sent");
    QTest::addColumn<CAN_Frame>("expected");
    QTest::newRow("std data 8") << "123#1122334455667788"
                                << frameOf(StdData, 0x123, 8,
                                           {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
    QTest::newRow("std data dlc 0") << "7FF#" << frameOf(StdData, 0x7FF, 0);
    QTest::newRow("std data dlc 1") << "000#A5" << frameOf(StdData, 0, 1, {0xA5});
    QTest::newRow("ext data dlc 4")
        << "1FFFFFFF#DEADBEEF" << frameOf(ExtData, 0x1FFFFFFF, 4, {0xDE, 0xAD, 0xBE, 0xEF});
    QTest::newRow("ext id below 0x800") << "00000123#01" << frameOf(ExtData, 0x123, 1, {0x01});
    QTest::newRow("std remote dlc 0") << "456#R" << frameOf(StdRemote, 0x456, 0);
    QTest::newRow("ext remote dlc 8") << "12345678#R8" << frameOf(ExtRemote, 0x12345678, 8);
}

void SocketCanTest::receiveFromPeer()
{
    QFETCH(QString, sent);
    QFETCH(CAN_Frame, expected);
    Library l;
    QVERIFY(l.open("can0"));
    run(QStringLiteral("cansend can1 ") + sent);
    QVERIFY(l.recorder.waitFor([&] { return !l.received().empty(); }, Patience));
    QTest::qWait(100);
    const auto frames = l.received();
    QCOMPARE(frames.size(), std::size_t{1});
    QCOMPARE(int(frames[0].type), int(expected.type));
    QCOMPARE(frames[0].id, expected.id);
    QCOMPARE(int(frames[0].dlc), int(expected.dlc));
    QVERIFY(std::equal(expected.data, expected.data + 8, frames[0].data));
}

void SocketCanTest::transmitOnceAndPeriodically()
{
    setRate(250000);
    Library l;
    QVERIFY(l.open("can0"));
    QProcess dump;
    // Absolute time stamps, one line per frame: "(1.234567) can1 123#11".
    // Only the two identifiers sent here, and 7EE to learn that candump is
    // listening.
    dump.start(QStringLiteral("candump"), {"-L", "can1,18FF0102:1FFFFFFF,321:7FF,7EE:7FF"});
    QVERIFY(dump.waitForStarted());
    QString output;
    for (int i = 0; i < 30 && output.isEmpty(); ++i) {
        run("cansend can0 7EE#");
        dump.waitForReadyRead(1000);
        output += QString::fromLocal8Bit(dump.readAllStandardOutput());
    }
    QVERIFY(!output.isEmpty());

    const CAN_Frame once = frameOf(ExtData, 0x18FF0102, 3, {1, 2, 3});
    QCOMPARE(int(l.library->DevSendFrame(once)), 0);
    const CAN_Frame periodic = frameOf(StdRemote, 0x321, 2);
    QCOMPARE(int(l.library->DevSetPeriodicFrame(1, periodic)), 0);
    QCOMPARE(int(l.library->DevSetPeriod(1, 200)), 0);
    QCOMPARE(int(l.library->DevEnablePeriodic(1, 1)), 0);
    // The library echoes its own frames as transmitted ones.
    const bool echoed =
        l.recorder.waitFor([&] { return l.recorder.framesWhere(isSent).size() >= 7; }, Patience);
    l.library->DevEnablePeriodic(1, 0);
    QTest::qWait(500);
    dump.terminate();
    dump.waitForFinished(10000);
    output += QString::fromLocal8Bit(dump.readAllStandardOutput());
    QVERIFY2(echoed, qPrintable(output));

    QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString &line) { return line.contains(" 7EE#"); });
    // An emulated controller on a busy host loses frames that come too close
    // together (the kernel counts them): at least two periodic ones arrive,
    // and never sooner than the period allows.
    QVERIFY2(lines.size() >= 3, qPrintable(output));
    QCOMPARE(lines[0].section(' ', 2), dumpText(once));
    std::vector<double> times;
    for (int i = 1; i < lines.size(); ++i) {
        QCOMPARE(lines[i].section(' ', 2), dumpText(periodic));
        times.push_back(lines[i].section(')', 0, 0).mid(1).toDouble());
    }
    for (std::size_t i = 1; i < times.size(); ++i)
        QVERIFY2((times[i] - times[i - 1]) * 1000 > 150, qPrintable(output));
}

void SocketCanTest::bitrateIsTheInterfaces_data()
{
    QTest::addColumn<int>("bitsPerSecond");
    for (int rate : {125000, 250000, 500000, 1000000})
        QTest::newRow(qPrintable(QString::number(rate))) << rate;
}

void SocketCanTest::bitrateIsTheInterfaces()
{
    QFETCH(int, bitsPerSecond);
    setRate(bitsPerSecond);
    Library l;
    QVERIFY(l.open("can0"));
    std::int32_t kbps = 0;
    QCOMPARE(int(l.library->readBusBitrate(kbps)), 0);
    QCOMPARE(kbps, bitsPerSecond / 1000);
    // Setup reads the same rate as the adapter's configuration.
    CAN_Timing timing;
    std::uint8_t reserved[ConfigReservedSize];
    std::uint8_t options = 0;
    QCOMPARE(int(l.library->DevReadConfig(timing, reserved, options)), 0);
    QCOMPARE(int(l.library->DevTimingToBitrate(kbps, timing)), 0);
    QCOMPARE(kbps, bitsPerSecond / 1000);
    // Connecting left the interface as it was.
    QVERIFY(run("ip -details link show can0").contains(QString("bitrate %1 ").arg(bitsPerSecond)));
    setRate(250000);
}

void SocketCanTest::setupChangesRateAsAdministrator()
{
    if (::geteuid() != 0)
        QSKIP("needs the administrator");
    setRate(250000);
    Library l;
    QVERIFY(l.open("can0"));
    RecordingMessageReporter messages;
    SetupController setup(*l.library, messages, "0");
    setup.initialise();
    QCOMPARE(setup.controls().presetText, std::string("250"));
    // OK without a change of rate leaves the interface alone.
    QVERIFY(setup.ok());
    QCOMPARE(run("ip -statistics -details link show can0").count("bitrate 250000 "), 1);

    setup.presetChosen(4); // "500"
    QVERIFY(setup.ok());
    QVERIFY(run("ip -details link show can0").contains("bitrate 500000 "));
    QVERIFY(run("ip link show can0").contains(",UP"));
    std::int32_t kbps = 0;
    QCOMPARE(int(l.library->readBusBitrate(kbps)), 0);
    QCOMPARE(kbps, 500);
    // The interface went down and up for it: no removal, still receiving.
    QTest::qWait(1500);
    QVERIFY(l.recorder.removals().empty());
    run("ip link set can1 down && ip link set can1 type can bitrate 500000 && "
        "ip link set can1 up && cansend can1 555#55");
    QVERIFY(l.recorder.waitFor([&] { return !l.received().empty(); }, Patience));
    setRate(250000);
}

void SocketCanTest::setupRefusesRateWithoutRight()
{
    if (::geteuid() == 0)
        QSKIP("needs a user without the right to configure interfaces");
    Library l;
    QVERIFY(l.open("can0"));
    RecordingMessageReporter messages;
    SetupController setup(*l.library, messages, "0");
    setup.initialise();
    QCOMPARE(setup.controls().presetText, std::string("250"));
    setup.presetChosen(5); // "1000"
    QVERIFY(!setup.ok());
    QCOMPARE(messages.messages.size(), std::size_t{1});
    const std::string &text = messages.messages[0].text;
    QVERIFY2(text.find("ip link set can0 down; ip link set can0 type can bitrate 1000000; "
                       "ip link set can0 up")
                 != std::string::npos,
             text.c_str());
    QVERIFY(run("ip -details link show can0").contains("bitrate 250000 "));
    // Nothing stored either: the next Setup still shows the interface's rate.
    SetupController again(*l.library, messages, "0");
    again.initialise();
    QCOMPARE(again.controls().presetText, std::string("250"));
}

void SocketCanTest::errorFramesReachErrorStatus_data()
{
    using namespace SocketCanErrors;
    QTest::addColumn<quint32>("errorClass");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("tec");
    QTest::addColumn<int>("rec");
    QTest::addColumn<int>("lec");
    QTest::addColumn<int>("mode");
    // data: controller status, protocol type, location, ..., TEC, REC
    QTest::newRow("stuff error with counters")
        << quint32(ProtocolViolation | CountersPresent) << QByteArray::fromHex("0000040000000810")
        << 8 << 16 << 1 << 0;
    QTest::newRow("no acknowledgement")
        << quint32(NoAcknowledge) << QByteArray(8, 0) << 0 << 0 << 3 << 0;
    QTest::newRow("error passive") << quint32(ControllerProblem | CountersPresent)
                                   << QByteArray::fromHex("0020000000008000") << 128 << 0 << 0 << 1;
    QTest::newRow("bus off") << quint32(BusOff) << QByteArray(8, 0) << 0 << 0 << 0 << 4;
}

void SocketCanTest::errorFramesReachErrorStatus()
{
    QFETCH(quint32, errorClass);
    QFETCH(QByteArray, data);
    QFETCH(int, tec);
    QFETCH(int, rec);
    QFETCH(int, lec);
    QFETCH(int, mode);
    Library l;
    QVERIFY(l.open("vcan0"));
    can_frame frame{};
    frame.can_id = CAN_ERR_FLAG | errorClass;
    frame.len = 8;
    std::memcpy(frame.data, data.constData(), 8);
    QVERIFY(writeRaw("vcan0", frame));
    QVERIFY(l.recorder.waitFor([&] { return !l.recorder.statuses().empty(); }, Patience));
    const CAN_ErrorStatus status = l.recorder.statuses().back();
    QCOMPARE(int(status.tec), tec);
    QCOMPARE(int(status.rec), rec);
    QCOMPARE(int(status.lec), lec);
    QCOMPARE(int(status.errorMode), mode);
}

void SocketCanTest::fdFramesAreCountedNotCaptured()
{
    Library l;
    QVERIFY(l.open("vcan0"));
    run("cansend vcan0 123##1112233445566778899AABBCCDDEEFF00");
    run("cansend vcan0 7FF##0AA");
    run("cansend vcan0 456#0102");
    QVERIFY(l.recorder.waitFor([&] { return !l.received().empty(); }, Patience));
    QTest::qWait(300);
    QCOMPARE(l.received().size(), std::size_t{1});
    QCOMPARE(l.received()[0].id, 0x456U);
    QCOMPARE(l.library->framesLeftOut(), std::uint64_t{2});
    QCOMPARE(l.recorder.notices().size(), std::size_t{1});
    QVERIFY(l.recorder.notices()[0].find("classic") != std::string::npos);
}

void SocketCanTest::downAndUpAreRemovalAndArrival()
{
    Library l;
    l.library->registerDeviceNotification(VexoDeviceLibrary::InterfaceClass, &l.recorder);
    QVERIFY(l.open("can0"));
    const std::string path = VexoDeviceLibrary::devicePath(idOf("can0"));
    run("ip link set can0 down");
    QVERIFY(l.recorder.waitFor(
        [&] {
            const auto r = l.recorder.removals();
            return std::count(r.begin(), r.end(), path) == 1;
        },
        Patience));
    std::int32_t count = 0;
    l.library->DevGetDeviceCount(count);
    QCOMPARE(indexOf(*l.library, idOf("can0")), -1);
    run("ip link set can0 up");
    QVERIFY(l.recorder.waitFor(
        [&] {
            const auto a = l.recorder.arrivals();
            return std::count(a.begin(), a.end(), path) == 1;
        },
        Patience));
    QVERIFY(indexOf(*l.library, idOf("can0")) >= 0);
}

void SocketCanTest::unbindIsRemoval()
{
    Library l;
    l.library->registerDeviceNotification(VexoDeviceLibrary::InterfaceClass, &l.recorder);
    QVERIFY(l.open("can0"));
    const QString device = run("readlink -f /sys/class/net/can0/device").trimmed();
    QVERIFY(!device.isEmpty());
    const QString address = device.section('/', -1);
    run(QStringLiteral("echo %1 > %2/driver/unbind").arg(address, device));
    const std::string path = VexoDeviceLibrary::devicePath(idOf("can0"));
    QVERIFY(l.recorder.waitFor(
        [&] {
            const auto r = l.recorder.removals();
            return std::find(r.begin(), r.end(), path) != r.end();
        },
        Patience));
    // A send to the vanished interface fails quietly.
    l.library->DevSendFrame(frameOf(StdData, 1, 1, {1}));
    l.library->DevClose();
}

QTEST_GUILESS_MAIN(SocketCanTest)
#include "tst_socketcan.moc"
