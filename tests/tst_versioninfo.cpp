#include "app/VersionInfo.h"

#include <QTest>

namespace {

VersionResource germanResource()
{
    VersionResource r;
    r.values["\\StringFileInfo\\040704E4\\ProductName"] = "Vexo Ansicht";
    r.values["\\StringFileInfo\\040704B0\\ProductName"] = "default code page";
    r.values["\\StringFileInfo\\040904B0\\ProductName"] = "english";
    return r;
}

} // namespace

class TestVersionInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programResource();
    void translationTable_data();
    void translationTable();
};

void TestVersionInfo::programResource()
{
    QCOMPARE(CGlobalFunctions::GetVersionString("ProductName"), std::string("Vexo View"));
    QCOMPARE(CGlobalFunctions::GetVersionString("FileVersion"), std::string("1.0.0.4"));
    QVERIFY(!CGlobalFunctions::GetVersionString("LegalCopyright").empty());
    QCOMPARE(CGlobalFunctions::GetVersionString("NoSuchKey"), std::string());
}

void TestVersionInfo::translationTable_data()
{
    QTest::addColumn<bool>("hasTranslation");
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<int>("defaultLanguage");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first entry names language and code page")
        << true << QByteArray::fromHex("0704E404") << 0x0409 << "Vexo Ansicht";
    QTest::newRow("no table: default language, code page 04B0")
        << false << QByteArray() << 0x0407 << "default code page";
    QTest::newRow("a table of two entries is not used")
        << true << QByteArray::fromHex("0704E4040904B004") << 0x0409 << "english";
    QTest::newRow("entry without a value gives empty")
        << true << QByteArray::fromHex("0C04B004") << 0x0409 << "";
}

void TestVersionInfo::translationTable()
{
    QFETCH(bool, hasTranslation);
    QFETCH(QByteArray, translation);
    QFETCH(int, defaultLanguage);
    QFETCH(QString, expected);

    VersionResource resource = germanResource();
    resource.hasTranslation = hasTranslation;
    resource.translation.assign(translation.begin(), translation.end());
    const std::string value =
        lookUpVersionString(&resource, "ProductName", static_cast<std::uint16_t>(defaultLanguage));
    QCOMPARE(QString::fromStdString(value), expected);
    QCOMPARE(lookUpVersionString(nullptr, "ProductName", 0x0409), std::string());
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
