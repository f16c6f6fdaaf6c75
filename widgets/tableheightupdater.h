#ifndef TABLEHEIGHTUPDATER_H
#define TABLEHEIGHTUPDATER_H

#include <QObject>

class QTableView;

// Keeps a table view no taller than its header and rows; with fixedHeight
// the view is held at exactly that height without a vertical scroll bar.
class TableHeightUpdater : public QObject
{
    Q_OBJECT

public:
    TableHeightUpdater(QTableView *view, bool fixedHeight);

    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void updateHeight();

private:
    QTableView *m_view;
    QObject *m_viewObject;  // the same object, safe to ask while it is destroyed
    bool m_fixedHeight;
};

#endif // TABLEHEIGHTUPDATER_H
