#include "app/ProgramIcons.h"
#include "controls/IconButton.h"
#include "controls/IconButtonLayout.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int Width = 130;
constexpr int Height = 44;

QImage render(CIconButton &button)
{
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool isDark(QRgb pixel)
{
    return qGray(pixel) < 100;
}

// Dark pixels on one row between x0 and x1 inclusive.
int darkOnRow(const QImage &image, int y, int x0, int x1)
{
    int count = 0;
    for (int x = x0; x <= x1; ++x)
        count += isDark(image.pixel(x, y)) ? 1 : 0;
    return count;
}

// The bounding box of the icon's pixels (dark or coloured, unlike the grey
// face and frame of the button) inside area.
QRect inkBox(const QImage &image, const QRect &area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c(image.pixel(x, y));
            if (qGray(c.rgb()) < 110 || c.hsvSaturation() > 80)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

struct Expected {
    IconButtonGeometry geometry;
    int cy = 0;
    int underlineX = 0;
    int underlineWidth = 0;
};

Expected expectedFor(const CIconButton &button, const QString &shown, int mnemonic, bool pressed)
{
    const QFontMetrics metrics(button.font());
    Expected e;
    e.cy = metrics.height();
    e.geometry = layoutIconButton(Width, Height, button.iconId() != 0, 32, 32, shown.isEmpty(),
                                  metrics.horizontalAdvance(shown), e.cy, pressed);
    if (mnemonic >= 0) {
        e.underlineX = e.geometry.captionX + metrics.horizontalAdvance(shown.left(mnemonic));
        e.underlineWidth = metrics.horizontalAdvance(shown.at(mnemonic));
    }
    return e;
}

std::unique_ptr<CIconButton> makeButton(const QString &caption, int iconId = IconId::Connect)
{
    auto button = std::make_unique<CIconButton>(caption);
    button->SetIconId(iconId);
    button->SetIconSize(32, 32);
    button->resize(Width, Height);
    return button;
}

} // namespace

class TestIconButton : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layoutPositions_data();
    void layoutPositions();
    void mnemonicUnderline_data();
    void mnemonicUnderline();
    void pressedLook();
    void disabledLook();
    void leavingEndsThePress();
};

void TestIconButton::layoutPositions_data()
{
    QTest::addColumn<bool>("hasIcon");
    QTest::addColumn<bool>("captionEmpty");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QPoint>("caption");
    QTest::addColumn<QPoint>("icon");

    // Button 130 x 44, icon 32 x 32, caption 61 x 17.
    QTest::newRow("icon and caption") << true << false << false << QPoint(51, 14) << QPoint(6, 6);
    QTest::newRow("pressed moves both") << true << false << true << QPoint(52, 15) << QPoint(7, 7);
    QTest::newRow("caption only") << false << false << false << QPoint(35, 14) << QPoint(0, 0);
    QTest::newRow("icon only is centred") << true << true << false << QPoint(0, 0) << QPoint(49, 6);
}

void TestIconButton::layoutPositions()
{
    QFETCH(bool, hasIcon);
    QFETCH(bool, captionEmpty);
    QFETCH(bool, pressed);
    QFETCH(QPoint, caption);
    QFETCH(QPoint, icon);

    const IconButtonGeometry g =
        layoutIconButton(130, 44, hasIcon, 32, 32, captionEmpty, 61, 17, pressed);
    QCOMPARE(QPoint(g.captionX, g.captionY), caption);
    QCOMPARE(QPoint(g.iconX, g.iconY), icon);
}

void TestIconButton::mnemonicUnderline_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("mnemonic");

    QTest::newRow("leading ampersand") << "&Connect"
                                       << "Connect" << 0;
    QTest::newRow("two ampersands underline the second") << "&&Connect"
                                                         << "&Connect" << 0;
    QTest::newRow("in the middle") << "Dis&connect"
                                   << "Disconnect" << 3;
    QTest::newRow("no ampersand") << "Connect"
                                  << "Connect" << -1;
}

void TestIconButton::mnemonicUnderline()
{
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    QFETCH(int, mnemonic);

    auto button = makeButton(caption);
    const QImage image = render(*button);
    const Expected e = expectedFor(*button, shown, mnemonic, false);
    const int y = e.geometry.captionY + e.cy;
    if (mnemonic < 0) {
        QCOMPARE(darkOnRow(image, y, e.geometry.captionX, Width - 8), 0);
        return;
    }
    // A line under the marked character and nowhere else on that row.
    const int x0 = e.underlineX;
    const int x1 = e.underlineX + e.underlineWidth - 1;
    QCOMPARE(darkOnRow(image, y, x0, x1), e.underlineWidth);
    QCOMPARE(darkOnRow(image, y, x1 + 2, Width - 8), 0);
    QCOMPARE(darkOnRow(image, y, 40, x0 - 2), 0);
}

void TestIconButton::pressedLook()
{
    auto button = makeButton(QStringLiteral("&Connect"));
    const QImage up = render(*button);
    button->setDown(true);
    const QImage down = render(*button);

    const QRect iconArea(3, 3, 42, 38);
    const QRect iconUp = inkBox(up, iconArea);
    const QRect iconDown = inkBox(down, iconArea);
    QVERIFY(!iconUp.isEmpty());
    QCOMPARE(iconDown.topLeft(), iconUp.topLeft() + QPoint(1, 1));

    const Expected e = expectedFor(*button, QStringLiteral("Connect"), 0, true);
    QVERIFY(darkOnRow(down, e.geometry.captionY + e.cy, e.underlineX,
                      e.underlineX + e.underlineWidth - 1)
            > 0);

    // Sunken edge: dark shadow top and left, highlight bottom and right.
    const QRgb shadow = button->palette().color(QPalette::Shadow).rgb();
    const QRgb light = button->palette().color(QPalette::Light).rgb();
    QCOMPARE(down.pixel(0, Height / 2), shadow);
    QCOMPARE(down.pixel(Width / 2, 0), shadow);
    QCOMPARE(down.pixel(Width - 1, Height / 2), light);
    QCOMPARE(down.pixel(Width / 2, Height - 1), light);
}

void TestIconButton::disabledLook()
{
    auto button = makeButton(QStringLiteral("&Connect"));
    const QImage enabled = render(*button);
    button->setEnabled(false);
    const QImage disabled = render(*button);

    const Expected e = expectedFor(*button, QStringLiteral("Connect"), 0, false);
    QCOMPARE(darkOnRow(disabled, e.geometry.captionY + e.cy, e.underlineX,
                       e.underlineX + e.underlineWidth - 1),
             0);

    // The icon loses its colour.
    auto saturation = [](const QImage &image) {
        int most = 0;
        for (int y = 6; y < 38; ++y) {
            for (int x = 6; x < 38; ++x)
                most = std::max(most, QColor(image.pixel(x, y)).hsvSaturation());
        }
        return most;
    };
    QVERIFY(saturation(enabled) > 100);
    QVERIFY(saturation(disabled) < 60);

    // The caption is drawn, greyed rather than black.
    const QRect captionArea(e.geometry.captionX, e.geometry.captionY, 40, e.cy);
    bool inked = false;
    bool black = false;
    for (int y = captionArea.top(); y <= captionArea.bottom(); ++y) {
        for (int x = captionArea.left(); x <= captionArea.right(); ++x) {
            const int gray = qGray(disabled.pixel(x, y));
            inked =
                inked || disabled.pixel(x, y) != button->palette().color(QPalette::Button).rgb();
            black = black || gray < 40;
        }
    }
    QVERIFY(inked);
    QVERIFY(!black);
}

void TestIconButton::leavingEndsThePress()
{
    auto button = makeButton(QStringLiteral("Connect"));
    button->show();
    QVERIFY(QTest::qWaitForWindowExposed(button.get()));
    QSignalSpy clicked(button.get(), &QAbstractButton::clicked);

    auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, button->mapToGlobal(pos), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(button.get(), &event);
    };
    const QPoint inside(20, 20);
    const QPoint outside(Width + 20, 20);

    send(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    QVERIFY(button->isDown());
    send(QEvent::MouseMove, outside, Qt::LeftButton);
    QVERIFY(!button->isDown());
    send(QEvent::MouseMove, inside, Qt::LeftButton);
    QVERIFY(!button->isDown());
    send(QEvent::MouseButtonRelease, inside, Qt::NoButton);
    QCOMPARE(clicked.count(), 0);

    // An ordinary press and release still clicks.
    send(QEvent::MouseButtonPress, inside, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, inside, Qt::NoButton);
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(TestIconButton)
#include "tst_iconbutton.moc"
