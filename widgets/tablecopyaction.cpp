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
    for (const QModelIndex &index : qAsConst(indexes)) {
        if (m_view->isColumnHidden(index.column()) || m_view->isRowHidden(index.row()))
            continue;
        if (!first)
            text += index.row() == previousRow ? QLatin1Char('\t') : QLatin1Char('\n');
        text += index.data(Qt::DisplayRole).toString();
        previousRow = index.row();
        first = false;
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
