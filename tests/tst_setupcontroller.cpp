// The setup dialog's behaviour without widgets: reading the adapter, the bit
// rate and the timing following each other, the field checks, and what OK
// writes.

#include "device/SetupController.h"

#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"

#include <QTest>

#include <memory>

namespace {

using O = DevOrdinal;

// A timing no preset computation would give, so that a field shown from it is
// known to come from the library.
constexpr CAN_Timing Calculated{4, 1, 12, 3, 2};

struct Fixture {
    explicit Fixture(std::string frameSerial = "124")
    {
        library.calculatedTiming = Calculated;
        library.storedTiming = Calculated;
        library.samplePoint = 81.25F;
        setup = std::make_unique<SetupController>(library, messages, std::move(frameSerial));
    }

    SetupControls &c() { return setup->controls(); }
    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto &m : messages.messages)
            texts.push_back(m.text);
        return texts;
    }
    const RecordingDeviceLibrary::Call *write() const { return library.last(O::WriteConfig); }

    RecordingDeviceLibrary library;
    RecordingMessageReporter messages;
    std::unique_ptr<SetupController> setup;
};

std::vector<std::string> presets(std::initializer_list<const char *> extra = {})
{
    std::vector<std::string> items{"50", "100", "125", "250", "500", "1000"};
    items.insert(items.end(), extra.begin(), extra.end());
    return items;
}

void verifyCalculatedShown(const SetupControls &c)
{
    QCOMPARE(c.btr, std::string("4"));
    QCOMPARE(c.sjw, 1);
    QCOMPARE(c.tseg1, 11); // TSEG1 12 is the item at position 11
    QCOMPARE(c.tseg2, 3);
    QCOMPARE(c.clkDiv, 2);
    QCOMPARE(c.samplePoint, std::string("81.25 %"));
}

} // namespace

class TestSetupController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initialisation_data();
    void initialisation();
    void presetTextEdited_data();
    void presetTextEdited();
    void presetChosen_data();
    void presetChosen();
    void advancedFieldChanged_data();
    void advancedFieldChanged();
    void advancedToggles();
    void fieldChecks_data();
    void fieldChecks();
    void ok_data();
    void ok();
    void okWritesTheShownTimingAndOptions();
};

void TestSetupController::initialisation_data()
{
    QTest::addColumn<int>("storedKbps");
    QTest::addColumn<int>("readStatus");
    QTest::addColumn<int>("rateStatus");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("selection");
    QTest::addColumn<QString>("seventhItem");
    QTest::addColumn<qint64>("calculated"); // bit/s asked of DevCalcTiming; 0 none
    QTest::addColumn<QString>("message");

    QTest::newRow("500 selects 500") << 500 << 0 << 0 << 3 << 4 << "" << qint64(500'000) << "";
    QTest::newRow("83 adds a seventh item")
        << 83 << 0 << 0 << 1 << 6 << "83" << qint64(83'000) << "";
    QTest::newRow("50 is the first preset") << 50 << 0 << 0 << 2 << 0 << "" << qint64(50'000) << "";
    QTest::newRow("reading fails") << 500 << 1 << 0 << 3 << 1 << "" << qint64(0) << "Out of range";
    QTest::newRow("stored timing is invalid")
        << 500 << 0 << 1 << 3 << 1 << "" << qint64(0) << "Out of range";
}

void TestSetupController::initialisation()
{
    QFETCH(int, storedKbps);
    QFETCH(int, readStatus);
    QFETCH(int, rateStatus);
    QFETCH(int, options);
    QFETCH(int, selection);
    QFETCH(QString, seventhItem);
    QFETCH(qint64, calculated);
    QFETCH(QString, message);

    Fixture f;
    f.library.storedTiming = CAN_Timing{9, 0, 10, 4, 3};
    f.library.bitrateKbps = storedKbps;
    f.library.storedOptions = static_cast<std::uint8_t>(options);
    f.library.statuses[O::ReadConfig] = static_cast<DevStatus>(readStatus);
    f.library.statuses[O::TimingToBitrate] = static_cast<DevStatus>(rateStatus);
    f.setup->initialise();
    const SetupControls &c = f.c();

    QCOMPARE(c.serial, std::string("124"));
    QCOMPARE(c.presetItems, seventhItem.isEmpty() ? presets() : presets({qPrintable(seventhItem)}));
    QCOMPARE(c.presetSelection, selection);
    QCOMPARE(c.presetText, c.presetItems[static_cast<std::size_t>(selection)]);
    QVERIFY(!c.rateLabelEnabled);
    QVERIFY(c.rateLabel.empty());
    // Preset mode: the rate is chosen, the timing follows.
    QVERIFY(c.presetEnabled);
    QVERIFY(!c.timingEnabled);
    QVERIFY(!c.advanced);
    const bool read = readStatus == 0 && rateStatus == 0;
    QCOMPARE(c.abor, read && (options & 2) != 0);
    QCOMPARE(c.art, read && (options & 1) != 0);

    if (calculated != 0) {
        QCOMPARE(f.library.last(O::CalcTiming)->args.at(0), calculated);
        // The adapter's own timing is shown, not the one computed for its
        // rate: a timing set by hand survives an OK that changes the name.
        QCOMPARE(f.setup->shownTiming(), f.library.storedTiming);
        QCOMPARE(c.samplePoint, std::string("81.25 %"));
        QVERIFY(f.messages.messages.empty());
    } else {
        QCOMPARE(f.library.count(O::CalcTiming), 0);
        QCOMPARE(c.btr, std::string("23"));
        QCOMPARE(f.messageTexts(), std::vector<std::string>{message.toStdString()});
        QVERIFY(f.messages.messages[0].icon == MessageIcon::Error);
        QCOMPARE(f.messages.messages[0].caption, std::string("Vexo View"));
    }
    // Reading the adapter writes nothing to it.
    QCOMPARE(f.library.count(O::WriteConfig) + f.library.count(O::SetSerial), 0);
}

void TestSetupController::presetTextEdited_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("calcStatus");
    QTest::addColumn<qint64>("calculated"); // 0: DevCalcTiming not asked
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("label");

    QTest::newRow("250 fills the timing") << "250" << 0 << qint64(250'000) << "" << false;
    QTest::newRow("leading digits count") << "125abc" << 0 << qint64(125'000) << "" << false;
    QTest::newRow("empty") << "" << 0 << qint64(0) << "Out of range" << false;
    QTest::newRow("no leading digit") << "a250" << 0 << qint64(0) << "Out of range" << false;
    QTest::newRow("zero") << "0" << 0 << qint64(0) << "Out of range" << false;
    QTest::newRow("unreachable rate") << "3" << 1 << qint64(3000) << "" << true;
    QTest::newRow("too large for bit/s") << "4294968" << 1 << qint64(4'294'967'295) << "" << true;
}

void TestSetupController::presetTextEdited()
{
    QFETCH(QString, text);
    QFETCH(int, calcStatus);
    QFETCH(qint64, calculated);
    QFETCH(QString, message);
    QFETCH(bool, label);

    Fixture f;
    f.library.calculatedTiming = CAN_Timing{2, 0, 13, 2, 0};
    f.library.samplePoint = 87.5F;
    f.setup->initialise();
    const SetupControls before = f.c();
    f.library.clearCalls();
    f.library.calculatedTiming = Calculated;
    f.library.samplePoint = 81.25F;
    f.library.statuses[O::CalcTiming] = static_cast<DevStatus>(calcStatus);

    f.c().presetText = text.toStdString();
    f.setup->presetTextEdited();
    const SetupControls &c = f.c();

    QCOMPARE(f.library.count(O::CalcTiming), calculated != 0 ? 1 : 0);
    if (calculated != 0)
        QCOMPARE(f.library.last(O::CalcTiming)->args.at(0), calculated);
    QCOMPARE(c.rateLabelEnabled, label);
    QCOMPARE(c.rateLabel, std::string(label ? "Baudrate incorrect" : ""));
    if (message.isEmpty()) {
        QVERIFY(f.messages.messages.empty());
        // Typing selects nothing in the list.
        QCOMPARE(c.presetSelection, before.presetSelection);
        QCOMPARE(c.presetText, text.toStdString());
    } else {
        QCOMPARE(f.messageTexts(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(c.presetSelection, 1);
        QCOMPARE(c.presetText, std::string("100"));
    }
    if (calculated != 0 && calcStatus == 0) {
        verifyCalculatedShown(c);
    } else {
        // The timing fields keep their values.
        QCOMPARE(c.btr, before.btr);
        QCOMPARE(c.tseg1, before.tseg1);
        QCOMPARE(c.samplePoint, before.samplePoint);
    }
}

void TestSetupController::presetChosen_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("calcStatus");
    QTest::addColumn<qint64>("calculated");
    QTest::addColumn<QString>("message");

    QTest::newRow("125 chosen") << 2 << 0 << qint64(125'000) << "";
    QTest::newRow("1000 chosen") << 5 << 0 << qint64(1'000'000) << "";
    QTest::newRow("not reachable") << 0 << 1 << qint64(50'000) << "Calc Fail";
}

void TestSetupController::presetChosen()
{
    QFETCH(int, index);
    QFETCH(int, calcStatus);
    QFETCH(qint64, calculated);
    QFETCH(QString, message);

    Fixture f;
    f.library.calculatedTiming = CAN_Timing{2, 0, 13, 2, 0};
    f.setup->initialise();
    const SetupControls before = f.c();
    f.library.calculatedTiming = Calculated;
    f.library.statuses[O::CalcTiming] = static_cast<DevStatus>(calcStatus);

    f.setup->presetChosen(index);
    const SetupControls &c = f.c();
    QCOMPARE(f.library.last(O::CalcTiming)->args.at(0), calculated);
    QCOMPARE(c.presetSelection, index);
    QCOMPARE(c.presetText, c.presetItems[static_cast<std::size_t>(index)]);
    // A choice that fails says so in a box, not in the label.
    QVERIFY(!c.rateLabelEnabled);
    if (message.isEmpty()) {
        QVERIFY(f.messages.messages.empty());
        verifyCalculatedShown(c);
    } else {
        QCOMPARE(f.messageTexts(), std::vector<std::string>{message.toStdString()});
        QVERIFY(f.messages.messages[0].icon == MessageIcon::Error);
        QCOMPARE(c.btr, before.btr);
        QCOMPARE(c.tseg1, before.tseg1);
    }
}

void TestSetupController::advancedFieldChanged_data()
{
    QTest::addColumn<int>("rateStatus");
    QTest::addColumn<QString>("presetText");
    QTest::addColumn<bool>("label");

    QTest::newRow("TSEG1 13 gives a rate") << 0 << "333" << false;
    // Left open by the dialog's description: an empty box and the label,
    // rather than a rate the timing no longer has.
    QTest::newRow("timing without a rate") << 1 << "" << true;
}

void TestSetupController::advancedFieldChanged()
{
    QFETCH(int, rateStatus);
    QFETCH(QString, presetText);
    QFETCH(bool, label);

    Fixture f;
    f.setup->initialise();
    f.c().advanced = true;
    f.setup->advancedToggled();
    f.library.clearCalls();
    f.library.bitrateKbps = 333;
    f.library.samplePoint = 93.75F;
    f.library.statuses[O::TimingToBitrate] = static_cast<DevStatus>(rateStatus);

    f.c().tseg1 = 12; // the item "13"
    f.setup->timingFieldChanged();
    const SetupControls &c = f.c();

    QCOMPARE(f.library.ordinals(), (std::vector<O>{O::TimingToBitrate, O::SamplePoint}));
    // The timing asked about: BTR 4, SJW 1, TSEG1 13, TSEG2 3, ClkDiv 2.
    QCOMPARE(f.library.last(O::TimingToBitrate)->args, (std::vector<std::int64_t>{4, 1, 13, 3, 2}));
    QCOMPARE(c.presetText, presetText.toStdString());
    QCOMPARE(c.rateLabelEnabled, label);
    QCOMPARE(c.samplePoint, std::string("93.75 %"));
    QCOMPARE(c.tseg1, 12);
    QVERIFY(f.messages.messages.empty());
}

void TestSetupController::advancedToggles()
{
    Fixture f;
    f.setup->initialise();
    f.c().advanced = true;
    f.setup->advancedToggled();
    QVERIFY(f.c().timingEnabled);
    QVERIFY(!f.c().presetEnabled);
    f.c().advanced = false;
    f.setup->advancedToggled();
    QVERIFY(!f.c().timingEnabled);
    QVERIFY(f.c().presetEnabled);
}

void TestSetupController::fieldChecks_data()
{
    QTest::addColumn<QString>("btrText");
    QTest::addColumn<QString>("frameSerial");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("btrUsed");

    const int btr = int(SetupController::Field::Btr);
    const int serial = int(SetupController::Field::Serial);
    const int none = int(SetupController::Field::None);
    QTest::newRow("BTR accepted") << "12"
                                  << "124"
                                  << "" << none << 12;
    QTest::newRow("BTR empty") << ""
                               << "124"
                               << "Enter an integer between 0 and 255." << btr << 4;
    QTest::newRow("BTR above 255") << "256"
                                   << "124"
                                   << "Enter an integer between 0 and 255." << btr << 4;
    QTest::newRow("BTR not a number") << "1a"
                                      << "124"
                                      << "Enter an integer between 0 and 255." << btr << 4;
    QTest::newRow("BTR zero") << "0"
                              << "124"
                              << "Enter an integer between 1 and 1024." << btr << 4;
    QTest::newRow("serial too long, BTR before it taken")
        << "12"
        << "123456789012"
        << "Enter no more than 10 characters." << serial << 12;
    QTest::newRow("only the first refusal is reported")
        << "0"
        << "123456789012"
        << "Enter an integer between 1 and 1024." << btr << 4;
}

void TestSetupController::fieldChecks()
{
    QFETCH(QString, btrText);
    QFETCH(QString, frameSerial);
    QFETCH(QString, message);
    QFETCH(int, focus);
    QFETCH(int, btrUsed);

    Fixture f(frameSerial.toStdString());
    f.setup->initialise();
    f.messages.messages.clear();
    f.c().advanced = true;
    f.setup->advancedToggled();
    f.messages.messages.clear();
    f.library.clearCalls();

    f.c().btr = btrText.toStdString();
    f.setup->timingFieldChanged();

    if (message.isEmpty()) {
        QVERIFY(f.messages.messages.empty());
    } else {
        QCOMPARE(f.messageTexts(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(f.messages.messages[0].caption, std::string("Vexo View"));
    }
    QCOMPARE(int(f.setup->focusField()), focus);
    // The handler goes on with the value it holds, and shows it.
    QCOMPARE(f.library.last(O::TimingToBitrate)->args.at(0), btrUsed);
    QCOMPARE(f.c().btr, std::to_string(btrUsed));
    // What the user typed as serial name is never taken back.
    QCOMPARE(f.c().serial, frameSerial.toStdString());
}

void TestSetupController::ok_data()
{
    QTest::addColumn<QString>("frameSerial");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("writeStatus");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("serialField"); // empty: DevSetSerial not called
    QTest::addColumn<bool>("written");

    const QString reboot = "To apply the changes, disconnect and connect again.";
    const QString empty = "Please enter a device name.\nNo space allowed in the beginning.";
    QTest::newRow("12a refused") << "124"
                                 << "12a" << 0 << "Enter numbers only."
                                 << "ERROR" << QByteArray() << false;
    QTest::newRow("empty refused") << "124"
                                   << "" << 0 << empty << "ERROR" << QByteArray() << false;
    QTest::newRow("empty refused when the adapter had none")
        << ""
        << "" << 0 << empty << "ERROR" << QByteArray() << false;
    QTest::newRow("ten digits fill the field without a terminator")
        << "124"
        << "0012345678" << 0 << reboot << "Vexo View" << QByteArray("0012345678") << true;
    QTest::newRow("a short name is zero-padded")
        << "124"
        << "77" << 0 << reboot << "Vexo View" << QByteArray("77\0\0\0\0\0\0\0\0", 10) << true;
    QTest::newRow("an unchanged name is not written")
        << "124"
        << "124" << 0 << reboot << "Vexo View" << QByteArray() << true;
    QTest::newRow("an unchanged name need not be digits")
        << "AB-1"
        << "AB-1" << 0 << reboot << "Vexo View" << QByteArray() << true;
    QTest::newRow("the adapter does not keep the timing")
        << "124"
        << "124" << 5 << "The adapter did not store the settings."
        << "Vexo View" << QByteArray() << false;
    QTest::newRow("the name is kept, the timing is not")
        << "124"
        << "77" << 5
        << "The serial name was stored, but the adapter refused the bit timing and options."
        << "Vexo View" << QByteArray("77\0\0\0\0\0\0\0\0", 10) << false;
}

void TestSetupController::ok()
{
    QFETCH(QString, frameSerial);
    QFETCH(QString, serial);
    QFETCH(int, writeStatus);
    QFETCH(QString, message);
    QFETCH(QString, caption);
    QFETCH(QByteArray, serialField);
    QFETCH(bool, written);

    Fixture f(frameSerial.toStdString());
    f.setup->initialise();
    f.library.clearCalls();
    f.library.statuses[O::WriteConfig] = static_cast<DevStatus>(writeStatus);

    f.c().serial = serial.toStdString();
    QCOMPARE(f.setup->ok(), written);

    QCOMPARE(f.messageTexts(), std::vector<std::string>{message.toStdString()});
    QCOMPARE(f.messages.messages[0].caption, caption.toStdString());
    if (serialField.isEmpty()) {
        QCOMPARE(f.library.count(O::SetSerial), 0);
    } else {
        const auto *call = f.library.last(O::SetSerial);
        QCOMPARE(call->args.at(0), 10);
        QCOMPARE(QByteArray::fromStdString(call->text), serialField);
    }
    const bool refusedBeforeWriting = caption == QLatin1String("ERROR");
    QCOMPARE(f.library.count(O::WriteConfig), refusedBeforeWriting ? 0 : 1);
}

void TestSetupController::okWritesTheShownTimingAndOptions()
{
    Fixture f;
    f.setup->initialise();
    f.c().advanced = true;
    f.setup->advancedToggled();
    f.c().btr = "9";
    f.c().clkDiv = 7;
    f.c().sjw = 3;
    f.c().tseg1 = 14;
    f.c().tseg2 = 7;
    f.c().abor = true;
    f.c().art = false;
    QVERIFY(f.setup->ok());
    std::vector<std::int64_t> expected{9, 3, 15, 7, 7, AdapterOption::AutomaticBusOffRecovery};
    expected.resize(expected.size() + ConfigReservedSize, 0);
    QCOMPARE(f.write()->args, expected);

    // A BTR refused at OK stops it: nothing is written, the dialog stays.
    Fixture refused;
    refused.setup->initialise();
    refused.c().btr = "300";
    QVERIFY(!refused.setup->ok());
    QCOMPARE(refused.library.count(O::WriteConfig), 0);
    QCOMPARE(int(refused.setup->focusField()), int(SetupController::Field::Btr));
}

QTEST_GUILESS_MAIN(TestSetupController)
#include "tst_setupcontroller.moc"
