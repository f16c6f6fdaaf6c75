#include <QtTest>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>

#include "freqconfigwidget.h"

class TestFreqConfigWidget : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void unitSwitchKeepsValue();
    void whichSignal_data();
    void whichSignal();
    void bounds_data();
    void bounds();
    void unitMultCoef_data();
    void unitMultCoef();
};

void TestFreqConfigWidget::unitSwitchKeepsValue()
{
    FreqConfigWidget w;
    w.setMaximum(250000);
    w.setValue(25000);
    QSignalSpy changed(&w, &FreqConfigWidget::valueChanged);
    QSignalSpy units(&w, &FreqConfigWidget::unitChanged);
    QVERIFY(changed.isValid() && units.isValid());

    w.unitSelector()->setCurrentIndex(1);
    QCOMPARE(w.numberBox()->text(), QStringLiteral("25.000"));
    w.unitSelector()->setCurrentIndex(0);
    QCOMPARE(w.numberBox()->text(), QStringLiteral("25000.000"));
    QCOMPARE(w.value(), 25000.0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(units.count(), 2);
    QCOMPARE(units.at(0).at(0).toInt(), 1000);
}

void TestFreqConfigWidget::whichSignal_data()
{
    QTest::addColumn<bool>("typed"); // the operator's entry, else setValue()
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("changedCount");
    QTest::addColumn<int>("fromUiCount");
    QTest::addColumn<double>("expected");

    QTest::newRow("typed 2.5 kHz") << true << 1 << 2.5 << 1 << 1 << 2500.0;
    QTest::newRow("setValue new") << false << 0 << 3000.0 << 1 << 0 << 3000.0;
    QTest::newRow("setValue same") << false << 0 << 1000.0 << 0 << 0 << 1000.0;
    QTest::newRow("setValue in kHz") << false << 1 << 7000.0 << 1 << 0 << 7000.0;
}

void TestFreqConfigWidget::whichSignal()
{
    QFETCH(bool, typed);
    QFETCH(int, unit);
    QFETCH(double, number);
    QFETCH(int, changedCount);
    QFETCH(int, fromUiCount);
    QFETCH(double, expected);

    FreqConfigWidget w;
    w.setValue(1000);
    w.unitSelector()->setCurrentIndex(unit);
    QSignalSpy changed(&w, &FreqConfigWidget::valueChanged);
    QSignalSpy fromUi(&w, &FreqConfigWidget::valueChangedFromUi);

    if (typed) {
        QLineEdit *edit = w.numberBox()->findChild<QLineEdit *>();
        edit->selectAll();
        QTest::keyClicks(edit, QString::number(number));
        QTest::keyClick(edit, Qt::Key_Return);
    } else {
        w.setValue(number);
    }
    QCOMPARE(changed.count(), changedCount);
    QCOMPARE(fromUi.count(), fromUiCount);
    QCOMPARE(w.value(), expected);
    if (changedCount)
        QCOMPARE(changed.at(0).at(0).toDouble(), expected);
    if (fromUiCount)
        QCOMPARE(fromUi.at(0).at(0).toDouble(), expected);
}

void TestFreqConfigWidget::bounds_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");

    QTest::newRow("Hz") << 0 << 0.01 << 250000.0;
    // Three decimals: 0.00001 kHz shows as 0.000.
    QTest::newRow("kHz") << 1 << 0.0 << 250.0;
}

void TestFreqConfigWidget::bounds()
{
    QFETCH(int, unit);
    QFETCH(double, min);
    QFETCH(double, max);

    FreqConfigWidget w;
    w.setMinimum(0.01);
    w.setMaximum(250000);
    QSignalSpy fromUi(&w, &FreqConfigWidget::valueChangedFromUi);
    w.unitSelector()->setCurrentIndex(unit);
    QCOMPARE(w.numberBox()->minimum(), min);
    QCOMPARE(w.numberBox()->maximum(), max);
    // A bound that moves the shown number is not the operator's change.
    QCOMPARE(fromUi.count(), 0);
}

void TestFreqConfigWidget::unitMultCoef_data()
{
    QTest::addColumn<int>("mult");
    QTest::addColumn<int>("index");
    QTest::newRow("1000 selects kHz") << 1000 << 1;
    QTest::newRow("10 changes nothing") << 10 << 0;
}

void TestFreqConfigWidget::unitMultCoef()
{
    QFETCH(int, mult);
    QFETCH(int, index);
    FreqConfigWidget w;
    w.setUnitMultCoef(mult);
    QCOMPARE(w.unitSelector()->currentIndex(), index);
    QCOMPARE(w.unitMult(), index ? 1000 : 1);
}

QTEST_MAIN(TestFreqConfigWidget)
#include "tst_freqconfigwidget.moc"
