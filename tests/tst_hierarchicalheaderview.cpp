#include <QtTest>

#include <QPainter>
#include <QProxyStyle>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QStyleOptionHeader>
#include <QTableView>

#include "hierarchicalheaderview.h"

// Records what the header asks the style to draw.
class RecordingStyle : public QProxyStyle
{
public:
    struct Call
    {
        QStyle::ControlElement element;
        QRect rect;
        QString text;
        QTransform transform;
        QStyle::State state;
    };
    QList<Call> calls;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (const auto *header = qstyleoption_cast<const QStyleOptionHeader *>(option)) {
            const_cast<RecordingStyle *>(this)->calls.append(
                Call{element, header->rect, header->text, painter->worldTransform(), header->state});
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    QList<Call> find(QStyle::ControlElement element, const QString &text) const
    {
        QList<Call> found;
        for (const Call &c : calls)
            if (c.element == element && c.text == text)
                found.append(c);
        return found;
    }
};

// A header tree with the leaves as (row 0, column j) children of their parent.
static QStandardItem *group(const QString &text, const QStringList &leaves)
{
    auto *item = new QStandardItem(text);
    for (int j = 0; j < leaves.size(); ++j)
        item->setChild(0, j, new QStandardItem(leaves.at(j)));
    return item;
}

struct Fixture
{
    explicit Fixture(Qt::Orientation orientation, int sections = 6)
        : model(sections, sections)
    {
        style.setBaseStyle(QStyleFactory::create("Fusion"));
        header = new HierarchicalHeaderView(orientation, &view);
        header->setStyle(&style);
        if (orientation == Qt::Horizontal)
            view.setHorizontalHeader(header);
        else
            view.setVerticalHeader(header);
        view.setModel(&model);
        view.resize(600, 400);
    }

    void useGroupTree()
    {
        // Sections: A, B, G{L2, L3, L4}, E.
        tree.setColumnCount(4);
        tree.setItem(0, 0, new QStandardItem("A"));
        tree.setItem(0, 1, new QStandardItem("B"));
        tree.setItem(0, 2, group("G", {"L2", "L3", "L4"}));
        tree.setItem(0, 3, new QStandardItem("E"));
        header->setHeaderTree(&tree);
    }

    void sizeSections()
    {
        header->setSectionResizeMode(QHeaderView::Fixed);
        for (int i = 0; i < header->count(); ++i)
            header->resizeSection(i, 40 + 10 * i);
    }

    void paint()
    {
        style.calls.clear();
        header->grab();
    }

    RecordingStyle style; // first, so that it outlives the view using it
    QStandardItemModel model;
    QStandardItemModel tree;
    QTableView view;
    HierarchicalHeaderView *header;
};

class TestHierarchicalHeaderView : public QObject
{
    Q_OBJECT

private slots:
    void flatTree();
    void groupSpansItsLeaves_data();
    void groupSpansItsLeaves();
    void tallLeafGrowsOnlyTheLeafRow();
    void sectionWithoutLeafIsPlain();
    void destroyedTreeFallsBackToPlain();
    void rotatedCellIsTransposed();
    void resizingGroupedSectionRepaintsTheGroup();
    void selectionHighlightsOnlyTheLeaf();
};

void TestHierarchicalHeaderView::flatTree()
{
    Fixture f(Qt::Horizontal, 3);
    f.tree.setColumnCount(3);
    for (int i = 0; i < 3; ++i)
        f.tree.setItem(0, i, new QStandardItem(QString("C%1").arg(i)));
    f.header->setHeaderTree(&f.tree);
    f.sizeSections();
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.paint();

    for (int i = 0; i < 3; ++i) {
        const auto calls = f.style.find(QStyle::CE_Header, QString("C%1").arg(i));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.at(0).rect, QRect(f.header->sectionViewportPosition(i), 0,
                                         f.header->sectionSize(i), f.header->height()));
    }
    // Nothing else, in particular not the model's own header texts.
    int headers = 0;
    for (const auto &c : f.style.calls)
        headers += c.element == QStyle::CE_Header ? 1 : 0;
    QCOMPARE(headers, 3);
}

void TestHierarchicalHeaderView::groupSpansItsLeaves_data()
{
    QTest::addColumn<int>("orientation");
    QTest::newRow("horizontal") << int(Qt::Horizontal);
    QTest::newRow("vertical") << int(Qt::Vertical);
}

void TestHierarchicalHeaderView::groupSpansItsLeaves()
{
    QFETCH(int, orientation);
    const bool horizontal = orientation == Qt::Horizontal;

    Fixture f{Qt::Orientation(orientation)};
    f.useGroupTree();
    f.sizeSections();
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.paint();

    const int start = f.header->sectionViewportPosition(2);
    const int span = f.header->sectionSize(2) + f.header->sectionSize(3) + f.header->sectionSize(4);
    const int depth = horizontal ? f.header->height() : f.header->width();

    // Drawn once by each of its three sections, always at the same place.
    const auto groupCalls = f.style.find(QStyle::CE_Header, "G");
    QCOMPARE(groupCalls.size(), 3);
    const QRect groupRect = groupCalls.at(0).rect;
    for (const auto &c : groupCalls)
        QCOMPARE(c.rect, groupRect);
    const int groupDepth = horizontal ? groupRect.height() : groupRect.width();
    QVERIFY(groupDepth > 0 && groupDepth < depth);
    if (horizontal)
        QCOMPARE(groupRect, QRect(start, 0, span, groupDepth));
    else
        QCOMPARE(groupRect, QRect(0, start, groupDepth, span));

    // The leaf of section 3 fills the rest of its section under the group.
    const auto leafCalls = f.style.find(QStyle::CE_Header, "L3");
    QCOMPARE(leafCalls.size(), 1);
    const int pos3 = f.header->sectionViewportPosition(3);
    const int size3 = f.header->sectionSize(3);
    if (horizontal)
        QCOMPARE(leafCalls.at(0).rect, QRect(pos3, groupDepth, size3, depth - groupDepth));
    else
        QCOMPARE(leafCalls.at(0).rect, QRect(groupDepth, pos3, depth - groupDepth, size3));

    // A top-level leaf takes the whole depth of its section.
    const auto e = f.style.find(QStyle::CE_Header, "E");
    QCOMPARE(e.size(), 1);
    QCOMPARE(horizontal ? e.at(0).rect.height() : e.at(0).rect.width(), depth);
}

void TestHierarchicalHeaderView::tallLeafGrowsOnlyTheLeafRow()
{
    Fixture f(Qt::Horizontal);
    f.useGroupTree();
    f.sizeSections();
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.paint();
    const QRect groupBefore = f.style.find(QStyle::CE_Header, "G").at(0).rect;
    const int heightBefore = f.header->height();

    QStandardItem *l3 = f.tree.item(0, 2)->child(0, 1);
    QCOMPARE(l3->text(), QString("L3"));
    l3->setData(QSize(10, 80), Qt::SizeHintRole);
    // The view does not watch the tree: the owner has the header re-measured.
    emit f.model.headerDataChanged(Qt::Horizontal, 0, f.model.columnCount() - 1);
    QTRY_VERIFY(f.header->height() > heightBefore);
    QCOMPARE(f.header->height(), 80 + groupBefore.height());

    f.paint();
    QCOMPARE(f.style.find(QStyle::CE_Header, "G").at(0).rect.height(), groupBefore.height());
    QCOMPARE(f.style.find(QStyle::CE_Header, "L2").at(0).rect.height(), 80);
}

void TestHierarchicalHeaderView::sectionWithoutLeafIsPlain()
{
    Fixture f(Qt::Horizontal, 6);
    f.tree.setColumnCount(2);
    f.tree.setItem(0, 0, new QStandardItem("A rather long caption"));
    f.tree.setItem(0, 1, group("G", {"L1", "L2"}));
    f.header->setHeaderTree(&f.tree);
    f.sizeSections();

    QHeaderView plain(Qt::Horizontal);
    plain.setStyle(&f.style);
    plain.setModel(&f.model);
    QCOMPARE(f.header->sectionSizeHint(4), plain.sectionSizeHint(4));
    QVERIFY(f.header->sectionSizeHint(0) > plain.sectionSizeHint(0));

    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.paint();
    // The model's own header text "4" for logical section 3.
    const auto calls = f.style.find(QStyle::CE_Header, "4");
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).rect, QRect(f.header->sectionViewportPosition(3), 0,
                                     f.header->sectionSize(3), f.header->height()));
}

void TestHierarchicalHeaderView::destroyedTreeFallsBackToPlain()
{
    Fixture f(Qt::Horizontal, 3);
    auto *tree = new QStandardItemModel;
    tree->setColumnCount(1);
    tree->setItem(0, 0, group("G", {"X", "Y", "Z"}));
    f.header->setHeaderTree(tree);
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.paint();
    QCOMPARE(f.style.find(QStyle::CE_Header, "G").size(), 3);

    delete tree;
    QVERIFY(!f.header->headerTree());
    f.paint();
    QVERIFY(f.style.find(QStyle::CE_Header, "G").isEmpty());
    QCOMPARE(f.style.find(QStyle::CE_Header, "1").size(), 1);
    QCOMPARE(f.style.find(QStyle::CE_Header, "3").size(), 1);
}

void TestHierarchicalHeaderView::rotatedCellIsTransposed()
{
    const QString text = "Rotated caption";
    Fixture f(Qt::Horizontal, 2);
    f.tree.setColumnCount(2);
    f.tree.setItem(0, 0, new QStandardItem(text));
    auto *rotated = new QStandardItem(text);
    rotated->setData(true, Qt::UserRole);
    f.tree.setItem(0, 1, rotated);
    f.header->setHeaderTree(&f.tree);

    QFont bold = f.header->font();
    bold.setBold(true);
    const QSize t = QFontMetrics(bold).size(0, text);
    QVERIFY(t.width() > t.height());

    // Same decoration around both; only the text box is transposed.
    f.header->setMinimumSectionSize(1);
    f.header->setSectionResizeMode(QHeaderView::ResizeToContents);
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    const int flatWidth = f.header->sectionSize(0);
    const int rotatedWidth = f.header->sectionSize(1);
    QCOMPARE(flatWidth - rotatedWidth, t.width() - t.height());

    f.paint();
    // The flat neighbour's CE_Header issues a face and a label of its own.
    auto inSection1 = [&](QList<RecordingStyle::Call> calls) {
        QList<RecordingStyle::Call> found;
        for (const auto &c : calls)
            if (c.transform.m12() != 0 || c.rect.left() == f.header->sectionViewportPosition(1))
                found.append(c);
        return found;
    };
    const auto face = inSection1(f.style.find(QStyle::CE_HeaderSection, text));
    const auto label = inSection1(f.style.find(QStyle::CE_HeaderLabel, text));
    QCOMPARE(face.size(), 1);
    QCOMPARE(label.size(), 1);
    const QRect cell = face.at(0).rect;
    QCOMPARE(cell, QRect(f.header->sectionViewportPosition(1), 0, rotatedWidth, f.header->height()));

    // The label's frame relative to the face's: a -90 degree rotation that
    // maps the label rectangle back onto the cell, so the text reads upwards.
    const QTransform rel = label.at(0).transform * face.at(0).transform.inverted();
    const QPointF along = rel.map(QPointF(1, 0)) - rel.map(QPointF(0, 0));
    QVERIFY(qAbs(along.x()) < 1e-9);
    QVERIFY(qAbs(along.y() + 1) < 1e-9);
    QCOMPARE(rel.mapRect(QRectF(label.at(0).rect)).toRect(), cell);
    QCOMPARE(label.at(0).rect.size(), cell.size().transposed());
    // The unrotated neighbour is drawn the ordinary way.
    QCOMPARE(f.style.find(QStyle::CE_Header, text).size(), 1);
}

class PaintRegionSpy : public QObject
{
public:
    QRegion region;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

void TestHierarchicalHeaderView::resizingGroupedSectionRepaintsTheGroup()
{
    Fixture f(Qt::Horizontal);
    f.useGroupTree();
    f.sizeSections();
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    QTest::qWait(20);

    PaintRegionSpy spy;
    f.header->viewport()->installEventFilter(&spy);
    f.header->resizeSection(4, 120);
    QTRY_VERIFY(!spy.region.isEmpty());
    QTest::qWait(20);
    // The group cell drawn with sections 2 and 3 must be repainted too.
    const int y = f.header->height() / 4;
    QVERIFY(spy.region.contains(QPoint(f.header->sectionViewportPosition(2) + 1, y)));
    QVERIFY(spy.region.contains(QPoint(f.header->sectionViewportPosition(3) + 1, y)));
    // Sections before the group are not.
    QVERIFY(!spy.region.contains(QPoint(f.header->sectionViewportPosition(0) + 1, y)));
}

void TestHierarchicalHeaderView::selectionHighlightsOnlyTheLeaf()
{
    Fixture f(Qt::Horizontal);
    f.useGroupTree();
    f.header->setSectionsClickable(true);
    f.header->setHighlightSections(true);
    f.sizeSections();
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.view.selectColumn(3);
    f.paint();

    const auto leaf = f.style.find(QStyle::CE_Header, "L3");
    QCOMPARE(leaf.size(), 1);
    QVERIFY(leaf.at(0).state & QStyle::State_On);
    for (const auto &g : f.style.find(QStyle::CE_Header, "G"))
        QVERIFY(!(g.state & (QStyle::State_On | QStyle::State_Sunken)));
    QVERIFY(!(f.style.find(QStyle::CE_Header, "L2").at(0).state & QStyle::State_On));
}

QTEST_MAIN(TestHierarchicalHeaderView)
#include "tst_hierarchicalheaderview.moc"
