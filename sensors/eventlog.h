#ifndef EVENTLOG_H
#define EVENTLOG_H

#include <QAbstractTableModel>
#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QVector>

// What happened while the monitor ran: limit crossings and returns, link
// errors and reconnections, configuration changes, tare and flash writes,
// recordings. Each event is a row of the model and a line of the day's text
// file ("yyyy-MM-dd.log" in the log directory); eventAdded() lets a running
// recording take it as well.
class EventLog : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Kind { Limit, Link, Config, Tare, Recording, Other };
    struct Event
    {
        QDateTime time;
        Kind kind;
        QString text;
    };

    static constexpr int MaxRows = 10000;

    // An empty directory keeps the events in memory only.
    explicit EventLog(const QString &directory, QObject *parent = nullptr);

    // Beside the settings file: "<settings dir>/GRV480 Monitor events".
    static QString defaultDirectory();
    QString directory() const { return dir; }
    QString fileFor(const QDate &day) const;
    static QString kindName(Kind kind);

    void add(Kind kind, const QString &text);
    // Into the program's log, from places that do not hold it (dialogs);
    // nothing while there is none.
    static void post(Kind kind, const QString &text);
    void makeCurrent();
    void add(Kind kind, const QString &text, const QDateTime &time);
    const QVector<Event> &events() const { return rows; }
    // Why the last write to the file failed; empty while it works.
    QString fileError() const { return error; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void eventAdded(const QDateTime &time, int kind, const QString &text);
    void fileFailed(const QString &reason);

private:
    bool appendLine(const QDateTime &time, const QByteArray &line);

    QString dir;
    QVector<Event> rows;
    QString error;
};

#endif // EVENTLOG_H
