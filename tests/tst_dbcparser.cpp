#include "dbc/DbcDatabase.h"

#include <QTest>

#include <algorithm>

#include <string>

namespace {

// Every kind of line a database holds, including the ones read and dropped.
const char *const EveryLineKind = VEXO_SOURCE_DIR "/tests/data/every-line-kind.dbc";

} // namespace

class TestDbcParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyLineKind()
    {
        DbcDatabase db;
        DbcReport report;
        QCOMPARE(loadDbcFile(EveryLineKind, db, report), DbcStatus::Ok);
        QCOMPARE(QString::fromStdString(report.text()), QString());
        QCOMPARE(db.version, std::string("3.1"));
        QCOMPARE(db.nodes, (std::vector<std::string>{"Engine", "Dash"}));
        QCOMPARE(db.valueTables.size(), std::size_t(1));
        QCOMPARE(db.valueTables[0].second.front().second, std::string("One"));
        QCOMPARE(db.messages.size(), std::size_t(2));

        const DbcMessage *engine = db.find(200, false);
        QVERIFY(engine);
        QCOMPARE(engine->dlc, std::uint8_t(8));
        QCOMPARE(engine->sender, std::string("Engine"));
        QCOMPARE(engine->comment, std::string("Engine state,\nover two lines"));
        QCOMPARE(engine->cycleTimeMs, std::optional<std::uint32_t>(10));
        QCOMPARE(engine->signalList.size(), std::size_t(3));
        const DbcSignal &speed = engine->signalList[0];
        QVERIFY(speed.bigEndian && !speed.isSigned);
        QCOMPARE(speed.startBit, std::uint16_t(7));
        QCOMPARE(speed.length, std::uint16_t(16));
        QCOMPARE(speed.factor, 0.25);
        QCOMPARE(speed.maximum, 16383.75);
        QCOMPARE(speed.unit, std::string("rpm"));
        QCOMPARE(speed.receivers, (std::vector<std::string>{"Dash", "Gateway"}));
        QCOMPARE(speed.comment, std::string("Crank \"speed\""));
        const DbcSignal &temp = engine->signalList[1];
        QVERIFY(!temp.bigEndian && temp.isSigned);
        QCOMPARE(temp.offset, -40.0);
        QCOMPARE(temp.values.size(), std::size_t(3));
        QCOMPARE(*temp.describe(-40), std::string("Cold"));
        QVERIFY(!temp.describe(1));
        const DbcSignal &ratio = engine->signalList[2];
        QCOMPARE(ratio.valueType, DbcSignal::ValueType::Float);
        QCOMPARE(ratio.factor, 1e-3);
        QCOMPARE(ratio.minimum, -1000.0);

        // Bit 31 marks the extended identifier; the default cycle applies
        // where no message value is given.
        QVERIFY(!db.find(0x18FEF100, false));
        const DbcMessage *cruise = db.find(0x18FEF100, true);
        QVERIFY(cruise);
        QCOMPARE(cruise->cycleTimeMs, std::optional<std::uint32_t>(100));
        QCOMPARE(cruise->multiplexer, 0);
        QCOMPARE(cruise->signalList[1].multiplex, DbcSignal::Multiplex::Multiplexed);
        QCOMPARE(cruise->signalList[1].multiplexValue, std::uint32_t(3));
    }

    // Bad lines are reported by number and the rest still loads.
    void badLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("lines");
        QTest::addColumn<int>("loaded"); // signals loaded in all

        const QString message = "BU_: N\nBO_ 1 M: 8 N\n";
        QTest::newRow("a length of 0 and a missing sign") << message
                + " SG_ A : 0|0@1+ (1,0) [0|0] \"\" N\n SG_ B : 0|8@1 (1,0) [0|0] \"\" N\n"
                  " SG_ C : 0|8@1+ (1,0) [0|0] \"\" N\n" << QList<int>{3, 4}
                                                          << 1;
        QTest::newRow("a signal past the eighth byte")
            << message + " SG_ A : 60|8@1+ (1,0) [0|0] \"\" N\n SG_ B : 7|8@0+ (1,0) [0|0] \"\" N\n"
            << QList<int>{3} << 1;
        QTest::newRow("a signal before any message")
            << "BU_: N\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n"
            << QList<int>{2} << 0;
        QTest::newRow("an unclosed comment runs to the next quote")
            << message + "CM_ BO_ 1 \"open\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n"
            << QList<int>{3, 4} << 0;
        QTest::newRow("a quote left open at the end ends with its line")
            << message + " SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\nCM_ \"open\n"
            << QList<int>{4} << 1;
        QTest::newRow("a standard identifier above 7FF, and its signals")
            << "BU_: N\nBO_ 2048 M: 8 N\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n"
            << QList<int>{2, 3} << 0;
        QTest::newRow("values of an unknown signal and a float of 16 bits") << message
                + " SG_ A : 0|16@1+ (1,0) [0|0] \"\" N\nVAL_ 1 X 0 \"a\" ;\n"
                  "SIG_VALTYPE_ 1 A : 1;\n" << QList<int>{4, 5} << 1;
        QTest::newRow("garbage up to the semicolon, then a good signal")
            << message + "hello world\n 12 ;\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n"
            << QList<int>{3} << 1;
        QTest::newRow("seven bad lines: five listed, all counted")
            << message + QString(" SG_ A : x\n").repeated(7) << QList<int>{3, 4, 5, 6, 7, 8, 9}
            << 0;
    }
    void badLines()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, lines);
        QFETCH(int, loaded);

        DbcDatabase db;
        DbcReport report;
        QCOMPARE(parseDbc(text.toStdString(), db, report), DbcStatus::Ok);
        QCOMPARE(report.badLineCount, std::size_t(lines.size()));
        QList<int> listed;
        for (const auto &bad : report.badLines)
            listed << int(bad.line);
        std::sort(listed.begin(), listed.end());
        QCOMPARE(listed, lines.mid(0, 5));
        QCOMPARE(int(db.signalCount()), loaded);
        if (lines.size() > 5)
            QVERIFY(report.text().ends_with("... and 2 more\n"));
    }

    void notADatabase_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a candump log") << QByteArray("(1.000000) can0 123#1122\n");
        QTest::newRow("binary with a keyword in it") << QByteArray("BO_ 1 M: 8 N\n\0\1\2", 16);
        QTest::newRow("only comments") << QByteArray("CM_ \"x\";\n");
    }
    void notADatabase()
    {
        QFETCH(QByteArray, text);
        DbcDatabase db;
        DbcReport report;
        QCOMPARE(parseDbc(std::string_view(text.constData(), text.size()), db, report),
                 DbcStatus::NotDbc);
        QVERIFY(db.messages.empty());
        QCOMPARE(dbcLoadMessage(DbcStatus::NotDbc, report, "x.txt"),
                 std::string("\"x.txt\" is not a DBC database."));
    }
};

QTEST_GUILESS_MAIN(TestDbcParser)
#include "tst_dbcparser.moc"
