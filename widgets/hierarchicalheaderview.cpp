#include "hierarchicalheaderview.h"

#include <QFont>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyleOptionHeader>

HierarchicalHeaderView::HierarchicalHeaderView(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{
    connect(this, &QHeaderView::sectionResized, this, &HierarchicalHeaderView::on_sectionResized);
}

void HierarchicalHeaderView::setHeaderTree(QAbstractItemModel *model)
{
    m_headerTree = model;
}

void HierarchicalHeaderView::setModel(QAbstractItemModel *model)
{
    QHeaderView::setModel(model);
    if (!model)
        return;
    const int count = orientation() == Qt::Horizontal ? model->columnCount() : model->rowCount();
    if (count != 0)
        initializeSections(0, count - 1);
}

// --- tree queries -------------------------------------------------------------

QModelIndex HierarchicalHeaderView::findLeafBelow(const QModelIndex &index, int section,
                                                  int &counter) const
{
    if (!index.isValid())
        return QModelIndex();
    const QAbstractItemModel *tree = index.model();
    const int n = tree->columnCount(index);
    if (n > 0) {
        for (int i = 0; i < n; ++i) {
            const QModelIndex leaf = findLeafBelow(tree->index(0, i, index), section, counter);
            if (leaf.isValid())
                return leaf;
        }
        return QModelIndex();
    }
    ++counter;
    return counter == section ? index : QModelIndex();
}

QModelIndex HierarchicalHeaderView::leafForSection(int section) const
{
    if (!m_headerTree)
        return QModelIndex();
    // One counter across all top-level cells: leaves are numbered globally.
    int counter = -1;
    const int top = m_headerTree->columnCount();
    for (int i = 0; i < top; ++i) {
        const QModelIndex leaf = findLeafBelow(m_headerTree->index(0, i), section, counter);
        if (leaf.isValid())
            return leaf;
    }
    return QModelIndex();
}

QModelIndex HierarchicalHeaderView::topAncestor(QModelIndex index)
{
    while (index.parent().isValid())
        index = index.parent();
    return index;
}

QModelIndexList HierarchicalHeaderView::ancestorChain(const QModelIndex &leaf)
{
    QModelIndexList chain;
    for (QModelIndex i = leaf; i.isValid(); i = i.parent())
        chain.prepend(i);
    return chain;
}

QModelIndexList HierarchicalHeaderView::collectLeaves(const QModelIndex &index)
{
    if (!index.isValid())
        return {};
    const int n = index.model()->columnCount(index);
    if (n == 0)
        return {index};
    QModelIndexList leaves;
    for (int i = 0; i < n; ++i)
        leaves += collectLeaves(index.model()->index(0, i, index));
    return leaves;
}

QModelIndexList HierarchicalHeaderView::leavesUnder(const QModelIndex &index)
{
    if (!index.isValid())
        return {};
    const int n = index.model()->columnCount(index);
    QModelIndexList leaves;
    for (int i = 0; i < n; ++i)
        leaves += collectLeaves(index.model()->index(0, i, index));
    return leaves;
}

// --- geometry -------------------------------------------------------------------

QSize HierarchicalHeaderView::headerCellSize(const QModelIndex &cell,
                                             const QStyleOptionHeader &option) const
{
    const QVariant hint = cell.data(Qt::SizeHintRole);
    QSize res = hint.isValid() ? hint.toSize() : QSize();

    QFont fnt = font();
    const QVariant cellFont = cell.data(Qt::FontRole);
    if (cellFont.isValid() && cellFont.canConvert<QFont>())
        fnt = qvariant_cast<QFont>(cellFont);
    // Measured bold so that a highlighted (bold) section never clips its text.
    fnt.setBold(true);
    const QFontMetrics fm(fnt);

    QSize text = fm.size(0, cell.data(Qt::DisplayRole).toString());
    if (cell.data(Qt::UserRole).isValid())
        text.transpose();
    const QSize decoration =
        style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    const QSize empty = fm.size(0, QString());
    return res.expandedTo(text + decoration - empty);
}

int HierarchicalHeaderView::cellStartOffset(const QModelIndex &cell, const QModelIndex &leaf,
                                            int leafSection, int start) const
{
    const QModelIndexList leaves = leavesUnder(cell);
    if (leaves.isEmpty())
        return start;
    const int n = leaves.indexOf(leaf);
    const int first = leafSection - n;
    for (int k = n - 1; k >= 0; --k)
        start -= sectionSize(first + k);
    return start;
}

int HierarchicalHeaderView::cellSpanExtent(const QModelIndex &cell, const QModelIndex &leaf,
                                           int leafSection) const
{
    const QModelIndexList leaves = leavesUnder(cell);
    if (leaves.isEmpty())
        return sectionSize(leafSection);
    const int first = leafSection - leaves.indexOf(leaf);
    int extent = 0;
    for (int k = 0; k < leaves.size(); ++k)
        extent += sectionSize(first + k);
    return extent;
}

QSize HierarchicalHeaderView::sectionSizeFromContents(int logicalIndex) const
{
    const QModelIndex leaf = leafForSection(logicalIndex);
    if (!leaf.isValid())
        return QHeaderView::sectionSizeFromContents(logicalIndex);

    const QStyleOptionHeader option = sectionStyleOption(logicalIndex);
    QSize s = headerCellSize(leaf, option);
    for (QModelIndex a = leaf.parent(); a.isValid(); a = a.parent()) {
        if (orientation() == Qt::Horizontal)
            s.rheight() += headerCellSize(a, option).height();
        else
            s.rwidth() += headerCellSize(a, option).width();
    }
    return s;
}

// --- style option, as QHeaderView::paintSection builds its own -------------------

QStyleOptionHeader HierarchicalHeaderView::sectionStyleOption(int logicalIndex) const
{
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    if (window()->isActiveWindow())
        opt.state |= QStyle::State_Active;
    opt.textAlignment = Qt::AlignCenter;
    opt.iconAlignment = Qt::AlignVCenter;
    opt.section = logicalIndex;

    const int visual = visualIndex(logicalIndex);
    if (count() == 1)
        opt.position = QStyleOptionHeader::OnlyOneSection;
    else if (visual == 0)
        opt.position = QStyleOptionHeader::Beginning;
    else if (visual == count() - 1)
        opt.position = QStyleOptionHeader::End;
    else
        opt.position = QStyleOptionHeader::Middle;

    const QItemSelectionModel *selection = selectionModel();
    const bool horizontal = orientation() == Qt::Horizontal;
    auto fullySelected = [&](int logical) {
        return horizontal ? selection->isColumnSelected(logical, rootIndex())
                          : selection->isRowSelected(logical, rootIndex());
    };

    if (sectionsClickable() && highlightSections() && selection) {
        const bool intersects = horizontal
            ? selection->columnIntersectsSelection(logicalIndex, rootIndex())
            : selection->rowIntersectsSelection(logicalIndex, rootIndex());
        if (intersects)
            opt.state |= QStyle::State_On;
        if (fullySelected(logicalIndex))
            opt.state |= QStyle::State_Sunken;
    }

    if (selection) {
        const bool previous = visual > 0 && fullySelected(QHeaderView::logicalIndex(visual - 1));
        const bool next = visual < count() - 1 && fullySelected(QHeaderView::logicalIndex(visual + 1));
        if (previous && next)
            opt.selectedPosition = QStyleOptionHeader::NextAndPreviousAreSelected;
        else if (previous)
            opt.selectedPosition = QStyleOptionHeader::PreviousIsSelected;
        else if (next)
            opt.selectedPosition = QStyleOptionHeader::NextIsSelected;
        else
            opt.selectedPosition = QStyleOptionHeader::NotAdjacent;
    }
    return opt;
}

void HierarchicalHeaderView::applyCellForeground(QStyleOptionHeader &option,
                                                 const QModelIndex &cell)
{
    const QVariant fg = cell.data(Qt::ForegroundRole);
    if (fg.canConvert<QBrush>())
        option.palette.setBrush(QPalette::ButtonText, qvariant_cast<QBrush>(fg));
}

void HierarchicalHeaderView::applyCellBackground(QStyleOptionHeader &option,
                                                 const QModelIndex &cell)
{
    const QVariant bg = cell.data(Qt::BackgroundRole);
    if (bg.canConvert<QBrush>()) {
        const QBrush brush = qvariant_cast<QBrush>(bg);
        option.palette.setBrush(QPalette::Button, brush);
        option.palette.setBrush(QPalette::Window, brush);
    }
}

// --- painting ---------------------------------------------------------------------

void HierarchicalHeaderView::paintSection(QPainter *painter, const QRect &rect,
                                          int logicalIndex) const
{
    const QModelIndex leaf = rect.isValid() ? leafForSection(logicalIndex) : QModelIndex();
    if (!leaf.isValid()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    const QStyleOptionHeader option = sectionStyleOption(logicalIndex);
    if (orientation() == Qt::Horizontal)
        paintColumnSection(painter, rect, logicalIndex, option, leaf);
    else
        paintRowSection(painter, rect, logicalIndex, option, leaf);
}

void HierarchicalHeaderView::drawCell(QPainter *painter, const QModelIndex &cell,
                                      QStyleOptionHeader &option, const QRect &cellRect) const
{
    option.text = cell.data(Qt::DisplayRole).toString();
    painter->save();
    option.rect = cellRect;
    if (cell.data(Qt::UserRole).isValid()) {
        style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
        // Rotated by -90 degrees the text reads upwards; the label rectangle is
        // the cell transposed around its centre in the rotated frame.
        QTransform m;
        m.rotate(-90);
        painter->setWorldTransform(m, true);
        // Computed from the edges rather than QRect::center(), whose integer
        // rounding would shift the label by a pixel or two.
        option.rect = QRect(-(cellRect.y() + cellRect.height()), cellRect.x(), cellRect.height(),
                            cellRect.width());
        style()->drawControl(QStyle::CE_HeaderLabel, &option, painter, this);
    } else {
        style()->drawControl(QStyle::CE_Header, &option, painter, this);
    }
    painter->restore();
}

void HierarchicalHeaderView::paintColumnSection(QPainter *painter, const QRect &rect,
                                                int logicalIndex, const QStyleOptionHeader &option,
                                                const QModelIndex &leaf) const
{
    const QPointF oldBrushOrigin = painter->brushOrigin();
    int top = rect.y();
    const QModelIndexList chain = ancestorChain(leaf);
    for (int i = 0; i < chain.size(); ++i) {
        QStyleOptionHeader opt = option;
        // Only the leaf shows the section's selection; the group cells stay flat.
        if (i < chain.size() - 1)
            opt.state &= ~(QStyle::State_Sunken | QStyle::State_On);
        top = paintColumnCell(painter, chain.at(i), leaf, logicalIndex, opt, rect, top);
    }
    painter->setBrushOrigin(oldBrushOrigin);
}

int HierarchicalHeaderView::paintColumnCell(QPainter *painter, const QModelIndex &cell,
                                            const QModelIndex &leaf, int logicalIndex,
                                            const QStyleOptionHeader &option, const QRect &rect,
                                            int top) const
{
    QStyleOptionHeader opt = option;
    applyCellForeground(opt, cell);
    applyCellBackground(opt, cell);
    int height = headerCellSize(cell, opt).height();
    if (cell == leaf)
        height = rect.y() + rect.height() - top; // the leaf fills the rest of the section
    const int left = cellStartOffset(cell, leaf, logicalIndex, rect.left());
    const int width = cellSpanExtent(cell, leaf, logicalIndex);
    drawCell(painter, cell, opt, QRect(left, top, width, height));
    return top + height;
}

void HierarchicalHeaderView::paintRowSection(QPainter *painter, const QRect &rect,
                                             int logicalIndex, const QStyleOptionHeader &option,
                                             const QModelIndex &leaf) const
{
    const QPointF oldBrushOrigin = painter->brushOrigin();
    int left = rect.x();
    const QModelIndexList chain = ancestorChain(leaf);
    for (int i = 0; i < chain.size(); ++i) {
        QStyleOptionHeader opt = option;
        if (i < chain.size() - 1)
            opt.state &= ~(QStyle::State_Sunken | QStyle::State_On);
        left = paintRowCell(painter, chain.at(i), leaf, logicalIndex, opt, rect, left);
    }
    painter->setBrushOrigin(oldBrushOrigin);
}

int HierarchicalHeaderView::paintRowCell(QPainter *painter, const QModelIndex &cell,
                                         const QModelIndex &leaf, int logicalIndex,
                                         const QStyleOptionHeader &option, const QRect &rect,
                                         int left) const
{
    QStyleOptionHeader opt = option;
    applyCellForeground(opt, cell);
    applyCellBackground(opt, cell);
    int width = headerCellSize(cell, opt).width();
    if (cell == leaf)
        width = rect.x() + rect.width() - left;
    const int top = cellStartOffset(cell, leaf, logicalIndex, rect.top());
    const int height = cellSpanExtent(cell, leaf, logicalIndex);
    drawCell(painter, cell, opt, QRect(left, top, width, height));
    return left + width;
}

// --- resize ---------------------------------------------------------------------------

void HierarchicalHeaderView::on_sectionResized(int logicalIndex)
{
    // A group cell is drawn as part of each of its sections, so resizing one
    // leaf must repaint the area of its siblings before it as well.
    if (isSectionHidden(logicalIndex))
        return;
    const QModelIndex leaf = leafForSection(logicalIndex);
    if (!leaf.isValid())
        return;
    const QModelIndexList leaves = leavesUnder(topAncestor(leaf));
    int n = leaves.indexOf(leaf);
    while (n > 0) {
        --logicalIndex;
        --n;
        const int w = viewport()->width();
        const int h = viewport()->height();
        const int pos = sectionViewportPosition(logicalIndex);
        QRect r(pos, 0, w - pos, h);
        if (orientation() == Qt::Horizontal) {
            if (isRightToLeft())
                r.setRect(0, 0, pos + sectionSize(logicalIndex), h);
        } else {
            r.setRect(0, pos, w, h - pos);
        }
        viewport()->update(r.normalized());
    }
}
