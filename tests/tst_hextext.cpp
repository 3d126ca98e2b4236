#include "transmit/HexText.h"

#include <QTest>

class HexTextTest : public QObject {
    Q_OBJECT

private slots:
    void value_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<unsigned>("value");
        QTest::newRow("empty") << QByteArray() << 0U;
        QTest::newRow("one digit") << QByteArray("A") << 0xAU;
        QTest::newRow("standard id") << QByteArray("7FF") << 0x7FFU;
        QTest::newRow("lower case") << QByteArray("1abcdeff") << 0x1ABCDEFFU;
        QTest::newRow("leading zeros") << QByteArray("00000123") << 0x123U;
        QTest::newRow("nine digits: the last eight count")
            << QByteArray("123456789") << 0x23456789U;
        QTest::newRow("G is 0x47: low bits 7") << QByteArray("1G") << 0x17U;
        QTest::newRow("blank is 0x20: low bits 0") << QByteArray("1 2") << 0x102U;
        QTest::newRow("all F") << QByteArray("FFFFFFFF") << 0xFFFFFFFFU;
    }
    void value()
    {
        QFETCH(QByteArray, text);
        QFETCH(unsigned, value);
        QCOMPARE(HexTextToValue(std::string_view(text.constData(), text.size())), value);
    }

    void byte_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("A alone") << QByteArray("A") << 0x0A;
        QTest::newRow("two digits") << QByteArray("9A") << 0x9A;
        QTest::newRow("lower case") << QByteArray("ff") << 0xFF;
        QTest::newRow("Z is 0x5A: low bits 10") << QByteArray("1Z") << 0x1A;
        QTest::newRow("third character ignored") << QByteArray("123") << 0x12;
    }
    void byte()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        QCOMPARE(int(HexTextToByte(std::string_view(text.constData(), text.size()))), value);
    }
};

QTEST_GUILESS_MAIN(HexTextTest)
#include "tst_hextext.moc"
