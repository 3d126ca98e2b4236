#include "capture/CanPacket.h"
#include "capture/FrameStore.h"
#include "display/FrameListController.h"
#include "inspect/BitDiagramLayout.h"
#include "inspect/FrameFieldModel.h"
#include "inspect/PacketDialogState.h"

#include "FrameBuilders.h"

#include <QStringList>
#include <QTest>

#include <algorithm>

namespace {

template <std::size_t N> QStringList toList(const std::array<std::string, N> &texts)
{
    QStringList list;
    for (const std::string &text : texts)
        list << QString::fromStdString(text);
    return list;
}

// One text per character of bits ("0110"), then empty texts up to size.
QStringList bitTexts(const QString &bits, int size)
{
    QStringList list;
    for (const QChar c : bits)
        list << QString(c);
    while (list.size() < size)
        list << QString();
    return list;
}

QStringList padded(QStringList list, int size)
{
    while (list.size() < size)
        list << QString();
    return list;
}

CAN_Packet packetOf(std::uint8_t type, std::uint32_t id, std::uint8_t dlc, const QByteArray &data,
                    std::uint32_t number = 0)
{
    std::uint8_t bytes[8] = {};
    std::copy_n(data.constData(), std::min<qsizetype>(data.size(), 8), bytes);
    return CAN_Packet(number, type, id, dlc, bytes, 0, 0, {}, {});
}

class NoSurface : public FrameListSurface {
public:
    ScrollPoint scrollPosition() const override { return {}; }
    void setScrollExtent(int, int) override { }
    void setScrollPosition(int, int) override { }
    void enablePagingButtons(bool, bool) override { }
};

// The Detailed Frame View without its window: what it shows, and its steps
// sent to the owner with the current number, as the dialog sends them.
class DialogWithoutWindow : public DetailedFrameView, public DetailedFrameViewFactory {
public:
    DetailedFrameView *openFrameView() override { return this; }
    void SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge) override
    {
        state.SetFrame(frame, number, edge);
    }
    void closeView() override { }

    // "3 PN": number field 3, Previous Frame enabled (P, else p), Next Frame enabled (N, else n).
    QString shown() const
    {
        const StepButtonsState b = state.buttons();
        return QString::fromStdString(state.numberText()) + ' ' + (b.previous ? 'P' : 'p')
            + (b.next ? 'N' : 'n');
    }

    PacketDialogState state;
};

} // namespace

class TestFrameInspection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fieldModel_data();
    void fieldModel();
    void stepping_data();
    void stepping();
    void dataValuesKeepTheirLastTwoCharacters();
};

void TestFrameInspection::fieldModel_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<uint>("id");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QStringList>("dataValues");
    QTest::addColumn<QString>("dataBits");

    QTest::newRow("standard remote 0x7FF DLC 2")
        << 0x05 << 0x7FFu << 2 << QByteArray() << QStringList{"0", "0x07FF", "1", "0", "0", "2"}
        << "0"
           "11111111111"
           "100"
           "0010"
        << QStringList{"0x00", "0x00"}
        << "00000000"
           "00000000";
    QTest::newRow("extended data 0x1ABCDE DLC 3")
        << 0x06 << 0x1ABCDEu << 3 << QByteArray("\x01\x80\xFF", 3)
        << QStringList{"0", "0x001ABCDE", "1", "1", "0x001ABCDE", "0", "0", "0", "3"}
        << "0"
           "00000000110"
           "11"
           "101011110011011110"
           "000"
           "0011"
        << QStringList{"0x01", "0x80", "0xFF"}
        << "00000001"
           "10000000"
           "11111111";
    QTest::newRow("data bytes 0x0F 0xA5") << 0x04 << 0x123u << 2 << QByteArray("\x0F\xA5", 2)
                                          << QStringList{"0", "0x0123", "0", "0", "0", "2"}
                                          << "0"
                                             "00100100011"
                                             "000"
                                             "0010"
                                          << QStringList{"0x0F", "0xA5"}
                                          << "00001111"
                                             "10100101";
    QTest::newRow("extended remote, whole identifier")
        << 0x07 << 0x1FFFFFFFu << 0 << QByteArray()
        << QStringList{"0", "0x1FFFFFFF", "1", "1", "0x1FFFFFFF", "1", "0", "0", "0"}
        << "0"
           "11111111111"
           "11"
           "111111111111111111"
           "100"
           "0000"
        << QStringList() << "";
    QTest::newRow("transmitted standard data") << 0x14 << 0x001u << 1 << QByteArray("\x5A", 1)
                                               << QStringList{"0", "0x0001", "0", "0", "0", "1"}
                                               << "0"
                                                  "00000000001"
                                                  "000"
                                                  "0001"
                                               << QStringList{"0x5A"} << "01011010";
    QTest::newRow("DLC 12 shows its value and eight bytes")
        << 0x04 << 0x100u << 12 << QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8)
        << QStringList{"0", "0x0100", "0", "0", "0", "12"}
        << "0"
           "00100000000"
           "000"
           "1100"
        << QStringList{"0x01", "0x02", "0x03", "0x04", "0x05", "0x06", "0x07", "0x08"}
        << "00000001"
           "00000010"
           "00000011"
           "00000100"
           "00000101"
           "00000110"
           "00000111"
           "00001000";
    QTest::newRow("frame bit clear: start of frame and data only")
        << 0x02 << 0x123u << 1 << QByteArray("\xC3", 1) << QStringList{"0"} << "0"
        << QStringList{"0xC3"} << "11000011";
    QTest::newRow("default record")
        << 0x00 << 0u << 0 << QByteArray() << QStringList{"0"} << "0" << QStringList() << "";
}

void TestFrameInspection::fieldModel()
{
    QFETCH(int, type);
    QFETCH(uint, id);
    QFETCH(int, dlc);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, values);
    QFETCH(QString, bits);
    QFETCH(QStringList, dataValues);
    QFETCH(QString, dataBits);

    const FrameFieldModel model = buildFieldModel(
        packetOf(static_cast<std::uint8_t>(type), id, static_cast<std::uint8_t>(dlc), data));
    QCOMPARE(toList(model.values), padded(values, FrameFieldModel::ValueCount));
    QCOMPARE(toList(model.bits), bitTexts(bits, FrameFieldModel::BitCount));
    QCOMPARE(toList(model.dataValues), padded(dataValues, FrameFieldModel::DataByteCount));
    QCOMPARE(toList(model.dataBits), bitTexts(dataBits, FrameFieldModel::DataBitCount));
    QCOMPARE(model.type, type);
    QCOMPARE(model.dlc, dlc);
}

void TestFrameInspection::stepping_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<uint>("opened");
    QTest::addColumn<QString>("steps"); // N Next Frame, P Previous Frame
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("one frame: every step answers with it")
        << 1 << 0u << "NPN" << QStringList{"0 PN", "0 Pn", "0 pN", "0 Pn"};
    QTest::newRow("two frames, first shown: Next disables itself at once")
        << 2 << 0u << "NP" << QStringList{"0 PN", "1 Pn", "0 pN"};
    QTest::newRow("three frames, middle shown")
        << 3 << 1u << "NP" << QStringList{"1 PN", "2 Pn", "1 PN"};
    QTest::newRow("three frames, first shown: Previous shows it again")
        << 3 << 0u << "PNN" << QStringList{"0 PN", "0 pN", "1 PN", "2 Pn"};
    QTest::newRow("three frames, from the last: Next shows it again")
        << 3 << 2u << "NNPP" << QStringList{"2 PN", "2 Pn", "2 Pn", "1 PN", "0 pN"};
    QTest::newRow("a number no longer listed shows an empty record")
        << 3 << 7u << "N" << QStringList{"0 PN", "0 PN"};
}

void TestFrameInspection::stepping()
{
    QFETCH(int, frames);
    QFETCH(uint, opened);
    QFETCH(QString, steps);
    QFETCH(QStringList, shown);

    CVEXODoc doc;
    doc.OnNewDocument();
    for (int i = 0; i < frames; ++i)
        doc.AddFrame(RowRect{}, nullptr, frameOf(0x04, 0x100 + i, 1), CVEXODoc::StoreOnly);
    NoSurface surface;
    FrameListController owner(surface, nullptr);
    owner.setDocument(&doc);
    DialogWithoutWindow dialog;
    owner.setFrameViewFactory(&dialog);

    QStringList seen;
    owner.OnOpenFrameView(opened);
    seen << dialog.shown();
    for (const QChar step : steps) {
        if (step == 'N')
            owner.OnShowNextFrame(dialog.state.currentNumber());
        else
            owner.OnShowPrevFrame(dialog.state.currentNumber());
        seen << dialog.shown();
    }
    QCOMPARE(seen, shown);
}

void TestFrameInspection::dataValuesKeepTheirLastTwoCharacters()
{
    BitDiagram::Model model;
    std::array<std::string, FrameFieldModel::DataByteCount> dataValues;
    dataValues[0] = "0xA5";
    dataValues[1] = "1FF";
    dataValues[2] = "7";
    BitDiagram::setFieldModel(model, 0x04, 3, {}, {}, dataValues, {});
    QCOMPARE(toList(model.dataValues),
             (QStringList{"0xA5", "0xFF", "0x7", "0x", "0x", "0x", "0x", "0x"}));
}

QTEST_GUILESS_MAIN(TestFrameInspection)
#include "tst_framefields.moc"
