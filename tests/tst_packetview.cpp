#include "capture/CanPacket.h"
#include "inspect/FrameFieldModel.h"
#include "inspect/PacketView.h"

#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <vector>

namespace {

const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QColor Label(150, 150, 255);
const QColor Value(255, 150, 150);
const QColor Green(200, 255, 200);
const QColor Yellow(255, 255, 200);

struct Probe {
    int x = 0;
    int y = 0;
    QColor colour;
};
using Probes = std::vector<Probe>;

constexpr int Fresh = -1; // a diagram that was never given a model

QImage render(int type, int dlc)
{
    CPacketView view;
    if (type != Fresh) {
        const std::uint8_t data[8] = {0x0F, 0xA5, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
        const FrameFieldModel model = buildFieldModel(
            CAN_Packet(3, static_cast<std::uint8_t>(type), (type & 0x02) ? 0x1ABCDE : 0x123,
                       static_cast<std::uint8_t>(dlc), data, 0, 0, {}, {}));
        view.SetFieldModel(model.type, model.dlc, model.values, model.bits, model.dataValues,
                           model.dataBits);
    }
    return view.grab().toImage();
}

// Pixels darker than the lightest fill: text or outline.
int darkPixels(const QImage &image, const QRect &area)
{
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 100)
                ++dark;
        }
    }
    return dark;
}

// The standard header: outline to x 960, SOF name, value and bit cells, the
// double line between the name and the value row, the last bit cell.
const Probes StandardHeader = {
    {9, 50, Black},   {960, 50, Black}, {961, 50, White}, {30, 9, Black},    {30, 100, Black},
    {12, 12, Label},  {30, 39, Black},  {30, 40, Black},  {12, 42, Value},   {12, 72, Yellow},
    {62, 72, Green},  {59, 85, Black},  {60, 85, Black},  {958, 72, Yellow}, {959, 72, Black},
    {762, 12, Label}, {762, 42, Value},
};

Probes join(std::initializer_list<Probes> parts)
{
    Probes all;
    for (const Probes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

Q_DECLARE_METATYPE(Probes)

class TestPacketView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pixels_data();
    void pixels();
    void textsAreDrawn();
    void fonts();
};

void TestPacketView::pixels_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<Probes>("probes");

    QTest::newRow("standard data DLC 8")
        << 0x04 << 8
        << join({StandardHeader,
                 {
                     // data area outline to x 1098, caption, last byte
                     {9, 175, Black},
                     {1098, 175, Black},
                     {1099, 175, White},
                     {12, 129, Black},
                     {12, 220, Black},
                     {12, 221, White},
                     {12, 132, Label},
                     {1096, 132, Label},
                     {12, 165, Value},
                     {1096, 165, Value},
                     {1097, 165, Black},
                     // neighbouring bits share a line, nibbles and bytes a double line
                     {26, 192, Green},
                     {27, 205, Black},
                     {28, 192, Green},
                     {76, 192, Green},
                     {77, 205, Black},
                     {78, 205, Black},
                     {79, 192, Yellow},
                     {144, 192, Yellow},
                     {145, 205, Black},
                     {146, 205, Black},
                     {147, 192, Green},
                     {1096, 192, Yellow},
                     {1097, 205, Black},
                     // six explanation rows from y 250, each over the bottom of the one before
                     {12, 235, White},
                     {12, 249, White},
                     {12, 250, Black},
                     {12, 252, Yellow},
                     {99, 260, Black},
                     {100, 260, Black},
                     {102, 252, Yellow},
                     {1099, 260, Black},
                     {1100, 260, White},
                     {12, 275, Black},
                     {12, 277, Yellow},
                     {12, 279, Yellow},
                     {12, 375, Black},
                     {12, 404, Black},
                     {12, 405, White},
                 }});
    QTest::newRow("standard remote") << 0x05 << 2
                                     << join({StandardHeader,
                                              {
                                                  {12, 101, White},
                                                  {12, 119, White},
                                                  {12, 120, Black},
                                                  {12, 122, Yellow},
                                                  // no data area where it would be
                                                  {1098, 175, Yellow},
                                                  {1099, 175, Black},
                                                  {12, 165, Yellow},
                                                  {12, 245, Black},
                                                  {12, 274, Black},
                                                  {12, 275, White},
                                              }});
    QTest::newRow("extended remote")
        << 0x07 << 0
        << Probes{
               {9, 50, Black},    {1102, 50, Black},  {1103, 50, White}, {12, 12, Label},
               {12, 72, Yellow},  {37, 85, Black},    {38, 85, Black},   {40, 72, Green},
               {1072, 72, Green}, {1076, 72, Yellow}, {1101, 72, Black}, {404, 12, Label},
               {992, 12, Label},  {1100, 42, Value},  {12, 119, White},  {12, 120, Black},
               {12, 122, Yellow}, {12, 322, Yellow},  {12, 349, Black},  {12, 350, White},
           };
    QTest::newRow("extended data DLC 2")
        << 0x06 << 2
        << Probes{
               {1102, 50, Black}, {1103, 50, White}, {9, 175, Black},   {282, 175, Black},
               {283, 175, White}, {280, 165, Value}, {12, 252, Yellow}, {12, 450, Black},
               {12, 452, Yellow}, {12, 479, Black},  {12, 480, White},
           };
    QTest::newRow("DLC 1: one byte")
        << 0x04 << 1
        << Probes{
               {12, 132, Label},   {144, 132, Label}, {145, 132, Black}, {146, 175, Black},
               {147, 175, White},  {144, 165, Value}, {145, 165, Black}, {12, 192, Green},
               {144, 192, Yellow}, {145, 205, Black}, {12, 252, Yellow},
           };
    QTest::newRow("DLC 15: eight bytes, as on the bus")
        << 0x04 << 15
        << Probes{{1096, 165, Value}, {1098, 175, Black}, {1099, 175, White}, {12, 252, Yellow}};
    QTest::newRow("DLC 0: the caption alone")
        << 0x04 << 0
        << Probes{
               {12, 132, Label},  {145, 140, Black}, {146, 140, Black},
               {147, 140, White}, {12, 159, Black},  {12, 160, Black},
               {12, 161, White},  {12, 175, White},  {12, 252, Yellow},
           };
    QTest::newRow("type 0x0C: no explanation rows")
        << 0x0C << 8
        << join({StandardHeader,
                 {{12, 132, Label}, {12, 192, Green}, {12, 252, White}, {500, 300, White}}});
    QTest::newRow("frame bit clear: nothing")
        << 0x03 << 8
        << Probes{
               {12, 12, White}, {12, 72, White}, {12, 132, White}, {12, 252, White}, {9, 9, White}};
    QTest::newRow("fresh diagram: nothing")
        << Fresh << 0
        << Probes{
               {12, 12, White}, {12, 72, White}, {12, 132, White}, {12, 252, White}, {9, 9, White}};
}

void TestPacketView::pixels()
{
    QFETCH(int, type);
    QFETCH(int, dlc);
    QFETCH(Probes, probes);

    const QImage image = render(type, dlc);
    QCOMPARE(image.size(), QSize(1120, 500));
    for (const Probe &probe : probes) {
        const QColor seen = image.pixelColor(probe.x, probe.y);
        QVERIFY2(seen == probe.colour,
                 qPrintable(QStringLiteral("(%1, %2) is %3, not %4")
                                .arg(probe.x)
                                .arg(probe.y)
                                .arg(seen.name(), probe.colour.name())));
    }
}

void TestPacketView::textsAreDrawn()
{
    const QImage image = render(0x04, 2);
    const struct {
        const char *what;
        QRect area;
    } texts[] = {
        {"Identifier", {62, 12, 546, 26}}, {"0x0123", {62, 42, 546, 26}},
        {"bit 0", {12, 72, 46, 26}},       {"DATA", {12, 132, 268, 26}},
        {"0x0F", {12, 162, 132, 26}},      {"data bit", {12, 192, 14, 26}},
        {"SOF row", {12, 252, 86, 22}},    {"explanation", {102, 252, 996, 22}},
    };
    for (const auto &text : texts)
        QVERIFY2(darkPixels(image, text.area) > 5, text.what);

    // The explanation keeps its two leading blanks.
    QCOMPARE(darkPixels(image, {102, 252, 6, 22}), 0);
}

void TestPacketView::fonts()
{
    for (const int height : {16, 19}) {
        const QFont &font = CPacketView::diagramFont(height);
        QCOMPARE(QFontMetrics(font).height(), height);
        QCOMPARE(font.weight(), QFont::Normal);
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    }
}

QTEST_MAIN(TestPacketView)
#include "tst_packetview.moc"
