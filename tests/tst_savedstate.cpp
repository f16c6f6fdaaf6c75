#include "savedstate.h"

#include <QDataStream>
#include <QDockWidget>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

using namespace SavedState;

namespace {

// A big-endian 32-bit word at a byte position, as QDataStream writes it.
QByteArray withWord(QByteArray blob, int pos, quint32 word)
{
    for (int i = 0; i < 4; ++i)
        blob[pos + i] = char((word >> (24 - 8 * i)) & 0xff);
    return blob;
}

QByteArray splitterState()
{
    QSplitter s;
    s.addWidget(new QLabel("a"));
    s.addWidget(new QLabel("b"));
    s.setSizes({700, 200});
    return s.saveState();
}

QByteArray headerState(int columns, bool rearranged)
{
    QTableView view;
    QStandardItemModel model(2, columns);
    view.setModel(&model);
    QHeaderView *h = view.horizontalHeader();
    for (int c = 0; c < columns; ++c)
        h->resizeSection(c, 40 + 7 * c);
    if (rearranged) {
        h->moveSection(0, columns - 1);
        h->hideSection(1);
        h->setSortIndicator(2, Qt::AscendingOrder);
    }
    return h->saveState();
}

// The section list is the last array, followed by 9 bytes of trailing fields.
// What a header writes after its section list: the resize precision, whether
// the default size was set, the last section's size, and from Qt 6.1 on
// whether the sort indicator can be cleared.
constexpr int HeaderTail = QT_VERSION >= QT_VERSION_CHECK(6, 1, 0) ? 13 : 9;

int sectionListPos(const QByteArray &header)
{
    for (quint32 n = 1; n < 64; ++n) {
        const int pos = header.size() - HeaderTail - int(n) * 12 - 4;
        QDataStream s(header.mid(pos, 4));
        quint32 word = 0;
        s >> word;
        if (word == n)
            return pos;
    }
    return -1;
}

QByteArray windowState()
{
    QMainWindow w;
    w.addToolBar(QStringLiteral("t"))->setObjectName(QStringLiteral("toolBar"));
    w.setCentralWidget(new QLabel("x"));
    w.show();
    QCoreApplication::processEvents();
    return w.saveState(0);
}

// A window with tool bar and dock widgets: docked, floating, hidden, tabbed.
QByteArray dockedWindowState(const QString &how)
{
    QMainWindow w;
    w.addToolBar(QStringLiteral("t"))->setObjectName(QStringLiteral("toolBar"));
    w.setCentralWidget(new QLabel("x"));
    auto *dock = new QDockWidget(QStringLiteral("log"), &w);
    dock->setObjectName(QStringLiteral("eventLogDock"));
    dock->setWidget(new QLabel("y"));
    w.addDockWidget(Qt::BottomDockWidgetArea, dock);
    if (how == QLatin1String("tabbed")) {
        auto *other = new QDockWidget(QStringLiteral("other"), &w);
        other->setObjectName(QStringLiteral("otherDock"));
        w.addDockWidget(Qt::BottomDockWidgetArea, other);
        w.tabifyDockWidget(dock, other);
    }
    w.show();
    if (how == QLatin1String("floating"))
        dock->setFloating(true);
    if (how == QLatin1String("hidden"))
        dock->hide();
    QCoreApplication::processEvents();
    return w.saveState(0);
}

} // namespace

class TestSavedState : public QObject
{
    Q_OBJECT

private slots:
    void states_data();
    void states();
    void truncatedStatesRejected();
    void windowWithDocks_data();
    void windowWithDocks();
    void windowGeometry_data();
    void windowGeometry();
    void wayIn_data();
    void wayIn();
};

void TestSavedState::states_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("sane");

    const QByteArray split = splitterState();
    const QByteArray header = headerState(4, false);
    const QByteArray window = windowState();

    QTest::newRow("splitter") << "splitter" << split << 2 << true;
    QTest::newRow("splitter, other widget count") << "splitter" << split << 1 << false;
    QTest::newRow("splitter, huge size count")
        << "splitter" << withWord(split, 8, 0x7fffffff) << 2 << false;
    QTest::newRow("splitter, size overflowing")
        << "splitter" << withWord(split, 12, 0x7ffffff0) << 2 << false;
    QTest::newRow("splitter, wrong marker") << "splitter" << withWord(split, 0, 0xfe) << 2 << false;
    QTest::newRow("splitter, empty") << "splitter" << QByteArray() << 2 << false;

    QTest::newRow("header") << "header" << header << 4 << true;
    QTest::newRow("header, 16 rearranged") << "header" << headerState(16, true) << 16 << true;
    QTest::newRow("header, other column count") << "header" << header << 5 << false;
    QTest::newRow("header, huge visual map")
        << "header" << withWord(header, 21, 0xfffffff0) << 4 << false;
    QTest::newRow("header, huge section list")
        << "header" << withWord(header, sectionListPos(header), 0x40000000) << 4 << false;
    QTest::newRow("header, garbage") << "header" << QByteArray(64, '\xff') << 4 << false;

    QTest::newRow("window") << "window" << window << 1 << true;
    QTest::newRow("window, huge line count")
        << "window" << withWord(window, window.indexOf(char(0xfc)) + 1, 0x7fffffff) << 1 << false;
    QTest::newRow("window, huge item count")
        << "window" << withWord(window, window.indexOf(char(0xfc)) + 9, 0x7fffffff) << 1 << false;
    QTest::newRow("window, dock widgets") << "window" << withWord(window, 9, 3) << 1 << false;
    QTest::newRow("window, other version") << "window" << withWord(window, 4, 1) << 1 << false;
    QTest::newRow("window, unknown section")
        << "window" << window + QByteArray(1, '\x42') << 1 << false;
}

void TestSavedState::states()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, state);
    QFETCH(int, count);
    QFETCH(bool, sane);

    if (kind == "splitter")
        QCOMPARE(isSplitterStateSane(state, count), sane);
    else if (kind == "header")
        QCOMPARE(isHeaderStateSane(state, count), sane);
    else
        QCOMPARE(isMainWindowStateSane(state, 0, count), sane);
}

// A blob cut anywhere is refused, never read past its end.
void TestSavedState::truncatedStatesRejected()
{
    const QByteArray split = splitterState(), header = headerState(4, true), window = windowState();
    for (int n = 0; n < 20; ++n) // marker, version, two sizes; the flags after are optional to Qt
        QVERIFY2(!isSplitterStateSane(split.left(n), 2), qPrintable(QString::number(n)));
    for (int n = 0; n < header.size() - HeaderTail; ++n)
        QVERIFY2(!isHeaderStateSane(header.left(n), 4), qPrintable(QString::number(n)));
    for (int n = 9; n < window.size(); ++n) { // marker and version alone restore nothing
        if (n == window.indexOf(char(0xfc)))
            continue; // a complete dock section on its own is a valid state
        QVERIFY2(!isMainWindowStateSane(window.left(n), 0, 1), qPrintable(QString::number(n)));
    }
}

void TestSavedState::windowWithDocks_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("docks");
    QTest::newRow("docked") << "docked" << 1;
    QTest::newRow("floating") << "floating" << 1;
    QTest::newRow("hidden") << "hidden" << 1;
    QTest::newRow("two tabbed") << "tabbed" << 2;
}

void TestSavedState::windowWithDocks()
{
    QFETCH(QString, how);
    QFETCH(int, docks);
    const QByteArray state = dockedWindowState(how);
    QVERIFY(isMainWindowStateSane(state, 0, 1, docks));
    QVERIFY(!isMainWindowStateSane(state, 0, 1, 0)); // a window without docks refuses it
    // Cut anywhere: refused, except where a whole section ends.
    int accepted = 0;
    for (int n = 9; n < state.size(); ++n)
        accepted += isMainWindowStateSane(state.left(n), 0, 1, docks) ? 1 : 0;
    QVERIFY2(accepted <= 1, qPrintable(QString::number(accepted)));
    if (how == QLatin1String("tabbed"))
        return; // a tab group puts its current index before the count
    // A huge item count in the dock area is refused without reading on.
    QByteArray huge = state;
    const int area = huge.indexOf(char(0xfd));
    QVERIFY(area > 0);
    // marker, area count, area, its size, then sequence marker, orientation, count
    huge[area + 1 + 4 + 4 + 8 + 1 + 1] = char(0x7f);
    QVERIFY(!isMainWindowStateSane(huge, 0, 1, docks));
}

void TestSavedState::windowGeometry_data()
{
    QTest::addColumn<QVariant>("size");
    QTest::addColumn<QVariant>("pos");
    QTest::addColumn<QSize>("expectedSize");
    QTest::addColumn<QPoint>("expectedPos");

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize def(700, 700);
    const QPoint defPos(200, 100);
    const QPoint inside = screen.topLeft() + QPoint(10, 10);
    QTest::newRow("stored, on screen")
        << QVariant(QSize(400, 300)) << QVariant(inside) << QSize(400, 300) << inside;
    QTest::newRow("huge size") << QVariant(QSize(30000, 30000)) << QVariant(inside) << def
                               << inside;
    QTest::newRow("negative size") << QVariant(QSize(-5, 300)) << QVariant(inside) << def << inside;
    QTest::newRow("not a size") << QVariant("big") << QVariant(inside) << def << inside;
    QTest::newRow("off every screen")
        << QVariant(QSize(400, 300)) << QVariant(QPoint(-90000, 5)) << QSize(400, 300) << defPos;
    QTest::newRow("only a sliver visible")
        << QVariant(QSize(400, 300)) << QVariant(screen.topRight() - QPoint(10, 0))
        << QSize(400, 300) << defPos;
    QTest::newRow("partly off, grabbable")
        << QVariant(QSize(400, 300)) << QVariant(screen.topLeft() - QPoint(200, 0))
        << QSize(400, 300) << screen.topLeft() - QPoint(200, 0);
    QTest::newRow("missing pos") << QVariant(QSize(400, 300)) << QVariant() << QSize(400, 300)
                                 << defPos;
}

void TestSavedState::windowGeometry()
{
    QFETCH(QVariant, size);
    QFETCH(QVariant, pos);
    QFETCH(QSize, expectedSize);
    QFETCH(QPoint, expectedPos);

    const QSize s = windowSize(size, QSize(700, 700));
    QCOMPARE(s, expectedSize);
    QCOMPARE(windowPos(pos, s, QPoint(200, 100)), expectedPos);
}

// A window whose only tool bar is shown or hidden, as the operator left it.
static QByteArray toolBarState(bool shown, int toolBars)
{
    QMainWindow w;
    for (int i = 0; i < toolBars; ++i) {
        auto *bar = w.addToolBar(QStringLiteral("bar%1").arg(i));
        bar->setObjectName(QStringLiteral("toolBar%1").arg(i));
        bar->setVisible(shown || i > 0);
    }
    return w.saveState(0);
}

void TestSavedState::wayIn_data()
{
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<bool>("menuBar");
    QTest::addColumn<bool>("restored");

    QTest::newRow("tool bar shown") << toolBarState(true, 1) << false << true;
    QTest::newRow("tool bar hidden, no menu bar") << toolBarState(false, 1) << false << false;
    QTest::newRow("tool bar hidden, menu bar") << toolBarState(false, 1) << true << true;
    QTest::newRow("one of two hidden") << toolBarState(false, 2) << false << true;
    QTest::newRow("no tool bar listed") << toolBarState(true, 0) << false << true;
    QTest::newRow("cut short") << toolBarState(true, 1).left(30) << false << false;
}

void TestSavedState::wayIn()
{
    QFETCH(QByteArray, state);
    QFETCH(bool, menuBar);
    QFETCH(bool, restored);
    QCOMPARE(keepsWayIn(state, menuBar), restored);
}

QTEST_MAIN(TestSavedState)
#include "tst_savedstate.moc"
