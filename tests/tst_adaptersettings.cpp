#include "device/AdapterSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

namespace {

AdapterSettings sample()
{
    AdapterSettings s;
    s.serial = "0012345678";
    s.timing = CAN_Timing{2, 1, 13, 2, 0};
    s.options = 3;
    return s;
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

class AdapterSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void roundTrip()
    {
        QVERIFY(SettingsFile::parse(SettingsFile::format(sample())) == sample());
        AdapterSettings noTiming = sample();
        noTiming.timing.reset();
        QVERIFY(SettingsFile::parse(SettingsFile::format(noTiming)) == noTiming);
        // Comments, blanks, unknown keys and CR-LF line ends are fine.
        const auto parsed = SettingsFile::parse("# x\r\n\r\n  serial = 42 \r\nnewkey=1\r\n");
        QVERIFY(parsed);
        QCOMPARE(QByteArray::fromStdString(parsed->serial), QByteArray("42"));
    }

    void damagedText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no serial") << QByteArray("btr=2\n");
        QTest::newRow("line without =") << QByteArray("serial=1\nbtr\n");
        QTest::newRow("btr 256") << QByteArray(
            "serial=1\nbtr=256\nsjw=1\ntseg1=13\ntseg2=2\nclkdiv=0\n");
        QTest::newRow("btr text") << QByteArray(
            "serial=1\nbtr=two\nsjw=1\ntseg1=13\ntseg2=2\nclkdiv=0\n");
        QTest::newRow("btr trailing text")
            << QByteArray("serial=1\nbtr=2x\nsjw=1\ntseg1=13\ntseg2=2\nclkdiv=0\n");
        QTest::newRow("half a timing") << QByteArray("serial=1\nbtr=2\nsjw=1\n");
        QTest::newRow("unreachable timing")
            << QByteArray("serial=1\nbtr=1\nsjw=0\ntseg1=5\ntseg2=2\nclkdiv=0\n");
        QTest::newRow("serial too long") << QByteArray("serial=12345678901\n");
        QTest::newRow("serial with blank") << QByteArray("serial=12 34\n");
        QTest::newRow("options 4") << QByteArray("serial=1\noptions=4\n");
        QTest::newRow("binary") << QByteArray("serial=1\n\x01\x02\xff", 12);
        QTest::newRow("oversized") << QByteArray("serial=1\n") + QByteArray(5000, '#');
    }
    void damagedText()
    {
        QFETCH(QByteArray, text);
        QVERIFY(!SettingsFile::parse(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size()))));
    }

    void storeKeepsDamagedFilesAside()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path().toStdString());
        AdapterSettings defaults;
        defaults.serial = "1";
        QVERIFY(store.load("VXVIRT001", defaults) == defaults);
        QVERIFY(store.save("VXVIRT001", sample()));
        QVERIFY(store.load("VXVIRT001", defaults) == sample());

        {
            std::ofstream out(store.pathOf("VXVIRT001"), std::ios::trunc);
            out << "serial=1\nbtr=999\n";
        }
        QVERIFY(store.load("VXVIRT001", defaults) == defaults);
        auto aside = store.pathOf("VXVIRT001");
        aside += ".damaged";
        QCOMPARE(QByteArray::fromStdString(readFile(aside)), QByteArray("serial=1\nbtr=999\n"));
        QVERIFY(!std::filesystem::exists(store.pathOf("VXVIRT001")));
    }

    void storeThatCannotBeWrittenSaysSo()
    {
        QTemporaryDir dir;
        const std::filesystem::path blocked = dir.path().toStdString() + "/file";
        std::ofstream(blocked) << "x";
        SettingsStore store(blocked / "adapters");
        QVERIFY(!store.save("VXVIRT001", sample()));
    }

    void lockIsExclusiveUntilReleased()
    {
        QTemporaryDir dir;
        AdapterLock::Result result{};
        auto first = AdapterLock::acquire(dir.path().toStdString(), "VXVIRT001", result);
        QVERIFY(first);
        QCOMPARE(result, AdapterLock::Result::Acquired);
        QVERIFY(!AdapterLock::acquire(dir.path().toStdString(), "VXVIRT001", result));
        QCOMPARE(result, AdapterLock::Result::InUse);
        QVERIFY(AdapterLock::acquire(dir.path().toStdString(), "VXVIRT002", result));
        QVERIFY(QFile::exists(dir.filePath("VXVIRT001.lock")));
        first.reset();
        // Letting go leaves nothing behind.
        QVERIFY(!QFile::exists(dir.filePath("VXVIRT001.lock")));
        QVERIFY(AdapterLock::acquire(dir.path().toStdString(), "VXVIRT001", result));
    }
};

QTEST_GUILESS_MAIN(AdapterSettingsTest)
#include "tst_adaptersettings.moc"
