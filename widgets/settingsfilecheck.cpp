#include "settingsfilecheck.h"

#include "filereader.h"
#include "safefilewriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// --- the streamed value ---------------------------------------------------------

// Type ids as they stand in the stream (Qt 4 numbering in a Qt 4.0 stream;
// the same numbers in Qt 5 for these types). Only what QSettings or this
// program could have written; anything else is refused.
enum StreamType : quint32 {
    TInvalid = 0,
    TBool = 1,
    TInt = 2,
    TUInt = 3,
    TLongLong = 4,
    TULongLong = 5,
    TDouble = 6,
    TChar = 7,
    TMap = 8,
    TList = 9,
    TString = 10,
    TStringList = 11,
    TByteArray = 12,
    TBitArray = 13,
    TDate = 14,
    TTime = 15,
    TDateTime = 16,
    TRect = 19,
    TRectF = 20,
    TSize = 21,
    TSizeF = 22,
    TLine = 23,
    TLineF = 24,
    TPoint = 25,
    TPointF = 26,
    THash = 28,
};

class VariantWalker
{
public:
    VariantWalker(const QByteArray &bytes, bool qt4Stream)
        : p(reinterpret_cast<const uchar *>(bytes.constData()))
        , left(bytes.size())
        , qt4(qt4Stream)
    {
    }

    QString why;

    bool variant(int depth)
    {
        if (depth > SettingsFileCheck::MaxDepth)
            return fail(
                QStringLiteral("nested deeper than %1 levels").arg(SettingsFileCheck::MaxDepth));
        quint32 type = 0;
        if (!u32(&type))
            return false;
        // the null flag exists from stream version 4.2 on
        if (!qt4 && !skip(1))
            return false;
        switch (type) {
        case TInvalid:
            // a Qt 4 stream carries an empty string after an invalid value
            return qt4 ? string() : true;
        case TBool:
            return skip(1);
        case TChar:
            return skip(2);
        case TInt:
        case TUInt:
        case TTime:
            return skip(4);
        case TLongLong:
        case TULongLong:
        case TDouble:
        case TSize:
        case TPoint:
            return skip(8);
        case TRect:
        case TLine:
        case TSizeF:
        case TPointF:
            return skip(16);
        case TRectF:
        case TLineF:
            return skip(32);
        case TDate:
            return skip(qt4 ? 4 : 8);
        case TDateTime:
            return dateTime();
        case TString:
            return string();
        case TByteArray:
            return byteArray();
        case TBitArray: {
            quint32 bits = 0;
            return u32(&bits) && skip((qint64(bits) + 7) / 8);
        }
        case TStringList: {
            quint32 n = 0;
            if (!count(&n, 4))
                return false;
            for (quint32 i = 0; i < n; ++i) {
                if (!string())
                    return false;
            }
            return true;
        }
        case TList: {
            quint32 n = 0;
            if (!count(&n, 4))
                return false;
            for (quint32 i = 0; i < n; ++i) {
                if (!variant(depth + 1))
                    return false;
            }
            return true;
        }
        case TMap:
        case THash: {
            quint32 n = 0;
            if (!count(&n, 8))
                return false;
            for (quint32 i = 0; i < n; ++i) {
                if (!string() || !variant(depth + 1))
                    return false;
            }
            return true;
        }
        default:
            return fail(
                QStringLiteral("a value of type %1, which this program never stores").arg(type));
        }
    }

private:
    bool fail(const QString &reason)
    {
        if (why.isEmpty())
            why = reason;
        return false;
    }

    bool skip(qint64 n)
    {
        if (n > left)
            return fail(QStringLiteral("the value ends early"));
        p += n;
        left -= n;
        return true;
    }

    bool u32(quint32 *v)
    {
        if (left < 4)
            return fail(QStringLiteral("the value ends early"));
        *v = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
        p += 4;
        left -= 4;
        return true;
    }

    // An element count of a container whose elements take at least
    // minElementBytes each: more than the bytes left is a lie.
    bool count(quint32 *n, int minElementBytes)
    {
        if (!u32(n))
            return false;
        if (qint64(*n) * minElementBytes > left)
            return fail(QStringLiteral("it declares %1 elements in %2 bytes").arg(*n).arg(left));
        return true;
    }

    bool string()
    {
        quint32 bytes = 0;
        if (!u32(&bytes))
            return false;
        if (bytes == 0xffffffffu)
            return true; // null string
        if (bytes % 2)
            return fail(QStringLiteral("a string of an odd byte count"));
        if (bytes > left)
            return fail(
                QStringLiteral("it declares a string of %1 bytes in %2").arg(bytes).arg(left));
        return skip(bytes);
    }

    bool byteArray()
    {
        quint32 bytes = 0;
        if (!u32(&bytes))
            return false;
        if (bytes == 0xffffffffu)
            return true;
        if (bytes > left)
            return fail(QStringLiteral("it declares %1 bytes in %2").arg(bytes).arg(left));
        return skip(bytes);
    }

    bool dateTime()
    {
        // date, time, time spec; from 5.2 on an offset for Qt::OffsetFromUTC
        // and a time zone for Qt::TimeZone, which this program never stores
        if (!skip(qt4 ? 4 : 8) || !skip(4) || left < 1)
            return fail(QStringLiteral("the value ends early"));
        const quint8 spec = *p;
        skip(1);
        if (spec > 2)
            return fail(QStringLiteral("a date and time of time spec %1").arg(spec));
        return qt4 || spec != 2 || skip(4);
    }

    const uchar *p;
    qint64 left;
    bool qt4;
};

// --- the INI text, split as QSettings splits it -----------------------------------

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isSpecial(char c)
{
    return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

// One logical line from dataPos on: continuation lines, quoted line breaks
// and comments as QSettings reads them. false at the end of the text.
bool readIniLine(const QByteArray &data, int &dataPos, int &lineStart, int &lineLen, int &equalsPos)
{
    const int dataLen = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = dataPos;
    while (lineStart < dataLen && isSpace(data.at(lineStart)))
        ++lineStart;

    int i = lineStart;
    while (i < dataLen) {
        char ch = data.at(i);
        while (!isSpecial(ch)) {
            if (++i == dataLen)
                goto done;
            ch = data.at(i);
        }
        ++i;
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        } else if (ch == '\\') {
            if (i < dataLen) {
                const char c1 = data.at(i++);
                if (i < dataLen) {
                    const char c2 = data.at(i);
                    if ((c1 == '\n' && c2 == '\r') || (c1 == '\r' && c2 == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < dataLen && (ch = data.at(i)) != '\n' && ch != '\r')
                    ++i;
                while (i < dataLen && isSpace(data.at(i)))
                    ++i;
                lineStart = i;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        }
    }
done:
    dataPos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

void chopTrailingSpaces(QString &s, int limit)
{
    int n = s.size();
    while (n > limit && (s.at(n - 1) == QLatin1Char(' ') || s.at(n - 1) == QLatin1Char('\t')))
        --n;
    s.truncate(n);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A value's text unescaped as QSettings does: one string, or the elements of
// a comma-separated list. utf8: the file began with a UTF-8 byte-order mark.
QStringList unescapedValues(const QByteArray &str, int from, int to, bool utf8)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QStringList list;
    QString result;
    bool isList = false, inQuotes = false, quoted = false;
    // an escape cut off by the end leaves trailing blanks where they are
    bool cutOff = false;
    int i = from;
    int chopLimit = 0;
    auto skipSpaces = [&] {
        while (i < to && (str.at(i) == ' ' || str.at(i) == '\t'))
            ++i;
        chopLimit = result.size();
    };
    skipSpaces();
    while (i < to) {
        const char c = str.at(i);
        if (c == '\\') {
            ++i;
            if (i >= to) {
                cutOff = true;
                break;
            }
            const char e = str.at(i++);
            bool simple = false;
            for (const auto &pair : escapes) {
                if (e == pair[0]) {
                    result += QLatin1Char(pair[1]);
                    simple = true;
                    break;
                }
            }
            if (simple) {
                chopLimit = result.size();
                continue;
            }
            if (e == 'x' || (e >= '0' && e <= '7')) {
                const bool hex = e == 'x';
                quint32 v = hex ? 0 : quint32(e - '0');
                if (hex && i >= to) {
                    cutOff = true;
                    break;
                }
                if (hex && hexValue(str.at(i)) < 0) {
                    // "\x" without a digit: nothing is added
                    chopLimit = result.size();
                    continue;
                }
                while (i < to) {
                    const int d =
                        hex ? hexValue(str.at(i))
                            : (str.at(i) >= '0' && str.at(i) <= '7' ? str.at(i) - '0' : -1);
                    if (d < 0)
                        break;
                    v = (v << (hex ? 4 : 3)) + quint32(d);
                    ++i;
                }
                result += QChar(ushort(v));
                chopLimit = result.size();
                if (i >= to)
                    cutOff = true;
                continue;
            }
            if ((e == '\n' || e == '\r') && i < to) {
                const char e2 = str.at(i);
                if ((e2 == '\n' || e2 == '\r') && e2 != e)
                    ++i;
            }
            chopLimit = result.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(result, chopLimit);
            isList = true;
            list << result;
            result.clear();
            quoted = false;
            ++i;
            skipSpaces();
        } else {
            int j = i + 1;
            while (j < to && str.at(j) != '\\' && str.at(j) != '"' && str.at(j) != ',')
                ++j;
            if (utf8)
                result += QString::fromUtf8(str.constData() + i, j - i);
            else
                result += QString::fromLatin1(str.constData() + i, j - i);
            i = j;
        }
    }
    if (!quoted && !cutOff)
        chopTrailingSpaces(result, chopLimit);
    if (isList) {
        list << result;
        return list;
    }
    return {result};
}

QString checkValueString(const QString &s)
{
    if (!s.endsWith(QLatin1Char(')')))
        return QString();
    // QSettings hands the rest, ")" included, to QDataStream as Latin-1.
    if (s.startsWith(QLatin1String("@Variant(")))
        return SettingsFileCheck::checkStreamedVariant(s.mid(9).toLatin1(), true);
    if (s.startsWith(QLatin1String("@DateTime(")))
        return SettingsFileCheck::checkStreamedVariant(s.mid(10).toLatin1(), false);
    return QString();
}

void warn(const QString &fileName, const SettingsFileCheck::Entry &e, const QString &copyName)
{
    qWarning("Settings file \"%s\": group [%s], key \"%s\" is refused (%s); it is removed and "
             "takes its default. The file as it was is kept as \"%s\".",
             qPrintable(fileName),
             qPrintable(e.group.isEmpty() ? QStringLiteral("General") : e.group), qPrintable(e.key),
             qPrintable(e.reason), qPrintable(copyName));
}

QString copyNameFor(const QString &fileName)
{
    const QFileInfo info(fileName);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString base = info.path() + QLatin1Char('/') + info.completeBaseName() +
                         QStringLiteral(".damaged-") + stamp;
    QString name = base + suffix;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n) + suffix;
    return name;
}

bool writeAtomically(const QString &name, const QByteArray &data, QString *error)
{
    SafeFileWriter file(name);
    if (file.open() && file.write(data) && file.commit())
        return true;
    *error = QStringLiteral("cannot write \"%1\": %2").arg(name, file.errorString());
    return false;
}

} // namespace

namespace SettingsFileCheck {

QString checkStreamedVariant(const QByteArray &bytes, bool qt4Stream)
{
    VariantWalker walker(bytes, qt4Stream);
    if (walker.variant(0))
        return QString();
    return walker.why;
}

QList<Entry> hostileEntries(const QByteArray &ini)
{
    QList<Entry> found;
    int dataPos = 0, lineStart = 0, lineLen = 0, equalsPos = -1;
    bool utf8 = false;
    if (ini.startsWith("\xef\xbb\xbf")) {
        utf8 = true;
        dataPos = 3;
    }
    QString group;
    while (readIniLine(ini, dataPos, lineStart, lineLen, equalsPos)) {
        const int lineEnd = lineStart + lineLen;
        if (ini.at(lineStart) == '[') {
            const int close = ini.indexOf(']', lineStart);
            const int nameEnd = close == -1 || close >= lineEnd ? lineEnd : close;
            group = QString::fromLatin1(ini.mid(lineStart + 1, nameEnd - lineStart - 1).trimmed());
            if (group.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                group.clear();
            continue;
        }
        if (equalsPos == -1)
            continue;
        for (const QString &value : unescapedValues(ini, equalsPos + 1, lineEnd, utf8)) {
            const QString reason = checkValueString(value);
            if (reason.isEmpty())
                continue;
            Entry e;
            e.group = group;
            e.key = QString::fromLatin1(ini.mid(lineStart, equalsPos - lineStart).trimmed());
            e.reason = reason;
            e.begin = lineStart;
            e.end = lineEnd;
            found << e;
            break;
        }
    }
    return found;
}

QByteArray withoutEntries(const QByteArray &ini, const QList<Entry> &entries)
{
    QByteArray out;
    out.reserve(ini.size());
    int pos = 0;
    for (const Entry &e : entries) {
        out.append(ini.constData() + pos, e.begin - pos);
        pos = e.end;
    }
    out.append(ini.constData() + pos, ini.size() - pos);
    return out;
}

QByteArray withQt5Escapes(const QByteArray &ini)
{
    QByteArray out;
    out.reserve(ini.size());
    const auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    int i = 0;
    const int n = ini.size();
    // UTF-8 before any key (a byte order mark) is the reader's, not a value's.
    if (ini.startsWith("\xef\xbb\xbf")) {
        out += ini.left(3);
        i = 3;
    }
    bool inValue = false, escaped = false;
    while (i < n) {
        const char c = ini.at(i);
        if (c == '\n' || c == '\r') {
            inValue = escaped = false;
            out += c;
            ++i;
            continue;
        }
        if (!inValue && c == '=')
            inValue = true;
        const uchar u = uchar(c);
        if (!inValue || (u < 0x80 && !(escaped && isHex(c)))) {
            escaped = false;
            out += c;
            ++i;
            continue;
        }
        // A character Qt 5 reads only as an escape: one UTF-8 sequence, or a
        // hex digit that would otherwise extend the escape before it.
        int len = 1;
        char32_t code = u;
        if (u >= 0xc2 && u <= 0xf4) {
            len = u >= 0xf0 ? 4 : u >= 0xe0 ? 3 : 2;
            code = u & (0x7f >> len);
            for (int k = 1; k < len; ++k) {
                if (i + k >= n || (uchar(ini.at(i + k)) & 0xc0) != 0x80) {
                    len = 1;
                    code = u; // not UTF-8: the byte as Qt 5 would have read it, Latin-1
                    break;
                }
                code = (code << 6) | (uchar(ini.at(i + k)) & 0x3f);
            }
        }
        const QString units = QString::fromUcs4(&code, 1);
        for (const QChar unit : units)
            out += "\\x" + QByteArray::number(unit.unicode(), 16);
        escaped = true;
        i += len;
    }
    return out;
}

Outcome mendFile(const QString &fileName)
{
    Outcome outcome;
    // QSettings would open a FIFO or a device and wait, or read without end;
    // a missing or merely unreadable file is only empty to it.
    struct stat st;
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return outcome;
    // The lock QSettings itself takes while it writes the file.
    QLockFile lock(fileName + QStringLiteral(".lock"));
    if (S_ISREG(st.st_mode))
        lock.tryLock(2000);
    const FileReadResult in = readRegularFile(fileName, MaxFileBytes);
    if (!in.ok) {
        if (S_ISREG(st.st_mode) && st.st_size <= MaxFileBytes)
            return outcome;
        outcome.ok = false;
        outcome.error = in.error;
        qCritical("Settings file \"%s\" cannot be read: %s. The program starts with its "
                  "defaults and keeps its settings for this session only.",
                  qPrintable(fileName), qPrintable(in.error));
        return outcome;
    }
    const QByteArray &original = in.data;
    outcome.removed = hostileEntries(original);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 writes values as UTF-8, which Qt 5 reads as Latin-1 unless told:
    // a file a Qt 6 build wrote is put into Qt 5's own spelling first.
    if (outcome.removed.isEmpty()) {
        const QByteArray spelled = withQt5Escapes(original);
        if (spelled == original)
            return outcome;
        outcome.mended = spelled;
        outcome.ok = writeAtomically(fileName, spelled, &outcome.error);
        if (!outcome.ok)
            qCritical("Settings file \"%s\" was written by a newer build and cannot be "
                      "rewritten for this one: %s. The program reads its settings from a "
                      "rewritten copy and keeps them for this session only.",
                      qPrintable(fileName), qPrintable(outcome.error));
        return outcome;
    }
    const QByteArray source = withQt5Escapes(original);
#else
    if (outcome.removed.isEmpty())
        return outcome;
    const QByteArray &source = original;
#endif

    QByteArray mended = withoutEntries(source, hostileEntries(source));
    // A removal can join what was apart (quotes across lines); go on until
    // nothing is left to refuse.
    for (QList<Entry> more = hostileEntries(mended); !more.isEmpty();
         more = hostileEntries(mended)) {
        outcome.removed += more;
        mended = withoutEntries(mended, more);
    }
    outcome.mended = mended;
    outcome.copyName = copyNameFor(fileName);
    const bool copied = writeAtomically(outcome.copyName, original, &outcome.error);
    if (!copied || !writeAtomically(fileName, mended, &outcome.error)) {
        // a copy is kept only beside a mended file
        if (copied)
            QFile::remove(outcome.copyName);
        outcome.copyName.clear();
        outcome.ok = false;
        qCritical("Settings file \"%s\" holds values that would abort the program, and it "
                  "cannot be mended: %s. The program reads its settings from a mended copy "
                  "and keeps them for this session only.",
                  qPrintable(fileName), qPrintable(outcome.error));
        return outcome;
    }
    for (const Entry &e : qAsConst(outcome.removed))
        warn(fileName, e, outcome.copyName);
    return outcome;
}

QString userSettingsFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + QCoreApplication::organizationName() + QLatin1Char('/') +
           QCoreApplication::applicationName() + QStringLiteral(".ini");
}

Outcome mendUserSettings()
{
    Outcome outcome = mendFile(userSettingsFileName());
    if (outcome.ok)
        return outcome;
    // Lives as long as the program: every QSettings() of it reads from there.
    static QTemporaryDir *privateHome = nullptr;
    if (!privateHome) {
        privateHome = new QTemporaryDir();
        qAddPostRoutine([] {
            delete privateHome;
            privateHome = nullptr;
        });
    }
    const QString copy =
        privateHome->filePath(QCoreApplication::organizationName() + QLatin1Char('/') +
                              QCoreApplication::applicationName() + QStringLiteral(".ini"));
    QString error;
    if (!privateHome->isValid() || !QDir().mkpath(QFileInfo(copy).path()) ||
        !writeAtomically(copy, outcome.mended, &error)) {
        // Not even a private copy: the hostile values must still not be read,
        // so the settings start empty under a path nothing can be created in.
        qCritical("No private copy of the settings can be kept: %s", qPrintable(error));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QStringLiteral("/dev/null/grv480-monitor"));
        return outcome;
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, privateHome->path());
    return outcome;
}

} // namespace SettingsFileCheck
