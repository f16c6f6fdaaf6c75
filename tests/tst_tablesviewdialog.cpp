#include <QtTest>

#include <QTableWidget>

#include "condledindicator.h"
#include "tablesviewdialog.h"

#include <cstring>

class TestTablesViewDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void mainEntry_data();
    void mainEntry();
    void bgSlotRow();
    void rowShading();
    void emptyAndOversizedTables();

private:
    TGRV480 handle;
};

static quint32 entry(quint32 mode, int channel, int gain, int dac, bool bout = false)
{
    return mode | quint32(channel) << 19 | quint32(gain) << 16 | quint32(dac) |
           (bout ? GRV480_ENTRY_BOUT : 0);
}

void TestTablesViewDialog::mainEntry_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("led");

    QTest::newRow("unbalance ch 3, 70 mV, mid DAC")
        << entry(GRV480_MODE_UNBALANCE, 2, 3, 8192)
        << QStringList{"Разбаланс (1,0,1)", "± 70 мВ", "3", "0.000 мВ"} << 3;
    QTest::newRow("zero Uref hides channel, Bout red")
        << entry(GRV480_MODE_ZERO_UREF, 5, 2, 8192, true)
        << QStringList{"Ноль (Uref) (1,1,0)", "± 35 мВ", "", "0.000 мВ"} << 1;
    QTest::newRow("DAC 0 at gain 1")
        << entry(GRV480_MODE_UX_UNEG, 15, 7, 0)
        << QStringList{"Ux (U-) (4,0,1)", "± 1200 мВ", "16", "-2500.000 мВ"} << 3;
    QTest::newRow("DAC 16383 at gain 128")
        << entry(GRV480_MODE_UNBALANCE, 0, 0, 16383)
        << QStringList{"Разбаланс (1,0,1)", "± 9 мВ", "1", "19.529 мВ"} << 3;
    QTest::newRow("unknown mode: suffix only")
        << entry(0x70000000u, 4, 1, 8192) << QStringList{"(7,0,0)", "± 18 мВ", "", "0.000 мВ"} << 3;
}

void TestTablesViewDialog::mainEntry()
{
    QFETCH(quint32, value);
    QFETCH(QStringList, texts);
    QFETCH(int, led);

    std::memset(&handle, 0, sizeof handle);
    handle.raw.mainTableSize = 1;
    handle.raw.unbalanceChCount = 1;
    handle.raw.secondaryRowStart = 1;
    handle.raw.mainTable[0] = value;
    TablesViewDialog dlg(nullptr, &handle);
    QTableWidget *t = dlg.mainTable();
    QCOMPARE(t->rowCount(), 1);
    QStringList shown;
    for (int c = 0; c < 4; ++c)
        shown << t->item(0, c)->text();
    QCOMPARE(shown, texts);
    auto *lamp = qobject_cast<CondLedIndicator *>(t->cellWidget(0, 4));
    QVERIFY(lamp);
    QCOMPARE(lamp->state(), led);
}

void TestTablesViewDialog::bgSlotRow()
{
    std::memset(&handle, 0, sizeof handle);
    handle.raw.bgTableSize = 2;
    handle.raw.bgTable[0] = entry(GRV480_MODE_VADJ, 0, 7, 12000);
    handle.raw.bgTable[1] = GRV480_ENTRY_BG_SLOT;
    TablesViewDialog dlg(nullptr, &handle);
    QTableWidget *t = dlg.bgTable();
    QCOMPARE(t->item(0, 3)->text(), QStringLiteral("1162 мВ")); // no decimals here
    QCOMPARE(t->item(1, 0)->text(), QStringLiteral("Фоновая таблица"));
    QCOMPARE(t->columnSpan(1, 0), 5);
    QCOMPARE(t->item(1, 0)->background().color(), QColor(Qt::lightGray));
}

void TestTablesViewDialog::rowShading()
{
    std::memset(&handle, 0, sizeof handle);
    handle.raw.mainTableSize = 8;
    handle.raw.unbalanceChCount = 4;
    handle.raw.secondaryRowStart = 6;
    for (int i = 0; i < 8; ++i)
        handle.raw.mainTable[i] = entry(GRV480_MODE_UNBALANCE, i, 2, 8192);
    TablesViewDialog dlg(nullptr, &handle);
    for (int r = 0; r < 8; ++r) {
        const QBrush b = dlg.mainTable()->item(r, 0)->background();
        const Qt::BrushStyle style = r < 4 ? Qt::NoBrush : Qt::SolidPattern;
        QCOMPARE(b.style(), style);
        if (r >= 4)
            QCOMPARE(b.color(), QColor(r < 6 ? Qt::lightGray : Qt::darkGray));
    }
}

void TestTablesViewDialog::emptyAndOversizedTables()
{
    std::memset(&handle, 0, sizeof handle);
    TablesViewDialog empty(nullptr, &handle);
    QCOMPARE(empty.mainTable()->rowCount(), 0);
    QCOMPARE(empty.mainTable()->columnCount(), 5);
    // A count beyond the table's room never reads past it.
    handle.raw.mainTableSize = 100000;
    handle.raw.bgTableSize = 0xFFFFFFFFu;
    TablesViewDialog big(nullptr, &handle);
    QCOMPARE(big.mainTable()->rowCount(), GRV480_MAX_TABLE_SIZE);
    QCOMPARE(big.bgTable()->rowCount(), GRV480_MAX_TABLE_SIZE);
}

QTEST_MAIN(TestTablesViewDialog)
#include "tst_tablesviewdialog.moc"
