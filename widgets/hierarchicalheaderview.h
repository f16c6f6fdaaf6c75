#ifndef HIERARCHICALHEADERVIEW_H
#define HIERARCHICALHEADERVIEW_H

#include <QHeaderView>
#include <QModelIndexList>
#include <QPointer>

class QStyleOptionHeader;

// A header whose cells may span several sections and stack in levels. The
// levels come from a separate tree model whose structure runs along columns:
// the children of a cell are (row 0, column j) below it, and the leaves,
// depth-first from left to right, are the logical sections 0, 1, 2, ...
// Without a tree, or for a section without a leaf, it is a plain QHeaderView.
class HierarchicalHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    HierarchicalHeaderView(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Not owned; the view falls back to plain behaviour once it is destroyed.
    // No repaint is forced: the owner resizes or updates the header itself.
    void setHeaderTree(QAbstractItemModel *model);
    QAbstractItemModel *headerTree() const { return m_headerTree; }

    void setModel(QAbstractItemModel *model) override;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private slots:
    void on_sectionResized(int logicalIndex);

private:
    QModelIndex leafForSection(int section) const;
    QModelIndex findLeafBelow(const QModelIndex &index, int section, int &counter) const;
    static QModelIndex topAncestor(QModelIndex index);
    static QModelIndexList ancestorChain(const QModelIndex &leaf);
    static QModelIndexList leavesUnder(const QModelIndex &index);
    static QModelIndexList collectLeaves(const QModelIndex &index);
    QSize headerCellSize(const QModelIndex &cell, const QStyleOptionHeader &option) const;
    int cellStartOffset(const QModelIndex &cell, const QModelIndex &leaf, int leafSection,
                        int start) const;
    int cellSpanExtent(const QModelIndex &cell, const QModelIndex &leaf, int leafSection) const;
    QStyleOptionHeader sectionStyleOption(int logicalIndex) const;
    static void applyCellForeground(QStyleOptionHeader &option, const QModelIndex &cell);
    static void applyCellBackground(QStyleOptionHeader &option, const QModelIndex &cell);
    void paintColumnSection(QPainter *painter, const QRect &rect, int logicalIndex,
                            const QStyleOptionHeader &option, const QModelIndex &leaf) const;
    int paintColumnCell(QPainter *painter, const QModelIndex &cell, const QModelIndex &leaf,
                        int logicalIndex, const QStyleOptionHeader &option, const QRect &rect,
                        int top) const;
    void paintRowSection(QPainter *painter, const QRect &rect, int logicalIndex,
                         const QStyleOptionHeader &option, const QModelIndex &leaf) const;
    int paintRowCell(QPainter *painter, const QModelIndex &cell, const QModelIndex &leaf,
                     int logicalIndex, const QStyleOptionHeader &option, const QRect &rect,
                     int left) const;
    void drawCell(QPainter *painter, const QModelIndex &cell, QStyleOptionHeader &option,
                  const QRect &cellRect) const;

    QPointer<QAbstractItemModel> m_headerTree;
};

#endif // HIERARCHICALHEADERVIEW_H
