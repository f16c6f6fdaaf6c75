#include <QtTest>

#include <QLabel>
#include <QLineEdit>

#include "condledindicator.h"
#include "mesvalstatewidget.h"

// A lamp state that showValue never sets: a lamp still holding it was left alone.
static const int Untouched = 99;
enum Lamp { Green = 0, Red = 1, Off = 2, Grey = 3, Blue = 4 };

class TestMesValStateWidget : public QObject
{
    Q_OBJECT

private slots:
    void initialState();
    void checkSetters();
    void showValue_data();
    void showValue();
    void text_data();
    void text();
    void nullValueOnlyClears();
    void visibility();
    void retranslatesOnLanguageChange();
    void cleanup() { QLocale::setDefault(QLocale::c()); }
};

static TGRV480MeasValue measValue(int state, bool valid = true, double value = 1.0)
{
    TGRV480MeasValue v;
    memset(&v, 0, sizeof v);
    v.state = uint8_t(state);
    v.valid = valid ? 1 : 0;
    v.value = value;
    return v;
}

void TestMesValStateWidget::initialState()
{
    MesValStateWidget w;
    QCOMPARE(w.rangeState(), int(Off));
    QCOMPARE(w.shortState(), int(Off));
    QCOMPARE(w.openState(), int(Off));
    QVERIFY(w.findChild<QLineEdit *>("value")->isReadOnly());
    QCOMPARE(w.findChild<CondLedIndicator *>("ovLed")->toolTip(), QString("Вне диапазона"));
}

void TestMesValStateWidget::checkSetters()
{
    MesValStateWidget w;
    w.setValueEnabled(false);
    QCOMPARE(w.rangeState(), int(Grey));
    QVERIFY(!w.isValueFieldEnabled());
    w.setValueEnabled(true);
    QCOMPARE(w.rangeState(), int(Off));
    QVERIFY(w.isValueFieldEnabled());
    w.setOpenCheck(false);
    w.setShortCheck(true);
    QCOMPARE(w.openState(), int(Grey));
    QCOMPARE(w.shortState(), int(Off));
}

void TestMesValStateWidget::showValue_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("valueEnabled");
    QTest::addColumn<bool>("openCheck");
    QTest::addColumn<bool>("shortCheck");
    QTest::addColumn<bool>("passed");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("open");
    QTest::addColumn<int>("shortCircuit");
    QTest::addColumn<bool>("fieldEnabled");

    // Every check enabled and the value passed.
    QTest::newRow("0 not measured") << 0 << true << true << true << true << int(Red) << int(Green) << int(Green) << false;
    QTest::newRow("1 valid") << 1 << true << true << true << true << int(Green) << int(Green) << int(Green) << true;
    QTest::newRow("2 no value yet") << 2 << true << true << true << true << int(Off) << Untouched << Untouched << true;
    QTest::newRow("3 fault") << 3 << true << true << true << true << int(Red) << int(Green) << int(Green) << true;
    QTest::newRow("4 short") << 4 << true << true << true << true << int(Blue) << int(Green) << int(Red) << true;
    QTest::newRow("5 open") << 5 << true << true << true << true << int(Blue) << int(Red) << int(Blue) << true;
    QTest::newRow("6 condition violated") << 6 << true << true << true << true << int(Red) << int(Green) << int(Green) << true;
    QTest::newRow("7 undetermined") << 7 << true << true << true << true << int(Blue) << int(Blue) << int(Blue) << true;
    QTest::newRow("unknown code 9") << 9 << true << true << true << true << int(Red) << int(Green) << int(Green) << true;

    // The value did not pass its check.
    QTest::newRow("1 valid, not passed") << 1 << true << true << true << false << int(Red) << int(Green) << int(Green) << true;

    // The range lamp follows faults even when the value is not measured.
    QTest::newRow("value off, 3 fault") << 3 << false << true << true << true << int(Red) << int(Green) << int(Green) << true;
    QTest::newRow("value off, 6 violated") << 6 << false << true << true << true << int(Red) << int(Green) << int(Green) << true;
    QTest::newRow("value off, 1 valid") << 1 << false << true << true << true << Untouched << int(Green) << int(Green) << true;
    QTest::newRow("value off, 4 short") << 4 << false << true << true << true << Untouched << int(Green) << int(Red) << true;

    // Disabled checks grey their lamps, except for the state they detect.
    QTest::newRow("short off, 4 short") << 4 << true << true << false << true << int(Blue) << int(Green) << int(Red) << true;
    QTest::newRow("both off, 4 short") << 4 << true << false << false << true << int(Blue) << int(Grey) << int(Red) << true;
    QTest::newRow("both off, 5 open") << 5 << true << false << false << true << int(Blue) << int(Red) << int(Grey) << true;
    QTest::newRow("both off, 7 undetermined") << 7 << true << false << false << true << int(Blue) << int(Grey) << int(Grey) << true;
    QTest::newRow("both off, 1 valid") << 1 << true << false << false << true << int(Green) << int(Grey) << int(Grey) << true;
    QTest::newRow("both off, 2 no value") << 2 << true << false << false << true << int(Off) << Untouched << Untouched << true;
}

void TestMesValStateWidget::showValue()
{
    QFETCH(int, state);
    QFETCH(bool, valueEnabled);
    QFETCH(bool, openCheck);
    QFETCH(bool, shortCheck);
    QFETCH(bool, passed);
    QFETCH(int, range);
    QFETCH(int, open);
    QFETCH(int, shortCircuit);
    QFETCH(bool, fieldEnabled);

    MesValStateWidget w;
    w.setValueEnabled(valueEnabled);
    w.setOpenCheck(openCheck);
    w.setShortCheck(shortCheck);
    for (const char *name : {"ovLed", "openLed", "shortLed"})
        w.findChild<CondLedIndicator *>(name)->setState(Untouched);

    const TGRV480MeasValue v = measValue(state);
    w.showValue(&v, passed, QString(), 3);
    QCOMPARE(w.rangeState(), range);
    QCOMPARE(w.openState(), open);
    QCOMPARE(w.shortState(), shortCircuit);
    QCOMPARE(w.isValueFieldEnabled(), fieldEnabled);
}

void TestMesValStateWidget::text_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");

    QTest::newRow("rounded") << "C" << true << 1.23456 << "" << 3 << "1.235";
    QTest::newRow("locale separator") << "ru_RU" << true << 1.23456 << "" << 3 << "1,235";
    QTest::newRow("suffix") << "C" << true << -0.5 << " V" << 2 << "-0.50 V";
    QTest::newRow("fixed, not scientific") << "C" << true << 1.5e-7 << "" << 3 << "0.000";
    QTest::newRow("large fixed") << "C" << true << 12345678.9 << "" << 1 << "12345678.9";
    QTest::newRow("invalid value is empty") << "C" << false << 1.0 << " V" << 3 << "";
}

void TestMesValStateWidget::text()
{
    QFETCH(QString, locale);
    QFETCH(bool, valid);
    QFETCH(double, value);
    QFETCH(QString, suffix);
    QFETCH(int, decimals);
    QFETCH(QString, expected);

    QLocale l(locale);
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(l);
    MesValStateWidget w;
    const TGRV480MeasValue v = measValue(1, valid, value);
    w.showValue(&v, true, suffix, decimals);
    QCOMPARE(w.text(), expected);
}

void TestMesValStateWidget::nullValueOnlyClears()
{
    MesValStateWidget w;
    w.setValueEnabled(true);
    const TGRV480MeasValue v = measValue(1, true, 2.0);
    w.showValue(&v, true, QString(), 3);
    QVERIFY(!w.text().isEmpty());
    w.showValue(nullptr, true, QString(), 3);
    QCOMPARE(w.text(), QString());
    QCOMPARE(w.rangeState(), int(Green));

    w.showValue(&v, true, QString(), 3);
    w.clear();
    QCOMPARE(w.text(), QString());
}

void TestMesValStateWidget::visibility()
{
    MesValStateWidget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setOpenVisible(false);
    QVERIFY(!w.findChild<CondLedIndicator *>("openLed")->isVisible());
    QVERIFY(!w.findChild<QLabel *>("openLbl")->isVisible());
    QVERIFY(w.findChild<CondLedIndicator *>("shortLed")->isVisible());
    w.setShortVisible(false);
    QVERIFY(!w.findChild<QLabel *>("shortLbl")->isVisible());
    w.setOpenVisible(true);
    QVERIFY(w.findChild<QLabel *>("openLbl")->isVisible());
}

void TestMesValStateWidget::retranslatesOnLanguageChange()
{
    MesValStateWidget w;
    auto *label = w.findChild<QLabel *>("ovLbl");
    label->setText("stale");
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&w, &change);
    QCOMPARE(label->text(), QString("Диап."));
}

QTEST_MAIN(TestMesValStateWidget)
#include "tst_mesvalstatewidget.moc"
