#ifndef TABLEPARAMSMODEL_H
#define TABLEPARAMSMODEL_H

/*
 * A small framework for table models with one row per item and one column
 * per parameter object.
 *
 * A model derives from QAbstractTableModel, TableParamsModelHelper<T> and
 * TableParamsModelIface, appends one Param object per column to `params` and
 * one T* per row to `items`, and forwards data(), setData(), headerData() and
 * flags() to the helper's generic operations. A column class derives from
 * TableParamsModelHelper<T>::Param and says what its cells show and store
 * (cellValue(), setCellValue()); the generic data()/setData() of Param add
 * the background of read-only, inactive and disabled cells and the refusal
 * of stores into them.
 */

#include "tableviewsettings.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QList>
#include <QPalette>
#include <QString>
#include <QTableView>
#include <QVariant>

#include <algorithm>

class QAbstractItemDelegate;

// What a column's successful edit may ask the model to announce.
class TableParamsModelIface
{
public:
    virtual ~TableParamsModelIface() = default;
    virtual void rowChanged(int row) = 0;
    virtual void cellChanged(int row, int column) = 0;
};

// The column interface over the item pointer type TPtr (= T*).
template <typename TPtr> class TableParameter
{
public:
    virtual ~TableParameter() = default;

    virtual QString title() const = 0;
    virtual QVariant data(TPtr item, int role) const = 0;
    virtual bool setData(TPtr item, const QVariant &value, int role) = 0;
    virtual Qt::ItemFlags flags(TPtr item) const = 0;
    virtual QVariant defaultValue() const { return QVariant(); }
    virtual QString toolTip() const { return QString(); }
    // The delegate is parented to the view, which owns it.
    virtual QAbstractItemDelegate *delegate(QTableView *view) const
    {
        Q_UNUSED(view)
        return nullptr;
    }
    virtual int width() const { return 0; } // pixels; 0 leaves the view's width
    virtual bool updatesRow() const { return false; }
    virtual bool updatesCell() const { return false; }
    virtual bool isEnabled(TPtr item) const
    {
        Q_UNUSED(item)
        return true;
    }
    virtual bool isReadOnly(TPtr item) const
    {
        Q_UNUSED(item)
        return false;
    }
    virtual bool isInactive(TPtr item) const
    {
        Q_UNUSED(item)
        return false;
    }
    virtual bool keepsBackground(TPtr item) const
    {
        Q_UNUSED(item)
        return false;
    }
    virtual QVariant cellValue(TPtr item, int role) const = 0;
    virtual bool setCellValue(TPtr item, const QVariant &value, int role) = 0;
};

template <typename T> class TableParamsModelHelper
{
public:
    // Column base: the generic cell behaviour over cellValue()/setCellValue().
    class Param : public TableParameter<T *>
    {
    public:
        QVariant data(T *item, int role) const override
        {
            if (!this->isEnabled(item)) {
                if (role == Qt::BackgroundRole)
                    return TableViewSettings::instance()->disabledBrush;
                return QVariant();
            }
            if (this->isReadOnly(item) && role == Qt::BackgroundRole &&
                !this->keepsBackground(item))
                return QApplication::palette().brush(QPalette::Disabled, QPalette::Window);
            if (this->isInactive(item) && role == Qt::BackgroundRole)
                return QApplication::palette().brush(QPalette::Inactive, QPalette::Window);
            return this->cellValue(item, role);
        }

        bool setData(T *item, const QVariant &value, int role) override
        {
            if (!this->isEnabled(item) || this->isReadOnly(item))
                return false;
            return this->setCellValue(item, value, role);
        }
    };

    TableParamsModelHelper() = default;
    TableParamsModelHelper(const TableParamsModelHelper &) = delete;
    TableParamsModelHelper &operator=(const TableParamsModelHelper &) = delete;
    virtual ~TableParamsModelHelper() { qDeleteAll(params); }

    // Called right after an item was appended at row, and right before the
    // item at row is removed.
    virtual void itemAdded(int row, T *item)
    {
        Q_UNUSED(row)
        Q_UNUSED(item)
    }
    virtual void itemRemoved(int row, T *item)
    {
        Q_UNUSED(row)
        Q_UNUSED(item)
    }

    QVariant data(const QModelIndex &index, int role) const
    {
        Param *p = paramAt(index);
        return p ? p->data(items.at(index.row()), role) : QVariant();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= params.size())
            return QVariant();
        if (role == Qt::DisplayRole)
            return params.at(section)->title();
        if (role == Qt::ToolTipRole)
            return params.at(section)->toolTip();
        return QVariant();
    }

    Qt::ItemFlags flags(const QModelIndex &index) const
    {
        Param *p = paramAt(index);
        return p ? p->flags(items.at(index.row())) : Qt::NoItemFlags;
    }

    bool setData(TableParamsModelIface *iface, const QModelIndex &index, const QVariant &value,
                 int role)
    {
        Param *p = paramAt(index);
        if (!p)
            return false;
        const bool ok = p->setData(items.at(index.row()), value, role);
        if (ok) {
            if (p->updatesRow())
                iface->rowChanged(index.row());
            else if (p->updatesCell())
                iface->cellChanged(index.row(), index.column());
        }
        return ok;
    }

    void initColumns(QTableView *view) const
    {
        for (int i = 0; i < params.size(); ++i) {
            if (QAbstractItemDelegate *d = params.at(i)->delegate(view))
                view->setItemDelegateForColumn(i, d);
            // the widths were chosen for a narrower font than many desktops
            // use: a column never starts narrower than its own title
            if (const int w = params.at(i)->width())
                view->setColumnWidth(i, std::max(w, view->horizontalHeader()->sectionSizeHint(i)));
        }
    }

protected:
    QList<Param *> params;
    QList<T *> items;

private:
    // An index from another model or out of range counts as invalid.
    Param *paramAt(const QModelIndex &index) const
    {
        if (!index.isValid() || index.row() < 0 || index.row() >= items.size() ||
            index.column() < 0 || index.column() >= params.size())
            return nullptr;
        return params.at(index.column());
    }
};

#endif // TABLEPARAMSMODEL_H
