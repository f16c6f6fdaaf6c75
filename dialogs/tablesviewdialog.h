#ifndef TABLESVIEWDIALOG_H
#define TABLESVIEWDIALOG_H

#include "grv480api.h"

#include <QBrush>
#include <QDialog>

class QTableWidget;

namespace Ui {
class TablesViewDialog;
}

// Shows the main and the background logical table that the last
// GRV480_FillRawTables() left in the handle, one decoded entry per row.
class TablesViewDialog : public QDialog
{
    Q_OBJECT

public:
    TablesViewDialog(QWidget *parent, TGRV480 *hmodule);
    ~TablesViewDialog() override;

    QTableWidget *mainTable() const;
    QTableWidget *bgTable() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void setupTable(QTableWidget *table);
    void setHeaderLabels(QTableWidget *table);
    void addEntryRow(QTableWidget *table, int row, quint32 entry, int decimals,
                     const QBrush &brush);

    Ui::TablesViewDialog *ui;
};

#endif // TABLESVIEWDIALOG_H
