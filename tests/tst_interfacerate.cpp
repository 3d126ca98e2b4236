// An interface that keeps its bit rate itself (as a SocketCAN interface does):
// the library reads the rate from it, changes it only when asked for another
// one, and says why when the interface refuses.

#include "device/BitTiming.h"
#include "device/VexoDeviceLibrary.h"

#include "AdapterIndex.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// One such interface, shared by the test and the port: its rate, how it
// answers a change, and every rate it was asked for.
class OwnRateInterface : public AdapterProvider {
public:
    static constexpr const char *Id = "SCX0_____";
    std::uint32_t rate = 250000;
    BusPort::RateChange answer = BusPort::RateChange::Changed;
    std::vector<std::uint32_t> changes;

    std::vector<AdapterDescription> adapters() override
    {
        return {{"socketcan x0", Id, {"0", {}}}};
    }
    std::unique_ptr<BusPort> open(const AdapterDescription &, const AdapterSettings &,
                                  DevStatus &status) override
    {
        status = DevSuccess;
        return std::make_unique<Port>(*this);
    }

private:
    struct Port : BusPort {
        explicit Port(OwnRateInterface &interface) : interface(interface) { }
        void transmit(const CAN_Frame &, BusTime) override { }
        BusTime nextEventTime() const override { return BusTimeNever; }
        void advanceTo(BusTime, BusObserver &) override { }
        CAN_ErrorStatus errorStatus() const override { return {}; }
        std::optional<std::uint32_t> busBitrate() const override { return interface.rate; }
        bool ownsBitrate() const override { return true; }
        RateChange changeBitrate(std::uint32_t bitsPerSecond) override
        {
            interface.changes.push_back(bitsPerSecond);
            if (interface.answer == RateChange::Changed)
                interface.rate = bitsPerSecond;
            return interface.answer;
        }
        std::string bitrateCommand(std::uint32_t bitsPerSecond) const override
        {
            return "set x0 bitrate " + std::to_string(bitsPerSecond);
        }
        OwnRateInterface &interface;
    };
};

std::int32_t configuredKbps(DeviceLibrary &library)
{
    CAN_Timing timing;
    std::uint8_t reserved[ConfigReservedSize];
    std::uint8_t options = 0;
    std::int32_t kbps = -1;
    if (library.DevReadConfig(timing, reserved, options) != DevSuccess
        || library.DevTimingToBitrate(kbps, timing) != DevSuccess)
        return -1;
    return kbps;
}

} // namespace

Q_DECLARE_METATYPE(BusPort::RateChange)

class InterfaceRateTest : public QObject {
    Q_OBJECT

private slots:
    void writeConfigChangesOnlyANewRate_data()
    {
        using Change = BusPort::RateChange;
        QTest::addColumn<int>("kbps");
        QTest::addColumn<Change>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("changes");
        QTest::addColumn<int>("rateAfter");
        QTest::addColumn<QString>("failureText");
        QTest::newRow("same rate: interface left alone")
            << 250 << Change::Changed << 0 << 0 << 250 << "";
        QTest::newRow("new rate, permitted") << 500 << Change::Changed << 0 << 1 << 500 << "";
        QTest::newRow("new rate, not permitted")
            << 500 << Change::NotPermitted << int(DevNotPermitted) << 1 << 250
            << "set x0 bitrate 500000";
        QTest::newRow("new rate, refused by the interface")
            << 1000 << Change::Failed << 1 << 1 << 250 << "1000000 bit/s";
    }
    void writeConfigChangesOnlyANewRate()
    {
        QFETCH(int, kbps);
        QFETCH(BusPort::RateChange, answer);
        QFETCH(int, status);
        QFETCH(int, changes);
        QFETCH(int, rateAfter);
        QFETCH(QString, failureText);

        QTemporaryDir data;
        auto provider = std::make_unique<OwnRateInterface>();
        OwnRateInterface &interface = *provider;
        interface.answer = answer;
        std::vector<std::unique_ptr<AdapterProvider>> providers;
        providers.push_back(std::move(provider));
        VexoDeviceLibrary library({.dataDirectory = data.path().toStdString()},
                                  std::move(providers));
        const auto open = [&] { return library.DevOpen(indexOf(library, OwnRateInterface::Id)); };
        QCOMPARE(int(open()), 0);
        QCOMPARE(configuredKbps(library), 250);

        CAN_Timing timing;
        QVERIFY(BitTiming::calculate(static_cast<std::uint32_t>(kbps) * 1000, timing));
        const std::uint8_t reserved[ConfigReservedSize] = {};
        QCOMPARE(
            int(library.DevWriteConfig(timing, reserved, AdapterOption::AutomaticBusOffRecovery)),
            status);
        QCOMPARE(int(interface.changes.size()), changes);
        QCOMPARE(configuredKbps(library), rateAfter);
        QVERIFY(QString::fromStdString(library.lastFailureText()).contains(failureText));
        QCOMPARE(library.lastFailureText().empty(), failureText.isEmpty());

        // The rate is the interface's alone: nothing of it is stored, not even
        // after reopening.
        library.DevClose();
        interface.rate = 125000;
        QCOMPARE(int(open()), 0);
        QCOMPARE(configuredKbps(library), 125);
    }
};

QTEST_GUILESS_MAIN(InterfaceRateTest)
#include "tst_interfacerate.moc"
