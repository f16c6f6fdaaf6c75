#include <QtTest>

#include "condledindicator.h"
#include "qledindicator.h"

// Renders a widget without its window background, so that whatever the lamp
// does not cover stays fully transparent.
static QImage renderTransparent(QWidget *w)
{
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

// The lamp's gradient runs from colour 1 at (-500, -500) to colour 2 at
// distance 1500, so the centre of the lamp sits at sqrt(2) * 500 / 1500.
static QColor expectedCentre(const QColor &c1, const QColor &c2)
{
    const qreal t = std::sqrt(2.0) * 500.0 / 1500.0;
    return QColor::fromRgbF(c1.redF() + (c2.redF() - c1.redF()) * t,
                            c1.greenF() + (c2.greenF() - c1.greenF()) * t,
                            c1.blueF() + (c2.blueF() - c1.blueF()) * t);
}

static bool near(const QColor &a, const QColor &b, int tolerance = 8)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

class TestLedIndicators : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void condStates_data();
    void condStates();
    void circleInWideWidget();
    void circleIsCentredAndRound();
    void threeBlinksMergeIntoTwo();
    void blinkAfterSequenceStartsAgain();
    void toolTipNamesState_data();
    void toolTipNamesState();
    void rightClickOnLampIsForwarded_data();
    void rightClickOnLampIsForwarded();
};

void TestLedIndicators::defaults()
{
    QLedIndicator led(nullptr, 24);
    QCOMPARE(led.minimumSize(), QSize(24, 24));
    QCOMPARE(led.maximumHeight(), 24);
    QVERIFY(led.isCheckable());
    QVERIFY(!led.isChecked());
    QCOMPARE(led.property("onColor1").value<QColor>(), QColor(0, 255, 0));
    QCOMPARE(led.property("onColor2").value<QColor>(), QColor(0, 192, 0));
    QCOMPARE(led.property("offColor1").value<QColor>(), QColor(0, 28, 0));
    QCOMPARE(led.property("offColor2").value<QColor>(), QColor(0, 128, 0));
    QCOMPARE(led.blinkInterval(), 200);

    // Written through the meta-object, as a designer form or a style sheet would.
    QVERIFY(led.setProperty("offColor1", QColor(1, 2, 3)));
    QCOMPARE(led.offColor1(), QColor(1, 2, 3));
}

void TestLedIndicators::condStates_data()
{
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QColor>("expected");

    const QColor green = expectedCentre(QColor(0, 255, 0), QColor(0, 192, 0));
    const QColor red = expectedCentre(QColor(255, 0, 0), QColor(192, 0, 0));
    const QColor grey = expectedCentre(QColor(128, 128, 128), QColor(160, 160, 164));
    const QColor blue = expectedCentre(QColor(0, 0, 255), QColor(0, 0, 192));
    const QColor off = expectedCentre(QColor(0, 28, 0), QColor(0, 128, 0));

    QTest::newRow("green") << 2 << 0 << true << green;
    QTest::newRow("red") << 2 << 1 << true << red;
    QTest::newRow("off") << 2 << 2 << false << off;
    QTest::newRow("grey") << 2 << 3 << true << grey;
    QTest::newRow("blue") << 2 << 4 << true << blue;
    QTest::newRow("off after red") << 1 << 2 << false << off;
    QTest::newRow("unknown code is off") << 1 << 7 << false << off;
    QTest::newRow("blue after red replaces both colours") << 1 << 4 << true << blue;
    QTest::newRow("green after grey") << 3 << 0 << true << green;
}

void TestLedIndicators::condStates()
{
    QFETCH(int, previous);
    QFETCH(int, state);
    QFETCH(bool, lit);
    QFETCH(QColor, expected);

    CondLedIndicator cond;
    cond.resize(40, 30);
    cond.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cond));
    QCOMPARE(cond.state(), 2);

    cond.setState(previous);
    cond.setState(state);
    QCOMPARE(cond.state(), state);
    QCOMPARE(cond.led()->isChecked(), lit);

    const QImage img = cond.grab().toImage();
    const QRect ledRect = cond.led()->geometry();
    QCOMPARE(ledRect.size(), QSize(22, 22));
    const QPoint centre(ledRect.x() + 11, ledRect.y() + 11);
    const QColor got = img.pixelColor(centre);
    QVERIFY2(near(got, expected), qPrintable(QString("centre pixel %1, expected about %2")
                                                 .arg(got.name(), expected.name())));
}

void TestLedIndicators::circleInWideWidget()
{
    QLedIndicator led(nullptr, 22);
    led.resize(40, 22);
    const QImage img = renderTransparent(&led);

    auto covered = [&](int x, int y) { return qAlpha(img.pixel(x, y)) > 200; };
    auto empty = [&](int x, int y) { return qAlpha(img.pixel(x, y)) == 0; };

    // Centre (20, 11), radius 11.
    QVERIFY(covered(20, 11));
    QVERIFY(covered(20, 1));
    QVERIFY(covered(20, 20));
    QVERIFY(covered(10, 11));
    QVERIFY(covered(29, 11));
    // The horizontal margins stay empty.
    QVERIFY(empty(0, 11));
    QVERIFY(empty(7, 11));
    QVERIFY(empty(32, 11));
    QVERIFY(empty(39, 11));
    // Just outside the circle on the diagonal, inside its bounding square.
    QVERIFY(empty(10, 1));
    QVERIFY(empty(29, 20));
}

void TestLedIndicators::circleIsCentredAndRound()
{
    QLedIndicator led(nullptr, 22);
    led.resize(40, 22);
    const QImage img = renderTransparent(&led);

    // Extent of the (mostly) covered pixels along the middle row and column.
    int left = -1, right = -1, top = -1, bottom = -1;
    for (int x = 0; x < img.width(); ++x) {
        if (qAlpha(img.pixel(x, 11)) > 127) {
            if (left < 0)
                left = x;
            right = x;
        }
    }
    for (int y = 0; y < img.height(); ++y) {
        if (qAlpha(img.pixel(20, y)) > 127) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    QCOMPARE(right - left + 1, 22);
    QCOMPARE(bottom - top + 1, 22);
    QCOMPARE(left, 40 - 1 - right); // equal margins
}

void TestLedIndicators::threeBlinksMergeIntoTwo()
{
    QLedIndicator led(nullptr, 24);
    led.setBlinkInterval(40);
    QSignalSpy toggled(&led, &QAbstractButton::toggled);
    QVERIFY(toggled.isValid());

    led.blink();
    led.blink();
    led.blink();
    QVERIFY(led.isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(!led.isBlinking(), 3000);
    QTest::qWait(120); // nothing more may follow

    int on = 0, off = 0;
    for (const QList<QVariant> &args : qAsConst(toggled))
        (args.at(0).toBool() ? on : off)++;
    QCOMPARE(on, 2);
    QCOMPARE(off, 2);
    QVERIFY(!led.isChecked());
}

void TestLedIndicators::blinkAfterSequenceStartsAgain()
{
    QLedIndicator led(nullptr, 24);
    led.setBlinkInterval(20);
    QSignalSpy toggled(&led, &QAbstractButton::toggled);
    led.blink();
    QTRY_VERIFY_WITH_TIMEOUT(!led.isBlinking(), 3000);
    led.blink();
    QVERIFY(led.isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(!led.isBlinking(), 3000);
    QCOMPARE(toggled.count(), 4);
}

void TestLedIndicators::toolTipNamesState_data()
{
    QTest::addColumn<QString>("formToolTip");
    QTest::addColumn<bool>("meaning");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");

    QTest::newRow("meaning, green") << QString() << true << 0 << "Диапазон: в норме";
    QTest::newRow("meaning, red") << QString() << true << 1 << "Диапазон: нарушение";
    QTest::newRow("meaning wins over the form") << "КЗ" << true << 3 << "Диапазон: не измеряется";
    QTest::newRow("form's tool tip, blue") << "Обрыв" << false << 4 << "Обрыв: не определено";
    QTest::newRow("nothing named, off") << QString() << false << 2 << "нет данных";
    QTest::newRow("unknown code") << QString() << true << 9 << "Диапазон: нет данных";
}

void TestLedIndicators::toolTipNamesState()
{
    QFETCH(QString, formToolTip);
    QFETCH(bool, meaning);
    QFETCH(int, state);
    QFETCH(QString, text);

    CondLedIndicator cond;
    cond.setToolTip(formToolTip);
    if (meaning)
        cond.setMeaning("MainWindow", "Диапазон");
    cond.setState(state);
    QCOMPARE(cond.toolTipText(), text);
}

void TestLedIndicators::rightClickOnLampIsForwarded_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("right") << int(Qt::RightButton) << 1;
    QTest::newRow("left") << int(Qt::LeftButton) << 0;
}

void TestLedIndicators::rightClickOnLampIsForwarded()
{
    QFETCH(int, button);
    QFETCH(int, expected);

    CondLedIndicator cond;
    cond.resize(60, 30);
    cond.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cond));
    QSignalSpy menu(&cond, &QWidget::customContextMenuRequested);
    QVERIFY(menu.isValid());

    const QPoint onLed(5, 6);
    QTest::mouseClick(cond.led(), Qt::MouseButton(button), Qt::NoModifier, onLed);
    QCOMPARE(menu.count(), expected);
    if (expected)
        QCOMPARE(menu.at(0).at(0).toPoint(), cond.led()->pos() + onLed);
    // The operator cannot switch the lamp.
    QVERIFY(!cond.led()->isChecked());
}

QTEST_MAIN(TestLedIndicators)
#include "tst_ledindicators.moc"
