#include <QtTest>

#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>

#include "comboboxnowheel.h"
#include "tablecopyaction.h"
#include "tableheightupdater.h"
#include "tableviewsettings.h"

typedef QList<QPoint> Cells; // (row, column) as (y, x)

static QStandardItemModel *letters(int rows, int columns, QObject *parent)
{
    auto *model = new QStandardItemModel(rows, columns, parent);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            model->setItem(r, c, new QStandardItem(QString(QChar('a' + r * columns + c))));
    return model;
}

static QString settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
        .filePath("tst_tableutils.ini");
}

class TestTableUtils : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void copy_data();
    void copy();
    void copyWithoutSelectionKeepsClipboard();
    void copyActionTexts();
    void initTableView_data();
    void initTableView();
    void flagsAreRegistered();
    void headerState_data();
    void headerState();
    void saveWithoutNameWritesNothing();
    void heightFollowsRows();
    void heightGrowsWithScrollBar();
    void fixedHeight();
    void comboIgnoresWheel();
};

void TestTableUtils::init()
{
    QFile::remove(settingsFile());
    QGuiApplication::clipboard()->setText("untouched");
}

void TestTableUtils::copy_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<Cells>("selected");
    QTest::addColumn<QList<int>>("hiddenColumns");
    QTest::addColumn<QList<int>>("hiddenRows");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("titles"); // given to the action
    QTest::addColumn<int>("lampColumn");     // cells the action asks for their own text

    // Texts: row-major letters, so a 2 x 2 table is a b / c d.
    QTest::newRow("2 x 2 block") << 2 << 2 << Cells{{0, 0}, {1, 0}, {0, 1}, {1, 1}} << QList<int>()
                                 << QList<int>() << "a\tb\nc\td" << QStringList() << -1;
    QTest::newRow("selection order does not matter")
        << 2 << 2 << Cells{{1, 1}, {0, 1}, {1, 0}, {0, 0}} << QList<int>() << QList<int>()
        << "a\tb\nc\td" << QStringList() << -1;
    QTest::newRow("gap: (0,0) and (2,1)") << 3 << 2 << Cells{{0, 0}, {1, 2}} << QList<int>()
                                          << QList<int>() << "a\nf" << QStringList() << -1;
    QTest::newRow("hidden column dropped")
        << 2 << 3 << Cells{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}} << QList<int>{1}
        << QList<int>() << "a\tc\nd\tf" << QStringList() << -1;
    QTest::newRow("hidden row dropped") << 3 << 1 << Cells{{0, 0}, {0, 1}, {0, 2}} << QList<int>()
                                        << QList<int>{1} << "a\nc" << QStringList() << -1;
    QTest::newRow("single cell") << 2 << 2 << Cells{{1, 0}} << QList<int>() << QList<int>() << "b"
                                 << QStringList() << -1;
    QTest::newRow("only hidden cells")
        << 2 << 2 << Cells{{1, 0}} << QList<int>{1} << QList<int>() << "" << QStringList() << -1;
    const QStringList abc = {"A", "B", "C"};
    QTest::newRow("whole row under the titles")
        << 2 << 3 << Cells{{0, 1}, {1, 1}, {2, 1}} << QList<int>() << QList<int>()
        << "A\tB\tC\nd\te\tf" << abc << -1;
    QTest::newRow("titles of hidden columns left out")
        << 2 << 3 << Cells{{0, 0}, {1, 0}, {2, 0}} << QList<int>{1} << QList<int>() << "A\tC\na\tc"
        << abc << -1;
    QTest::newRow("no whole row, no titles")
        << 2 << 2 << Cells{{0, 0}, {1, 1}} << QList<int>() << QList<int>() << "a\nd" << abc << -1;
    QTest::newRow("lamp cell by its own text")
        << 2 << 2 << Cells{{0, 0}, {1, 0}, {1, 1}} << QList<int>() << QList<int>()
        << "A\tB\na\tlamp\nlamp" << QStringList(abc.mid(0, 2)) << 1;
}

void TestTableUtils::copy()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(Cells, selected);
    QFETCH(QList<int>, hiddenColumns);
    QFETCH(QList<int>, hiddenRows);
    QFETCH(QString, expected);
    QFETCH(QStringList, titles);
    QFETCH(int, lampColumn);

    QTableView view;
    view.setModel(letters(rows, columns, &view));
    view.setSelectionMode(QAbstractItemView::MultiSelection);
    for (int c : hiddenColumns)
        view.setColumnHidden(c, true);
    for (int r : hiddenRows)
        view.setRowHidden(r, true);
    for (const QPoint &cell : selected)
        view.selectionModel()->select(view.model()->index(cell.y(), cell.x()),
                                      QItemSelectionModel::Select);

    TableCopyAction action(&view);
    action.setColumnTitles(titles);
    if (lampColumn >= 0) {
        action.setCellText([lampColumn](const QModelIndex &index) {
            return index.column() == lampColumn ? QStringLiteral("lamp") : QString();
        });
    }
    QCOMPARE(action.selectionText(), expected);
    action.trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard), expected);
}

void TestTableUtils::copyWithoutSelectionKeepsClipboard()
{
    QTableView view;
    view.setModel(letters(2, 2, &view));
    TableCopyAction action(&view);
    action.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));

    QTableView noModel;
    TableCopyAction orphan(&noModel);
    orphan.copy(); // no selection model at all
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));
}

void TestTableUtils::copyActionTexts()
{
    QTableView view;
    auto *action = new TableCopyAction(&view);
    QCOMPARE(action->parent(), &view);
    QCOMPARE(action->shortcuts(), QKeySequence::keyBindings(QKeySequence::Copy));
    QCOMPARE(action->shortcutContext(), Qt::WidgetShortcut);
    QCOMPARE(action->text(), QString("&Copy"));
    QCOMPARE(action->statusTip(), QString("Copy selected text"));
}

void TestTableUtils::initTableView_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("actions");
    QTest::newRow("with copy action") << 0 << 1;
    QTest::newRow("InitNoAction") << int(TableViewSettings::InitNoAction) << 0;
}

void TestTableUtils::initTableView()
{
    QFETCH(int, flags);
    QFETCH(int, actions);

    QSettings settings(settingsFile(), QSettings::IniFormat);
    QTableView view;
    view.setModel(letters(2, 2, &view));
    TableViewSettings::instance()->initTableView(&view, "CoefTable", &settings,
                                                 TableViewSettings::InitFlags(flags));
    QCOMPARE(view.actions().size(), actions);
    QVERIFY(view.alternatingRowColors());
    QVERIFY(view.verticalHeader()->isHidden());
    QCOMPARE(view.objectName(), QString("CoefTable"));

    if (actions) {
        // The language change reaches the action through the singleton.
        QAction *action = view.actions().at(0);
        QVERIFY(qobject_cast<TableCopyAction *>(action));
        action->setText("stale");
        TableViewSettings::instance()->retranslate();
        QCOMPARE(action->text(), QString("&Copy"));
    }
    QCOMPARE(TableViewSettings::instance()->disabledBrush, QBrush(Qt::lightGray));
}

void TestTableUtils::flagsAreRegistered()
{
    const QMetaObject &mo = TableViewSettings::staticMetaObject;
    const int i = mo.indexOfEnumerator("InitFlags");
    QVERIFY(i >= 0);
    QVERIFY(mo.enumerator(i).isFlag());
    QCOMPARE(mo.enumerator(i).keyToValue("InitNoAction"), 1);
}

void TestTableUtils::headerState_data()
{
    QTest::addColumn<QVariant>("storedCount"); // invalid: leave the key out
    QTest::addColumn<bool>("storeState");
    QTest::addColumn<bool>("restored");

    QTest::newRow("same column count") << QVariant(3) << true << true;
    QTest::newRow("different column count") << QVariant(4) << true << false;
    QTest::newRow("count 0") << QVariant(0) << true << false;
    QTest::newRow("count missing") << QVariant() << true << false;
    QTest::newRow("count not a number") << QVariant("three") << true << false;
    QTest::newRow("state missing") << QVariant(3) << false << false;
}

void TestTableUtils::headerState()
{
    QFETCH(QVariant, storedCount);
    QFETCH(bool, storeState);
    QFETCH(bool, restored);

    TableViewSettings *tvs = TableViewSettings::instance();
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.beginGroup("TareDialog");
        QTableView source;
        source.setModel(letters(2, 3, &source));
        source.horizontalHeader()->resizeSection(1, 123);
        source.horizontalHeader()->moveSection(0, 2);
        tvs->saveHeaderState(source.horizontalHeader(), &settings, "CoefTable");
        QCOMPARE(settings.value("CoefTableColumnCnt").toInt(), 3);
        QVERIFY(!settings.value("CoefTableColumnsState").toByteArray().isEmpty());
        if (storedCount.isValid())
            settings.setValue("CoefTableColumnCnt", storedCount);
        else
            settings.remove("CoefTableColumnCnt");
        if (!storeState)
            settings.remove("CoefTableColumnsState");
    }

    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.beginGroup("TareDialog");
    QTableView view;
    view.setModel(letters(2, 3, &view));
    tvs->initTableView(&view, "CoefTable", &settings, TableViewSettings::InitNoAction);
    QCOMPARE(view.horizontalHeader()->sectionSize(1) == 123, restored);
    QCOMPARE(view.horizontalHeader()->visualIndex(0) == 2, restored);
}

void TestTableUtils::saveWithoutNameWritesNothing()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    QTableView view;
    view.setModel(letters(2, 3, &view));
    TableViewSettings::instance()->saveTableView(&view, &settings);
    QVERIFY(settings.allKeys().isEmpty());

    view.setObjectName("ChannelsTable");
    TableViewSettings::instance()->saveTableView(&view, &settings);
    QCOMPARE(settings.value("ChannelsTableColumnCnt").toInt(), 3);
}

// 16 rows of 20 pixels under a 25-pixel header.
static void prepareTable(QTableView &view, QStandardItemModel *model)
{
    view.setModel(model);
    // Small text, so that fitting the rows to their contents leaves the 20-pixel minimum.
    QFont small = view.font();
    small.setPixelSize(9);
    view.setFont(small);
    view.horizontalHeader()->setFixedHeight(25);
    QHeaderView *rows = view.verticalHeader();
    rows->setMinimumSectionSize(20);
    rows->setDefaultSectionSize(20);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TestTableUtils::heightFollowsRows()
{
    QTableView view;
    auto *model = letters(16, 2, &view);
    prepareTable(view, model);
    view.resize(300, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    new TableHeightUpdater(&view, false);
    QVERIFY(!view.horizontalScrollBar()->isVisible());
    QCOMPARE(view.maximumHeight(), 349);
    QCOMPARE(view.minimumHeight(), 0);

    model->appendRow(new QStandardItem("q"));
    QCOMPARE(view.maximumHeight(), 369);
    model->removeRows(0, 2);
    QCOMPARE(view.maximumHeight(), 329);
}

void TestTableUtils::heightGrowsWithScrollBar()
{
    QTableView view;
    auto *model = letters(16, 2, &view);
    prepareTable(view, model);
    view.horizontalHeader()->setMinimumSectionSize(200);
    view.resize(300, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    new TableHeightUpdater(&view, false);
    QTRY_VERIFY(view.horizontalScrollBar()->isVisible());
    QTRY_COMPARE(view.maximumHeight(), 349 + view.horizontalScrollBar()->height());
}

void TestTableUtils::fixedHeight()
{
    QTableView view;
    prepareTable(view, letters(16, 2, &view));
    new TableHeightUpdater(&view, true);
    QCOMPARE(view.maximumHeight(), 349);
    QCOMPARE(view.minimumHeight(), 349);
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestTableUtils::comboIgnoresWheel()
{
    QTableWidget table(60, 1);
    auto *combo = new ComboBoxNoWheel;
    combo->addItems({"35 mV", "70 mV", "1200 mV"});
    combo->setCurrentIndex(1);
    table.setCellWidget(0, 0, combo);
    table.resize(200, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QCOMPARE(table.verticalScrollBar()->value(), 0);

    const QPoint pos = combo->rect().center();
    QWheelEvent wheel(pos, combo->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(combo, &wheel);
    QCOMPARE(combo->currentIndex(), 1);
    // Ignored, so Qt hands it on to the parent: the table's viewport, which scrolls.
    QVERIFY(!wheel.isAccepted());
    QCOMPARE(combo->parentWidget(), table.viewport());
    QWheelEvent onViewport(combo->mapToParent(pos), combo->mapToGlobal(pos), QPoint(),
                           QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(table.viewport(), &onViewport);
    QVERIFY(table.verticalScrollBar()->value() > 0);
    QCOMPARE(combo->currentIndex(), 1);
}

QTEST_MAIN(TestTableUtils)
#include "tst_tableutils.moc"
