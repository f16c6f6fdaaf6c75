#ifndef TABLECOPYACTION_H
#define TABLECOPYACTION_H

#include <QAction>
#include <QStringList>

#include <functional>

class QModelIndex;
class QTableView;

// Copies a table view's selected cells to the clipboard as tab- and
// newline-separated text; hidden rows and columns are left out. Given column
// titles, a selection with at least one whole row starts with them, as a line
// of their own, so that the copied rows can be read on their own.
class TableCopyAction : public QAction
{
    Q_OBJECT

public:
    // A cell's text for the clipboard; a null QString takes the display text.
    // For cells that show something other than text (a lamp widget).
    using CellText = std::function<QString(const QModelIndex &)>;

    explicit TableCopyAction(QTableView *view);

    // The text copy() would put on the clipboard; empty without a selection.
    QString selectionText() const;

    void setCellText(CellText cellText) { m_cellText = std::move(cellText); }
    // Titles of the columns in column order; none (the default): no title line.
    void setColumnTitles(const QStringList &titles) { m_titles = titles; }

public slots:
    void copy();
    void retranslate();

private:
    QTableView *m_view;
    CellText m_cellText;
    QStringList m_titles;
};

#endif // TABLECOPYACTION_H
