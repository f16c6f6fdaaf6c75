#ifndef TABLECOPYACTION_H
#define TABLECOPYACTION_H

#include <QAction>

class QTableView;

// Copies a table view's selected cells to the clipboard as tab- and
// newline-separated text; hidden rows and columns are left out.
class TableCopyAction : public QAction
{
    Q_OBJECT

public:
    explicit TableCopyAction(QTableView *view);

    // The text copy() would put on the clipboard; empty without a selection.
    QString selectionText() const;

public slots:
    void copy();
    void retranslate();

private:
    QTableView *m_view;
};

#endif // TABLECOPYACTION_H
