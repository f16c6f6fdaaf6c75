#include "tableheightupdater.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

TableHeightUpdater::TableHeightUpdater(QTableView *view, bool fixedHeight)
    : QObject(view),
      m_view(view),
      m_viewObject(view),
      m_fixedHeight(fixedHeight)
{
    // The horizontal bar eats into the rows' space when it appears.
    view->horizontalScrollBar()->installEventFilter(this);
    if (QAbstractItemModel *model = view->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &TableHeightUpdater::updateHeight);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &TableHeightUpdater::updateHeight);
    }
    updateHeight();
}

bool TableHeightUpdater::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        // ~QWidget hides the scroll bar after ~QTableView has run; from then
        // on only the QObject part of the view may be touched.
        if (!m_viewObject->metaObject()->inherits(&QTableView::staticMetaObject)) {
            watched->removeEventFilter(this);
            return false;
        }
        updateHeight();
    }
    return QObject::eventFilter(watched, event);
}

void TableHeightUpdater::updateHeight()
{
    m_view->resizeRowsToContents();
    int h = m_view->horizontalHeader()->height();
    const int rows = m_view->model() ? m_view->model()->rowCount() : 0;
    for (int r = 0; r < rows; ++r)
        h += m_view->rowHeight(r);
    if (m_view->horizontalScrollBar()->isVisible())
        h += m_view->horizontalScrollBar()->height();
    // 4 pixels for the frame around the viewport.
    m_view->setMaximumHeight(h + 4);
    if (m_fixedHeight) {
        m_view->setMinimumHeight(h + 4);
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}
