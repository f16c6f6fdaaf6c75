#ifndef TABLEVIEWSETTINGS_H
#define TABLEVIEWSETTINGS_H

#include <QBrush>
#include <QObject>

class QHeaderView;
class QSettings;
class QTableView;

// Prepares the program's table views in one way and keeps their column
// layout in the settings store under the view's name.
class TableViewSettings : public QObject
{
    Q_OBJECT

public:
    enum InitFlag {
        InitNoAction = 1, // no copy action for the view
    };
    Q_DECLARE_FLAGS(InitFlags, InitFlag)
    Q_FLAG(InitFlags)

    static TableViewSettings *instance();

    // settings is already positioned in the caller's group.
    void initTableView(QTableView *view, const QString &name, QSettings *settings,
                       InitFlags flags = InitFlags());
    void saveTableView(QTableView *view, QSettings *settings);
    void restoreHeaderState(QHeaderView *header, QSettings *settings, const QString &name);
    void saveHeaderState(QHeaderView *header, QSettings *settings, const QString &name);

    const QBrush disabledBrush{Qt::lightGray};

signals:
    void languageChanged();

public slots:
    void retranslate();

private:
    TableViewSettings() = default;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TableViewSettings::InitFlags)

#endif // TABLEVIEWSETTINGS_H
