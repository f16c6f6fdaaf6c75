// The tare coefficient table over a module handle: what its cells show, what
// they store into the handle's tare records, and what they refuse.
#include "tarecoefdelegate.h"
#include "tarecoefsmodel.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

class TestTareCoefsModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rowNames_data();
    void rowNames();
    void shownAndStored_data();
    void shownAndStored();
    void refusedValues_data();
    void refusedValues();
    void untickingKeepsValue();
    void flagsAndHeaders();
    void refreshAllCoversTable();
    void typedCoefficients_data();
    void typedCoefficients();

private:
    std::unique_ptr<TGRV480> h;
};

void TestTareCoefsModel::init()
{
    h.reset(new TGRV480);
    std::memset(h.get(), 0, sizeof *h);
}

void TestTareCoefsModel::rowNames_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::newRow("first") << 0 << "Канал 1";
    QTest::newRow("tenth") << 9 << "Канал 10";
    QTest::newRow("last") << 15 << "Канал 16";
}

void TestTareCoefsModel::rowNames()
{
    QFETCH(int, row);
    QFETCH(QString, text);
    TareCoefsModel m(h.get());
    QCOMPARE(m.rowCount(), 16);
    QCOMPARE(m.columnCount(), 4);
    QCOMPARE(m.data(m.index(row, 0)).toString(), text);
    QVERIFY(!m.data(m.index(row, 0), Qt::CheckStateRole).isValid());
}

// column, value in the record, value shown, value typed, value stored
void TestTareCoefsModel::shownAndStored_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<double>("record");
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("typed");
    QTest::addColumn<double>("stored");
    QTest::newRow("dac offset in mV") << 1 << -0.0125 << -12.5 << 40.0 << 0.04;
    QTest::newRow("offset in mV") << 2 << 0.0025 << 2.5 << 2.5 << 0.0025;
    QTest::newRow("offset at the bound") << 2 << 0.0 << 0.0 << -2500.0 << -2.5;
    QTest::newRow("scale as is") << 3 << 0.99876 << 0.99876 << 1.25 << 1.25;
    QTest::newRow("scale at the bound") << 3 << 1.0 << 1.0 << 10.0 << 10.0;
}

static double &field(TGRV480TareInfo &t, int column)
{
    return column == 1 ? t.dacOffset : column == 2 ? t.offsetCoef : t.scaleCoef;
}

void TestTareCoefsModel::shownAndStored()
{
    QFETCH(int, column);
    QFETCH(double, record);
    QFETCH(double, shown);
    QFETCH(double, typed);
    QFETCH(double, stored);
    field(h->tare[7], column) = record;
    TareCoefsModel m(h.get());
    const QModelIndex idx = m.index(7, column);
    QCOMPARE(m.data(idx).toDouble(), shown);
    QCOMPARE(m.data(idx, Qt::EditRole).toDouble(), shown);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QVERIFY(m.setData(idx, typed));
    QCOMPARE(field(h->tare[7], column), stored);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), idx);
    QCOMPARE(m.data(idx).toDouble(), typed);
}

void TestTareCoefsModel::refusedValues_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("role");
    QTest::newRow("dac NaN") << 1 << QVariant(nan) << int(Qt::EditRole);
    QTest::newRow("dac beyond 2.5 V") << 1 << QVariant(2500.001) << int(Qt::EditRole);
    QTest::newRow("offset -inf") << 2 << QVariant(-inf) << int(Qt::EditRole);
    QTest::newRow("offset huge") << 2 << QVariant(1e308) << int(Qt::EditRole);
    QTest::newRow("offset text") << 2 << QVariant("abc") << int(Qt::EditRole);
    QTest::newRow("offset display role") << 2 << QVariant(1.0) << int(Qt::DisplayRole);
    QTest::newRow("scale zero") << 3 << QVariant(0.0) << int(Qt::EditRole);
    QTest::newRow("scale negative") << 3 << QVariant(-1.0) << int(Qt::EditRole);
    QTest::newRow("scale above ten") << 3 << QVariant(10.5) << int(Qt::EditRole);
    QTest::newRow("scale inf") << 3 << QVariant(inf) << int(Qt::EditRole);
    QTest::newRow("channel edit") << 0 << QVariant("Канал 9") << int(Qt::EditRole);
    QTest::newRow("channel check") << 0 << QVariant(int(Qt::Checked)) << int(Qt::CheckStateRole);
}

void TestTareCoefsModel::refusedValues()
{
    QFETCH(int, column);
    QFETCH(QVariant, value);
    QFETCH(int, role);
    for (TGRV480TareInfo &t : h->tare) {
        t.dacOffset = 0.001;
        t.offsetCoef = 0.002;
        t.scaleCoef = 1.01;
    }
    const std::unique_ptr<TGRV480> before(new TGRV480(*h));
    TareCoefsModel m(h.get());
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QVERIFY(!m.setData(m.index(3, column), value, role));
    QCOMPARE(std::memcmp(before.get(), h.get(), sizeof *h), 0);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!m.setData(QModelIndex(), 1.0));
}

void TestTareCoefsModel::untickingKeepsValue()
{
    h->tare[2] = {1, 1, 1, {}, 0.01, 0.002, 1.02, {}};
    TareCoefsModel m(h.get());
    QCOMPARE(m.data(m.index(2, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(m.setData(m.index(2, 2), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(int(h->tare[2].offsetValid), 0);
    QCOMPARE(int(h->tare[2].dacOffsetValid), 1);
    QCOMPARE(int(h->tare[2].scaleValid), 1);
    QCOMPARE(h->tare[2].offsetCoef, 0.002);
    QCOMPARE(m.data(m.index(2, 2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(m.setData(m.index(2, 3), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(int(h->tare[2].scaleValid), 1);
}

void TestTareCoefsModel::flagsAndHeaders()
{
    TareCoefsModel m(h.get());
    QCOMPARE(m.flags(m.index(0, 0)), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    for (int c = 1; c < 4; ++c)
        QCOMPARE(m.flags(m.index(5, c)), Qt::ItemIsSelectable | Qt::ItemIsEnabled |
                                             Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
    QCOMPARE(m.flags(QModelIndex()), Qt::NoItemFlags);
    const QStringList titles = {"Канал", "Смещение ЦАП (мВ)", "Коэф. смещения (мВ)", "Коэф. шкалы"};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(m.headerData(c, Qt::Horizontal).toString(), titles.at(c));
        const QVariant tip = m.headerData(c, Qt::Horizontal, Qt::ToolTipRole);
        QCOMPARE(tip.type(), QVariant::String);
        QVERIFY(tip.toString().isEmpty());
    }
    QVERIFY(!m.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!m.headerData(4, Qt::Horizontal).isValid());
    // the read-only channel column keeps the default background
    QVERIFY(!m.data(m.index(0, 0), Qt::BackgroundRole).isValid());
}

void TestTareCoefsModel::refreshAllCoversTable()
{
    TareCoefsModel m(h.get());
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    m.refreshAll();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), m.index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), m.index(15, 3));
    QVERIFY(changed.at(0).at(2).value<QVector<int>>().isEmpty());
}

// What the operator types into the cell editor under a locale, what the record
// then holds, and the reason given when the entry is refused.
void TestTareCoefsModel::typedCoefficients_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed"); // empty: the editor is closed untouched
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("refusal"); // part of the reason; empty: stored
    const double exact = 0.998765432101234;
    const double offset = 0.000123456789012345;
    QTest::newRow("scale untouched") << "ru_RU" << 3 << QString() << exact << QString();
    QTest::newRow("comma, comma locale") << "ru_RU" << 3 << "1,5" << 1.5 << QString();
    QTest::newRow("point, comma locale") << "ru_RU" << 3 << " 1.5 " << 1.5 << QString();
    QTest::newRow("comma, point locale") << "C" << 3 << "1,5" << 1.5 << QString();
    QTest::newRow("point, point locale") << "en_US" << 2 << "-2.5" << -0.0025 << QString();
    QTest::newRow("comma, German locale") << "de_DE" << 1 << "12,5" << 0.0125 << QString();
    QTest::newRow("exponent with comma") << "ru_RU" << 2 << "2,5e-1" << 0.00025 << QString();
    QTest::newRow("offset at the bound") << "C" << 2 << "-2500" << -2.5 << QString();
    QTest::newRow("scale above ten") << "ru_RU" << 3 << "12" << exact
                                     << "Канал 1, Коэф. шкалы: значение 12 не принято; "
                                        "допустимо больше 0 и не больше 10.";
    QTest::newRow("scale zero") << "C" << 3 << "0" << exact << "больше 0 и не больше 10";
    QTest::newRow("offset beyond 2.5 V")
        << "en_US" << 2 << "2500.5" << offset << "допустимо от -2500 до 2500 мВ";
    QTest::newRow("dac offset beyond 2.5 V")
        << "ru_RU" << 1 << "-3000" << 0.0 << "Канал 1, Смещение ЦАП (мВ)";
    QTest::newRow("letters") << "ru_RU" << 3 << "1,5x" << exact << "«1,5x» не является числом";
    QTest::newRow("group separator") << "en_US" << 2 << "1,500.5" << offset << "не является числом";
    QTest::newRow("two decimal separators") << "ru_RU" << 3 << "1.234,5" << exact << "«1.234,5»";
    QTest::newRow("inf") << "C" << 3 << "inf" << exact << "допустимо больше 0";
    QTest::newRow("nan") << "C" << 3 << "nan" << exact << "не является числом";
    QTest::newRow("cleared") << "ru_RU" << 3 << " " << exact << "«» не является числом";
    QTest::newRow("overflow") << "C" << 2 << "1e400" << offset << "«1e400»";
}

void TestTareCoefsModel::typedCoefficients()
{
    QFETCH(QString, locale);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, refusal);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    h->tare[0].scaleCoef = 0.998765432101234;
    h->tare[0].offsetCoef = 0.000123456789012345;
    TareCoefsModel m(h.get());
    QTableView view;
    m.initView(&view, QString(), nullptr);
    auto *delegate = qobject_cast<TareCoefDelegate *>(view.itemDelegateForColumn(column));
    QVERIFY(delegate);
    QSignalSpy refused(delegate, &TareCoefDelegate::entryRefused);
    const QModelIndex idx = m.index(0, column);
    std::unique_ptr<QWidget> editor(delegate->createEditor(&view, QStyleOptionViewItem(), idx));
    auto *edit = qobject_cast<QLineEdit *>(editor.get());
    QVERIFY(edit);
    delegate->setEditorData(edit, idx);
    if (!typed.isEmpty())
        edit->setText(typed);
    delegate->setModelData(edit, &m, idx);
    QCOMPARE(field(h->tare[0], column), stored);
    QCOMPARE(refused.count(), refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty()) {
        QCOMPARE(refused.at(0).at(0).toModelIndex(), idx);
        const QString reason = refused.at(0).at(1).toString();
        QVERIFY2(reason.contains(refusal), qPrintable(reason));
    }
}

QTEST_MAIN(TestTareCoefsModel)
#include "tst_tarecoefsmodel.moc"
