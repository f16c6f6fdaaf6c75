#include "eventlog.h"

#include "appendfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

EventLog::EventLog(const QString &directory, QObject *parent)
    : QAbstractTableModel(parent)
    , dir(directory)
{
}

QString EventLog::defaultDirectory()
{
    const QSettings settings;
    return QFileInfo(settings.fileName()).absolutePath() + QLatin1Char('/') +
           QCoreApplication::applicationName() + QLatin1String(" events");
}

QString EventLog::fileFor(const QDate &day) const
{
    return dir + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd")) +
           QLatin1String(".log");
}

QString EventLog::kindName(Kind kind)
{
    switch (kind) {
    case Limit:
        return tr("Пределы");
    case Link:
        return tr("Связь");
    case Config:
        return tr("Конфигурация");
    case Tare:
        return tr("Тарировка");
    case Recording:
        return tr("Запись");
    case Other:
        break;
    }
    return tr("Прочее");
}

namespace {
QPointer<EventLog> currentLog;
} // namespace

void EventLog::post(Kind kind, const QString &text)
{
    if (currentLog)
        currentLog->add(kind, text);
}

void EventLog::makeCurrent()
{
    currentLog = this;
}

void EventLog::add(Kind kind, const QString &text)
{
    add(kind, text, QDateTime::currentDateTime());
}

void EventLog::add(Kind kind, const QString &text, const QDateTime &time)
{
    if (rows.size() >= MaxRows) {
        beginRemoveRows(QModelIndex(), 0, 0);
        rows.removeFirst();
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), rows.size(), rows.size());
    rows.append({time, kind, text});
    endInsertRows();

    if (!dir.isEmpty()) {
        // One event, one line, whatever the text holds.
        QString flat = text;
        flat.replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
        const QString line = time.toString(Qt::ISODateWithMs) + QLatin1Char('\t') + kindName(kind) +
                             QLatin1Char('\t') + flat + QLatin1Char('\n');
        appendLine(time, line.toUtf8());
    }
    emit eventAdded(time, int(kind), text);
}

bool EventLog::appendLine(const QDateTime &time, const QByteArray &line)
{
    const QString path = fileFor(time.date());
    QDir().mkpath(dir);
    AppendFile file;
    if (file.open(path) && file.append(line) && file.close()) {
        error.clear();
        return true;
    }
    // Said once per failure, not once per event.
    const bool first = error.isEmpty();
    error = tr("Журнал событий не записан в «%1»: %2")
                .arg(QDir::toNativeSeparators(path), file.errorString());
    if (first)
        emit fileFailed(error);
    return false;
}

int EventLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int EventLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant EventLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size() || role != Qt::DisplayRole)
        return QVariant();
    const Event &e = rows.at(index.row());
    switch (index.column()) {
    case 0:
        return e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case 1:
        return kindName(e.kind);
    default:
        return e.text;
    }
}

QVariant EventLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("Время");
    case 1:
        return tr("Вид");
    default:
        return tr("Событие");
    }
}
