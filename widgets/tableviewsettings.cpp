#include "tableviewsettings.h"

#include "savedstate.h"
#include "tablecopyaction.h"

#include <QHeaderView>
#include <QSettings>
#include <QTableView>

static const char ColumnCountKey[] = "ColumnCnt";
static const char ColumnsStateKey[] = "ColumnsState";

TableViewSettings *TableViewSettings::instance()
{
    static TableViewSettings settings;
    return &settings;
}

void TableViewSettings::initTableView(QTableView *view, const QString &name, QSettings *settings,
                                      InitFlags flags)
{
    if (!flags.testFlag(InitNoAction)) {
        auto *action = new TableCopyAction(view);
        connect(this, &TableViewSettings::languageChanged, action, &TableCopyAction::retranslate);
        view->addAction(action);
    }
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    if (!name.isEmpty()) {
        view->setObjectName(name);
        if (view->model())
            restoreHeaderState(view->horizontalHeader(), settings, name);
    }
}

void TableViewSettings::saveTableView(QTableView *view, QSettings *settings)
{
    if (!view->objectName().isEmpty())
        saveHeaderState(view->horizontalHeader(), settings, view->objectName());
}

void TableViewSettings::restoreHeaderState(QHeaderView *header, QSettings *settings,
                                           const QString &name)
{
    // A layout stored for another column set would scramble the columns.
    const int count = settings->value(name + ColumnCountKey, 0).toInt();
    if (count == 0 || count != header->count())
        return;
    const QByteArray state = settings->value(name + ColumnsStateKey).toByteArray();
    if (SavedState::isHeaderStateSane(state, header->count()))
        header->restoreState(state);
}

void TableViewSettings::saveHeaderState(QHeaderView *header, QSettings *settings,
                                        const QString &name)
{
    settings->setValue(name + ColumnCountKey, header->count());
    settings->setValue(name + ColumnsStateKey, header->saveState());
}

void TableViewSettings::retranslate()
{
    emit languageChanged();
}
