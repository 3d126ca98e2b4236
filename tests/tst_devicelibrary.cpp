// The device library against its users' expectations: one conformance suite
// run on a built-in virtual adapter and on a Qt virtual CAN bus interface,
// then what only the virtual adapters do (unplugging, stored settings), and a
// peer nobody here wrote: Qt's canbusutil listening on the virtual CAN bus.
//
// Qt's virtual CAN bus runs on a private port chosen once for this executable.

#include "capture/WindowMessages.h"
#include "device/CanBusAdapters.h"
#include "device/CanBusPort.h"
#include "device/DeviceLibraryFactory.h"
#include "device/SocketCanLink.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"

#include "AdapterIndex.h"
#include "NotificationRecorder.h"
#include "VirtualCanServer.h"

#include <QCanBus>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

CAN_Frame frameOf(std::uint8_t type, std::uint32_t id, std::vector<std::uint8_t> data,
                  std::uint8_t dlc = 0xFF)
{
    CAN_Frame frame;
    frame.type = type;
    frame.id = id;
    frame.dlc = dlc == 0xFF ? static_cast<std::uint8_t>(data.size()) : dlc;
    std::copy(data.begin(), data.end(), frame.data);
    return frame;
}

auto sentWithId(std::uint32_t id)
{
    return [id](const CAN_Frame &f) { return f.id == id && (f.type & FrameType::Transmitted); };
}

double secondsOf(const CAN_Frame &f)
{
    return f.timestampHigh + f.timestampLow / 1e6;
}

// Waits for a condition on what the library posts, running the event loop
// meanwhile (Qt CAN devices of the test live in this thread).
bool waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, 15000);
}

} // namespace

// --- the conformance suite --------------------------------------------------

class DeviceConformance : public QObject {
    Q_OBJECT

protected:
    // The library under test, on the given data directory.
    virtual std::unique_ptr<DeviceLibrary> createLibrary(const QString &dataDirectory) = 0;
    // The adapter the suite uses.
    virtual std::string adapterId() const = 0;
    // A frame another node on the bus sends now or soon, to trigger the
    // response function; sendFromPeer puts it on the bus where the bus does
    // not send it by itself.
    virtual CAN_Frame triggerFrame() const = 0;
    virtual void sendFromPeer(const CAN_Frame &frame) = 0;
    // The rate the adapter's bus runs at before anything was stored for it;
    // -1 when it cannot tell.
    virtual int busKbpsAtFirst() const = 0;

    int busKbps(DeviceLibrary &library)
    {
        std::int32_t kbps = 0;
        return library.readBusBitrate(kbps) == DevSuccess ? kbps : -1;
    }

    void openAndStart()
    {
        m_library = createLibrary(m_data->path());
        m_library->DevSetNotifyWindow(&m_recorder);
        const int index = indexOf(*m_library, adapterId());
        QVERIFY(index >= 0);
        QCOMPARE(int(m_library->DevOpen(index)), 0);
        QCOMPARE(int(m_library->DevStart(1)), 0);
    }

private slots:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_data->isValid());
        m_recorder.clear();
    }

    void cleanup()
    {
        if (m_library)
            m_library->DevRelease();
        m_library.reset();
    }

    void openCloseAndReopen()
    {
        openAndStart();
        QCOMPARE(int(m_library->DevClose()), 0);
        // Operations on a closed adapter fail instead of acting.
        QVERIFY(m_library->DevSendFrame(frameOf(0x14, 0x100, {1})) != 0);
        QCOMPARE(int(m_library->DevOpen(indexOf(*m_library, adapterId()))), 0);
        QCOMPARE(int(m_library->DevStart(1)), 0);
        QCOMPARE(int(m_library->DevSendFrame(frameOf(0x14, 0x101, {1}))), 0);
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(0x101)).empty(); }));
    }

    void openedElsewhereIsInUse()
    {
        openAndStart();
        auto other = createLibrary(m_data->path());
        const int index = indexOf(*other, adapterId());
        QCOMPARE(int(other->DevOpen(index)), int(DevInUse));
        m_library->DevClose();
        QCOMPARE(int(other->DevOpen(index)), 0);
        other->DevClose();
    }

    void transmittedFramesComeBackMarked_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<unsigned>("id");
        QTest::addColumn<int>("dlc");
        QTest::newRow("std data") << 0x14 << 0x123U << 3;
        QTest::newRow("std remote") << 0x15 << 0x321U << 4;
        QTest::newRow("ext data") << 0x16 << 0x1ABCDEF0U << 8;
        QTest::newRow("ext remote") << 0x17 << 0x1234567U << 0;
        QTest::newRow("std data no bytes") << 0x14 << 0x7FFU << 0;
    }
    void transmittedFramesComeBackMarked()
    {
        QFETCH(int, type);
        QFETCH(unsigned, id);
        QFETCH(int, dlc);
        openAndStart();
        const CAN_Frame sent = frameOf(static_cast<std::uint8_t>(type), id,
                                       {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88},
                                       static_cast<std::uint8_t>(dlc));
        QCOMPARE(int(m_library->DevSendFrame(sent)), 0);
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(id)).empty(); }));
        const CAN_Frame echo = m_recorder.framesWhere(sentWithId(id)).front();
        QCOMPARE(int(echo.type), type);
        QCOMPARE(int(echo.dlc), dlc);
        const bool remote = type & FrameType::Remote;
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(echo.data[i]), !remote && i < dlc ? int(sent.data[i]) : 0);
        QCOMPARE(m_recorder.frames().back().message, WM_FRAME_NOTIFY);
    }

    void framesThatCannotBeSentAreRefused_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<unsigned>("id");
        QTest::addColumn<int>("dlc");
        QTest::newRow("std id too large") << 0x14 << 0x800U << 1;
        QTest::newRow("ext id too large") << 0x16 << 0x20000000U << 1;
        QTest::newRow("dlc 9") << 0x14 << 0x100U << 9;
    }
    void framesThatCannotBeSentAreRefused()
    {
        QFETCH(int, type);
        QFETCH(unsigned, id);
        QFETCH(int, dlc);
        openAndStart();
        QVERIFY(m_library->DevSendFrame(frameOf(static_cast<std::uint8_t>(type), id, {},
                                                static_cast<std::uint8_t>(dlc)))
                != 0);
    }

    void timeStampsCountFromStart()
    {
        openAndStart();
        for (std::uint32_t n = 0; n < 5; ++n)
            m_library->DevSendFrame(frameOf(0x14, 0x200 + n, {std::uint8_t(n)}));
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(0x204)).empty(); }));
        double previous = 0;
        for (std::uint32_t n = 0; n < 5; ++n) {
            const double t = secondsOf(m_recorder.framesWhere(sentWithId(0x200 + n)).front());
            QVERIFY(t >= previous);
            QVERIFY2(t < 60, "time stamps start at DevStart");
            previous = t;
        }
        for (const auto &f : m_recorder.frames())
            QVERIFY(f.frame.timestampLow < 1'000'000);
    }

    void periodicRowsStartChangeAndStop()
    {
        openAndStart();
        QCOMPARE(int(m_library->DevSetPeriodicFrame(2, frameOf(0x16, 0x1555555, {0xAA, 0xBB}))), 0);
        QCOMPARE(int(m_library->DevSetPeriod(2, 20)), 0);
        QCOMPARE(int(m_library->DevEnablePeriodic(2, 1)), 0);
        auto rows = [&] { return m_recorder.framesWhere(sentWithId(0x1555555)); };
        // The typical gap between the row's frames, by their time stamps.
        auto medianGap = [&](std::size_t from) {
            const auto frames = rows();
            std::vector<double> gaps;
            for (std::size_t k = from + 1; k < frames.size(); ++k)
                gaps.push_back(secondsOf(frames[k]) - secondsOf(frames[k - 1]));
            std::sort(gaps.begin(), gaps.end());
            return gaps.empty() ? 0.0 : gaps[gaps.size() / 2];
        };
        QVERIFY(waitFor([&] { return rows().size() >= 7; }));
        const double fast = medianGap(0);
        // Far from the 100 ms a row has before its period is set; a loaded
        // machine may make a real-time interface skip a cycle now and then.
        QVERIFY2(fast > 0.015 && fast < 0.050, qPrintable(QString::number(fast)));

        // A longer period takes over while the row runs.
        QCOMPARE(int(m_library->DevSetPeriod(2, 80)), 0);
        const std::size_t before = rows().size();
        QVERIFY(waitFor([&] { return rows().size() >= before + 6; }));
        const double slow = medianGap(before);
        QVERIFY2(slow > 0.070 && slow < 0.5, qPrintable(QString::number(slow)));

        // Stopped: a frame sent afterwards is the last word of the row.
        QCOMPARE(int(m_library->DevEnablePeriodic(2, 0)), 0);
        m_library->DevSendFrame(frameOf(0x14, 0x0AA, {1}));
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(0x0AA)).empty(); }));
        const std::size_t stopped = rows().size();
        QTest::qWait(250);
        QCOMPARE(rows().size(), stopped);
    }

    void periodicRowsRefuseBadArguments()
    {
        openAndStart();
        QVERIFY(m_library->DevSetPeriodicFrame(4, frameOf(0x14, 0x100, {})) != 0);
        QVERIFY(m_library->DevSetPeriod(-1, 100) != 0);
        QVERIFY(m_library->DevSetPeriod(0, 0) != 0);
        QVERIFY2(m_library->DevEnablePeriodic(3, 1) != 0, "no frame loaded");
    }

    void responseArmedAndDisarmed()
    {
        openAndStart();
        const CAN_Frame trigger = triggerFrame();
        const CAN_Frame response = frameOf(0x14, 0x456, {0x12, 0x34});
        QCOMPARE(int(m_library->DevSetResponse(1, trigger, response)), 0);
        auto answers = [&] { return m_recorder.framesWhere(sentWithId(0x456)); };
        sendFromPeer(trigger);
        QVERIFY(waitFor([&] { return !answers().empty(); }));
        QCOMPARE(int(answers().front().type), 0x14);
        QCOMPARE(int(answers().front().data[1]), 0x34);

        QCOMPARE(int(m_library->DevSetResponse(0, trigger, response)), 0);
        m_library->DevSendFrame(frameOf(0x14, 0x0AB, {1}));
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(0x0AB)).empty(); }));
        const std::size_t disarmed = answers().size();
        const auto triggersBefore =
            m_recorder
                .framesWhere([&](const CAN_Frame &f) {
                    return !(f.type & FrameType::Transmitted) && f.id == trigger.id;
                })
                .size();
        sendFromPeer(trigger);
        QVERIFY(waitFor([&] {
            return m_recorder
                       .framesWhere([&](const CAN_Frame &f) {
                           return !(f.type & FrameType::Transmitted) && f.id == trigger.id;
                       })
                       .size()
                > triggersBefore;
        }));
        m_library->DevSendFrame(frameOf(0x14, 0x0AC, {1}));
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(0x0AC)).empty(); }));
        QCOMPARE(answers().size(), disarmed);
    }

    void pauseHoldsEverythingBack()
    {
        openAndStart();
        QCOMPARE(int(m_library->DevSetPause(1)), 0);
        for (std::uint8_t n = 0; n < 50; ++n)
            m_library->DevSendFrame(frameOf(0x14, 0x300, {n}));
        // A frame after the 50 is the marker that they have all been sent.
        m_library->DevSendFrame(frameOf(0x14, 0x301, {}));
        QTest::qWait(300);
        QVERIFY(m_recorder.framesWhere(sentWithId(0x300)).empty());
        QCOMPARE(int(m_library->DevSetPause(0)), 0);
        QVERIFY(waitFor([&] { return !m_recorder.framesWhere(sentWithId(0x301)).empty(); }));
        const auto held = m_recorder.framesWhere(sentWithId(0x300));
        QCOMPARE(held.size(), std::size_t(50));
        for (std::uint8_t n = 0; n < 50; ++n)
            QCOMPARE(int(held[n].data[0]), int(n));
        // The burst ends on a frame the screen follows.
        QVERIFY(waitFor([&] { return m_recorder.frames().back().hint == DisplayHint::ShowNow; }));
    }

    void errorStatusOnRequest()
    {
        openAndStart();
        QCOMPARE(int(m_library->DevRequestErrorStatus()), 0);
        QVERIFY(waitFor([&] { return !m_recorder.statuses().empty(); }));
        QVERIFY(m_recorder.statuses().back().errorMode < 8);
    }

    void storedSettingsSurviveReopening()
    {
        openAndStart();
        CAN_Timing timing;
        QCOMPARE(int(m_library->DevCalcTiming(250'000, timing)), 0);
        const std::uint8_t zero[ConfigReservedSize] = {};
        QCOMPARE(busKbps(*m_library), busKbpsAtFirst());
        QCOMPARE(
            int(m_library->DevWriteConfig(timing, zero, AdapterOption::AutomaticBusOffRecovery)),
            0);
        // Only stored: the open bus keeps its rate until the adapter is opened again.
        QCOMPARE(busKbps(*m_library), busKbpsAtFirst());
        const std::uint8_t serial[SerialFieldSize] = {'0', '0', '1', '2', '3',
                                                      '4', '5', '6', '7', '8'};
        QCOMPARE(int(m_library->DevSetSerial(serial, SerialFieldSize)), 0);
        m_library->DevClose();

        auto again = createLibrary(m_data->path());
        const int index = indexOf(*again, adapterId());
        char buffer[SerialBufferSize] = {};
        QCOMPARE(int(again->DevGetSerial(index, buffer, sizeof buffer)), 0);
        QCOMPARE(QByteArray(buffer), QByteArray("0012345678"));
        QCOMPARE(int(again->DevOpen(index)), 0);
        CAN_Timing read;
        std::uint8_t reserved[ConfigReservedSize];
        std::uint8_t options = 0;
        QCOMPARE(int(again->DevReadConfig(read, reserved, options)), 0);
        QVERIFY(read == timing);
        QCOMPARE(int(options), int(AdapterOption::AutomaticBusOffRecovery));
        std::int32_t kbps = 0;
        QCOMPARE(int(again->DevTimingToBitrate(kbps, read)), 0);
        QCOMPARE(kbps, 250);
        QCOMPARE(busKbps(*again), 250);
        again->DevClose();
    }

    void badSerialAndTimingAreRefused()
    {
        openAndStart();
        const std::uint8_t blank[SerialFieldSize] = {' ', '1'};
        QVERIFY(m_library->DevSetSerial(blank, SerialFieldSize) != 0);
        QVERIFY(m_library->DevSetSerial(nullptr, SerialFieldSize) != 0);
        const std::uint8_t zero[ConfigReservedSize] = {};
        QVERIFY(m_library->DevWriteConfig(CAN_Timing{0, 0, 13, 2, 0}, zero, 0) != 0);
    }

protected:
    NotificationRecorder m_recorder;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<DeviceLibrary> m_library;
};

// A built-in adapter: the simulated vehicle network, whose diagnostic node
// polls node 0x0E0 with a remote frame twice a second.
class VirtualAdapterConformance : public DeviceConformance {
    Q_OBJECT
protected:
    std::unique_ptr<DeviceLibrary> createLibrary(const QString &dataDirectory) override
    {
        DeviceLibrarySetup setup;
        setup.dataDirectory = dataDirectory;
        setup.canBusAdapters = false;
        return createDeviceLibrary(setup);
    }
    std::string adapterId() const override { return VirtualAdapters::VehicleId; }
    CAN_Frame triggerFrame() const override { return frameOf(0x05, 0x0E0, {}, 4); }
    void sendFromPeer(const CAN_Frame &) override { }
    int busKbpsAtFirst() const override { return 500; }
};

// An interface of Qt's virtual CAN bus, with a second Qt device as the peer.
class CanBusConformance : public DeviceConformance {
    Q_OBJECT
protected:
    std::unique_ptr<DeviceLibrary> createLibrary(const QString &dataDirectory) override
    {
        DeviceLibrarySetup setup;
        setup.dataDirectory = dataDirectory;
        setup.virtualAdapters = false;
        setup.plugins = {QStringLiteral("virtualcan")};
        setup.virtualCanServer = virtualCanServer();
        return createDeviceLibrary(setup);
    }
    std::string adapterId() const override { return "VCCAN0___"; }
    CAN_Frame triggerFrame() const override { return frameOf(0x06, 0x1CDA00F1, {0x02, 0x10}); }
    // The virtual CAN bus has no rate of its own; it takes the one it is given.
    int busKbpsAtFirst() const override { return -1; }
    // The peer is a second library on the same bus (canbusutil cannot send
    // on the virtual bus: it writes before its connection is up).
    void sendFromPeer(const CAN_Frame &frame) override
    {
        if (!m_peer) {
            m_peerData = std::make_unique<QTemporaryDir>();
            m_peer = createLibrary(m_peerData->path());
            QCOMPARE(int(m_peer->DevOpen(indexOf(*m_peer, adapterId()))), 0);
            QCOMPARE(int(m_peer->DevStart(1)), 0);
        }
        QCOMPARE(int(m_peer->DevSendFrame(frame)), 0);
    }

private slots:
    void cleanupTestCase()
    {
        m_peer.reset();
        m_peerData.reset();
    }

private:
    std::unique_ptr<QTemporaryDir> m_peerData;
    std::unique_ptr<DeviceLibrary> m_peer;
};

// --- what only the library as a whole does ------------------------------------

class DeviceLibraryTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_data->isValid());
    }

    void vendorPluginWithoutItsLibrary_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::newRow("PEAK (fails to list)") << QStringLiteral("peakcan");
        QTest::newRow("Tiny-CAN (lists an interface it cannot open)") << QStringLiteral("tinycan");
    }
    void vendorPluginWithoutItsLibrary()
    {
        // Without its vendor's library a plugin lists nothing, and the
        // library is looked for once, not at every listing.
        QFETCH(QString, plugin);
        if (!QCanBus::instance()->plugins().contains(plugin))
            QSKIP("the plugin is not installed");
        static int complaints = 0;
        complaints = 0;
        const auto previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &message) {
                if (message.contains(QLatin1String("Cannot load library")))
                    ++complaints;
            });
        CanBusAdapters adapters({plugin});
        std::vector<std::vector<AdapterDescription>> listings;
        for (int i = 0; i < 3; ++i)
            listings.push_back(adapters.adapters());
        qInstallMessageHandler(previous);
        if (complaints == 0)
            QSKIP("the vendor's library is installed");
        QCOMPARE(complaints, 1);
        for (const auto &listing : listings)
            QVERIFY(listing.empty());
    }

    void listsVirtualAdaptersFirstThenInterfaces()
    {
        DeviceLibrarySetup setup;
        setup.dataDirectory = m_data->path();
        setup.plugins = {QStringLiteral("virtualcan")};
        setup.virtualCanServer = virtualCanServer();
        auto library = createDeviceLibrary(setup);
        std::int32_t count = 0;
        QCOMPARE(int(library->DevGetDeviceCount(count)), 0);
        QCOMPARE(count, 5);
        const char *ids[] = {"VXVIRT001", "VXVIRT002", "VXVIRT003", "VCCAN0___", "VCCAN1___"};
        for (int i = 0; i < count; ++i) {
            char id[InstanceIdBufferSize] = {};
            char product[ProductNameBufferSize] = {};
            char serial[SerialBufferSize] = {};
            QCOMPARE(int(library->DevGetInstanceId(i, id, sizeof id)), 0);
            QCOMPARE(int(library->DevGetProductName(i, product, sizeof product)), 0);
            QCOMPARE(int(library->DevGetSerial(i, serial, sizeof serial)), 0);
            QCOMPARE(QByteArray(id), QByteArray(ids[i]));
            QVERIFY(std::strlen(product) > 0);
            QVERIFY(std::strlen(serial) > 0);
            // The removal key of the adapter's device path is its identifier.
            const std::string path = VexoDeviceLibrary::devicePath(id);
            QCOMPARE(QByteArray::fromStdString(path.substr(26, 9)), QByteArray(id));
        }
        char tooFar[InstanceIdBufferSize] = "x";
        QVERIFY(library->DevGetInstanceId(count, tooFar, sizeof tooFar) != 0);
        QCOMPARE(tooFar[0], '\0');
    }

    void instanceIdentifiersFitTheRemovalKey_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("id");
        QTest::newRow("socketcan can0") << "socketcan"
                                        << "can0"
                                        << "SCCAN0___";
        QTest::newRow("socketcan vcan12") << "socketcan"
                                          << "vcan12"
                                          << "SCVCAN12_";
        QTest::newRow("long name is hashed") << "socketcan"
                                             << "slcan_usb_adapter"
                                             << "";
        QTest::newRow("ampersand is hashed") << "peakcan"
                                             << "usb&1"
                                             << "";
    }
    void instanceIdentifiersFitTheRemovalKey()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, name);
        QFETCH(QString, id);
        const std::string made = CanBusAdapters::instanceIdFor(plugin, name);
        QCOMPARE(made.size(), std::size_t(9));
        for (const char c : made)
            QVERIFY((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
        if (!id.isEmpty())
            QCOMPARE(QString::fromStdString(made), id);
        QVERIFY(made != CanBusAdapters::instanceIdFor(plugin, name + QLatin1Char('x')));
    }

    void busBitrateAfterConnecting_data()
    {
        QTest::addColumn<int>("requested"); // 0: nothing stored
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("reported"); // 0: the kernel cannot tell
        QTest::addColumn<int>("expected"); // 0: unknown
        QTest::newRow("taken without objection") << 250'000 << false << 0 << 250'000;
        QTest::newRow("refused, rate unknown") << 250'000 << true << 0 << 0;
        QTest::newRow("refused, the kernel's rate") << 250'000 << true << 500'000 << 500'000;
        QTest::newRow("the kernel adjusted it") << 83'000 << false << 83'333 << 83'333;
        QTest::newRow("nothing stored, the kernel's rate") << 0 << false << 125'000 << 125'000;
        QTest::newRow("nothing stored, unknown") << 0 << false << 0 << 0;
    }
    void busBitrateAfterConnecting()
    {
        QFETCH(int, requested);
        QFETCH(bool, refused);
        QFETCH(int, reported);
        QFETCH(int, expected);
        auto optional = [](int v) {
            return v != 0 ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(v))
                          : std::nullopt;
        };
        QCOMPARE(CanBusPort::connectedBitrate(optional(requested), refused, optional(reported)),
                 optional(expected));
    }

    void socketCanRateOfAMissingInterface_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("no such interface") << "vexonone0";
        QTest::newRow("empty name") << "";
        QTest::newRow("longer than an interface name") << "abcdefghijklmnopqrstuvwxyz";
    }
    void socketCanRateOfAMissingInterface()
    {
        QFETCH(QString, name);
        QCOMPARE(SocketCanLink::bitrate(name.toStdString()), std::optional<std::uint32_t>());
    }

    void unplugWhileOpen()
    {
        VexoDeviceLibrary::Options options;
        options.dataDirectory = m_data->path().toStdString();
        options.watchInterval = std::chrono::milliseconds(50);
        std::vector<std::unique_ptr<AdapterProvider>> providers;
        providers.push_back(std::make_unique<VirtualAdapters>());
        VexoDeviceLibrary library(options, std::move(providers));
        NotificationRecorder recorder;
        library.DevSetNotifyWindow(&recorder);
        library.registerDeviceNotification(library.DevGetInterfaceClass(), &recorder);

        QCOMPARE(int(library.DevOpen(indexOf(library, VirtualAdapters::QuietId))), 0);
        QCOMPARE(int(library.DevStart(1)), 0);
        library.DevSetPeriodicFrame(0, frameOf(0x14, 0x010, {1}));
        library.DevSetPeriod(0, 5);
        library.DevEnablePeriodic(0, 1);
        QVERIFY(waitFor([&] { return recorder.frames().size() >= 3; }));

        QVERIFY(library.setVirtualAdapterPresent(VirtualAdapters::QuietId, false));
        QVERIFY(waitFor([&] { return !recorder.removals().empty(); }));
        QCOMPARE(QByteArray::fromStdString(recorder.removals().front().substr(26, 9)),
                 QByteArray(VirtualAdapters::QuietId));
        QCOMPARE(recorder.removals().size(), std::size_t(1));
        // The adapter is gone: it sends nothing more and refuses to.
        QVERIFY(library.DevSendFrame(frameOf(0x14, 0x011, {})) != 0);
        QTest::qWait(100);
        const auto frames = recorder.frames().size();
        QTest::qWait(100);
        QCOMPARE(recorder.frames().size(), frames);
        std::int32_t count = 0;
        library.DevGetDeviceCount(count);
        QCOMPARE(count, 2);
        QCOMPARE(int(library.DevClose()), 0);

        QVERIFY(library.setVirtualAdapterPresent(VirtualAdapters::QuietId, true));
        QVERIFY(!library.setVirtualAdapterPresent("VCCAN0___", false));
        QVERIFY(waitFor([&] { return !recorder.arrivals().empty(); }));
        QCOMPARE(QByteArray::fromStdString(recorder.arrivals().front().substr(26, 9)),
                 QByteArray(VirtualAdapters::QuietId));
        QCOMPARE(int(library.DevOpen(indexOf(library, VirtualAdapters::QuietId))), 0);
        library.DevRelease();
    }

    void damagedSettingsFileGivesDefaults()
    {
        QDir(m_data->path()).mkpath(QStringLiteral("adapters"));
        QFile file(m_data->path() + QStringLiteral("/adapters/VXVIRT002.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("serial=77\nbtr=9999\n\x01\x02garbage");
        file.close();
        DeviceLibrarySetup setup;
        setup.dataDirectory = m_data->path();
        setup.canBusAdapters = false;
        auto library = createDeviceLibrary(setup);
        const int index = indexOf(*library, VirtualAdapters::QuietId);
        char serial[SerialBufferSize] = {};
        QCOMPARE(int(library->DevGetSerial(index, serial, sizeof serial)), 0);
        QCOMPARE(QByteArray(serial), QByteArray("1000000002"));
        QCOMPARE(int(library->DevOpen(index)), 0);
        CAN_Timing timing;
        std::uint8_t reserved[ConfigReservedSize];
        std::uint8_t options = 0;
        QCOMPARE(int(library->DevReadConfig(timing, reserved, options)), 0);
        std::int32_t kbps = 0;
        library->DevTimingToBitrate(kbps, timing);
        QCOMPARE(kbps, 500);
        // What the user had is kept aside, not lost.
        QVERIFY(QFile::exists(m_data->path() + QStringLiteral("/adapters/VXVIRT002.conf.damaged")));
        library->DevRelease();
    }

    void everyVirtualAdapterDelivers_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("busBySelf");
        QTest::newRow("vehicle") << VirtualAdapters::VehicleId << true;
        QTest::newRow("quiet") << VirtualAdapters::QuietId << false;
        QTest::newRow("saturated") << VirtualAdapters::SaturatedId << true;
    }
    void everyVirtualAdapterDelivers()
    {
        QFETCH(QString, id);
        QFETCH(bool, busBySelf);
        DeviceLibrarySetup setup;
        setup.dataDirectory = m_data->path();
        setup.canBusAdapters = false;
        auto library = createDeviceLibrary(setup);
        NotificationRecorder recorder;
        library->DevSetNotifyWindow(&recorder);
        QCOMPARE(int(library->DevOpen(indexOf(*library, id.toStdString()))), 0);
        QCOMPARE(int(library->DevStart(1)), 0);
        library->DevSendFrame(frameOf(0x14, 0x001, {0x42}));
        QVERIFY(waitFor([&] { return !recorder.framesWhere(sentWithId(0x001)).empty(); }));
        if (busBySelf) {
            QVERIFY(waitFor([&] {
                return recorder
                           .framesWhere([](const CAN_Frame &f) {
                               return !(f.type & FrameType::Transmitted);
                           })
                           .size()
                    >= 20;
            }));
        }
        library->DevRelease();
    }

    void canbusutilPrintsWhatWeSend()
    {
        const QString canbusutil = canbusutilPath();
        if (canbusutil.isEmpty())
            QSKIP("canbusutil is not installed");

        DeviceLibrarySetup setup;
        setup.dataDirectory = m_data->path();
        setup.virtualAdapters = false;
        setup.plugins = {QStringLiteral("virtualcan")};
        setup.virtualCanServer = virtualCanServer();
        auto library = createDeviceLibrary(setup);
        QCOMPARE(int(library->DevOpen(indexOf(*library, "VCCAN0___"))), 0);
        QCOMPARE(int(library->DevStart(1)), 0);

        CanbusutilListener listener(canbusutil);
        QVERIFY(listener.started());
        // Until the listener is connected our frames go past it: probe.
        QTRY_VERIFY_WITH_TIMEOUT(
            (library->DevSendFrame(frameOf(0x14, 0x7EE, {})), listener.read().contains("7EE")),
            15000);

        library->DevSendFrame(frameOf(0x14, 0x123, {0xDE, 0xAD, 0xBE, 0xEF}));
        library->DevSendFrame(frameOf(0x16, 0x1ABCDEF, {0x01, 0x02}));
        library->DevSendFrame(frameOf(0x15, 0x321, {}, 3));
        const QRegularExpression expected[] = {
            QRegularExpression(QStringLiteral("\\b123\\s+\\[4\\]\\s+DE AD BE EF")),
            QRegularExpression(QStringLiteral("\\b01ABCDEF\\s+\\[2\\]\\s+01 02")),
            QRegularExpression(QStringLiteral("\\b321\\s+\\[3\\]\\s+Remote Request")),
        };
        for (const auto &pattern : expected)
            QTRY_VERIFY2_WITH_TIMEOUT(
                pattern.match(QString::fromLatin1(listener.read())).hasMatch(),
                listener.output().constData(), 10000);
        listener.stop();
        library->DevRelease();
    }

private:
    std::unique_ptr<QTemporaryDir> m_data;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The virtual CAN bus reports every connection; keep the output readable.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan=false"));
    int failures = 0;
    {
        VirtualAdapterConformance virtualAdapter;
        failures += QTest::qExec(&virtualAdapter, argc, argv);
    }
    {
        CanBusConformance canBus;
        failures += QTest::qExec(&canBus, argc, argv);
    }
    {
        DeviceLibraryTest library;
        failures += QTest::qExec(&library, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

#include "tst_devicelibrary.moc"
