#include "sensorlibrary.h"

#include "sensorfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

namespace {

const char FormatName[] = "grv480-sensors";
constexpr int FormatVersion = 1;

// The sensor objects of a text that is no longer JSON as a whole (cut off,
// edited by hand): every object directly inside an array that sits directly
// inside the root object, each parsed on its own.
QList<QByteArray> salvageObjects(const QByteArray &text)
{
    QList<QByteArray> out;
    QByteArray stack;
    bool inString = false;
    bool escaped = false;
    int start = -1;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '{':
        case '[':
            if (c == '{' && stack == "{[")
                start = i;
            stack.append(c);
            break;
        case '}':
        case ']':
            if (stack.isEmpty())
                return out;
            stack.chop(1);
            if (c == '}' && start >= 0 && stack == "{[") {
                out << text.mid(start, i - start + 1);
                start = -1;
            }
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

QString SensorLibrary::defaultPath()
{
    // AppDataLocation is "<data>/<organization>/<application>".
    QString dir = qEnvironmentVariable("XDG_DATA_HOME");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir))
        dir = QDir::homePath() + QLatin1String("/.local/share");
    return dir + QLatin1String("/Norvik/GRV480 Monitor/sensors.json");
}

int SensorLibrary::indexOf(const QString &name) const
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).name == name)
            return i;
    }
    return -1;
}

const Sensor *SensorLibrary::find(const QString &name) const
{
    const int i = indexOf(name);
    return i < 0 ? nullptr : &list.at(i);
}

QString SensorLibrary::add(const Sensor &s)
{
    const QString why = s.problem();
    if (!why.isEmpty())
        return why;
    if (indexOf(s.name) >= 0)
        return tr("Датчик с именем «%1» уже есть").arg(s.name);
    list.append(s);
    return QString();
}

QString SensorLibrary::replace(int index, const Sensor &s)
{
    if (index < 0 || index >= list.size())
        return tr("Нет такого датчика");
    const QString why = s.problem();
    if (!why.isEmpty())
        return why;
    const int other = indexOf(s.name);
    if (other >= 0 && other != index)
        return tr("Датчик с именем «%1» уже есть").arg(s.name);
    list[index] = s;
    return QString();
}

void SensorLibrary::remove(int index)
{
    if (index >= 0 && index < list.size())
        list.removeAt(index);
}

QString SensorLibrary::freeName(const QString &name) const
{
    if (indexOf(name) < 0)
        return name;
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
        if (indexOf(candidate) < 0)
            return candidate;
    }
}

QByteArray SensorLibrary::toText() const
{
    return toText(list);
}

QByteArray SensorLibrary::toText(const QVector<Sensor> &sensors)
{
    QJsonArray array;
    for (const Sensor &s : sensors)
        array.append(s.toJson());
    QJsonObject root;
    root.insert(QStringLiteral("format"), QLatin1String(FormatName));
    root.insert(QStringLiteral("version"), FormatVersion);
    root.insert(QStringLiteral("sensors"), array);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QVector<Sensor> SensorLibrary::parse(const QByteArray &text, QStringList *problems)
{
    QVector<Sensor> out;
    QList<QByteArray> objects;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &err);
    const QJsonObject root = doc.object();
    if (err.error == QJsonParseError::NoError && doc.isObject() &&
        root.value(QStringLiteral("format")).toString() == QLatin1String(FormatName) &&
        root.value(QStringLiteral("sensors")).isArray()) {
        for (const QJsonValue &v : root.value(QStringLiteral("sensors")).toArray())
            objects << QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
    } else {
        if (err.error != QJsonParseError::NoError)
            problems->append(
                tr("Файл повреждён (%1, позиция %2)").arg(err.errorString()).arg(err.offset));
        else
            problems->append(tr("Файл не является библиотекой датчиков"));
        objects = salvageObjects(text);
    }
    for (int i = 0; i < objects.size(); ++i) {
        const QJsonDocument one = QJsonDocument::fromJson(objects.at(i));
        QString why;
        const Sensor s = Sensor::fromJson(one.object(), &why);
        if (why.isEmpty() && !one.isObject())
            why = tr("не объект");
        bool duplicate = false;
        for (const Sensor &o : qAsConst(out))
            duplicate = duplicate || o.name == s.name;
        if (why.isEmpty() && duplicate)
            why = tr("имя «%1» повторяется").arg(s.name);
        if (!why.isEmpty()) {
            problems->append(tr("Датчик %1: %2").arg(i + 1).arg(why));
            continue;
        }
        out.append(s);
    }
    return out;
}

SensorLibrary::LoadResult SensorLibrary::load(const QString &path)
{
    LoadResult r;
    list.clear();
    unreadablePath.clear();
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return r;
    QByteArray text;
    QString error;
    QStringList problems;
    const bool readable = SensorFiles::read(path, MaxFileSize, &text, &error);
    if (!readable) {
        problems << error;
    } else if (text.trimmed().isEmpty()) {
        return r; // nothing in it to lose
    } else {
        list = parse(text, &problems);
        r.read = list.size();
    }
    if (problems.isEmpty())
        return r;

    r.ok = false;
    r.lost = problems.size();
    const QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString aside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                          QLatin1String(".damaged-") + stamp + QLatin1Char('.') + info.suffix();
    QString copyError;
    const bool kept = readable && SensorFiles::write(aside, text, &copyError);
    if (kept)
        r.keptAside = aside;
    else
        unreadablePath = info.absoluteFilePath();
    r.message = tr("Библиотека датчиков «%1» прочитана не полностью: прочитано датчиков %2.")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(r.read);
    if (kept)
        r.message += QLatin1Char(' ') +
                     tr("Копия файла сохранена как «%1».").arg(QDir::toNativeSeparators(aside));
    else
        r.message += QLatin1Char(' ') + tr("Копию файла сохранить не удалось (%1).")
                                            .arg(readable ? copyError : problems.constFirst());
    r.message += QLatin1Char('\n') + problems.mid(0, 10).join(QLatin1Char('\n'));
    return r;
}

bool SensorLibrary::save(const QString &path, QString *error) const
{
    if (!unreadablePath.isEmpty() && QFileInfo(path).absoluteFilePath() == unreadablePath) {
        if (error)
            *error = tr("Файл не был прочитан при запуске и не будет перезаписан");
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return SensorFiles::write(path, toText(), error);
}

int SensorLibrary::importFrom(const QVector<Sensor> &sensors)
{
    int added = 0;
    for (Sensor s : sensors) {
        const Sensor *same = find(s.name);
        if (same && *same == s)
            continue;
        s.name = freeName(s.name);
        if (add(s).isEmpty())
            ++added;
    }
    return added;
}
