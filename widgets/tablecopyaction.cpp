#include "tablecopyaction.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

TableCopyAction::TableCopyAction(QTableView *view)
    : QAction(view),
      m_view(view)
{
    setShortcuts(QKeySequence::Copy);
    // Only while the view has focus, so that Ctrl+C in a line edit still works.
    setShortcutContext(Qt::WidgetShortcut);
    connect(this, &QAction::triggered, this, &TableCopyAction::copy);
    retranslate();
}

QString TableCopyAction::selectionText() const
{
    const QItemSelectionModel *selection = m_view->selectionModel();
    if (!selection)
        return QString();
    QModelIndexList indexes = selection->selectedIndexes();
    std::sort(indexes.begin(), indexes.end());

    QString text;
    int previousRow = -1;
    bool first = true;
    bool wholeRow = false;
    for (const QModelIndex &index : qAsConst(indexes)) {
        if (m_view->isColumnHidden(index.column()) || m_view->isRowHidden(index.row()))
            continue;
        if (index.row() != previousRow && selection->isRowSelected(index.row(), index.parent()))
            wholeRow = true;
        if (!first)
            text += index.row() == previousRow ? QLatin1Char('\t') : QLatin1Char('\n');
        QString cell = m_cellText ? m_cellText(index) : QString();
        text += cell.isNull() ? index.data(Qt::DisplayRole).toString() : cell;
        previousRow = index.row();
        first = false;
    }
    if (wholeRow && !m_titles.isEmpty()) {
        QStringList titles;
        const int columns = m_view->model()->columnCount();
        for (int c = 0; c < columns; ++c) {
            if (!m_view->isColumnHidden(c))
                titles << m_titles.value(c);
        }
        text.prepend(titles.join(QLatin1Char('\t')) + QLatin1Char('\n'));
    }
    return text;
}

void TableCopyAction::copy()
{
    const QItemSelectionModel *selection = m_view->selectionModel();
    if (!selection || !selection->hasSelection())
        return;
    QApplication::clipboard()->setText(selectionText(), QClipboard::Clipboard);
}

void TableCopyAction::retranslate()
{
    setText(tr("&Copy"));
    setStatusTip(tr("Copy selected text"));
}
