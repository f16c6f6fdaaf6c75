// The translation catalogues against the sources: every text the program
// shows has its English translation, the catalogues hold what the sources
// hold, and no Russian text bypasses the translation except the fixed texts
// of file formats listed in fixedtexts.txt.

#include <QtTest>

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

const QString SourceDir = QStringLiteral(GRV480_SOURCE_DIR);

struct Message
{
    QString context;
    QString source;
    QString comment;
    QString translation;
    QString type; // "", "unfinished", "obsolete" or "vanished"

    QString key() const
    {
        return context + QStringLiteral(": ") + source +
               (comment.isEmpty() ? QString() : QStringLiteral(" (") + comment + ')');
    }
};

// The messages of a Qt Linguist catalogue; an error for text that is not one.
QList<Message> parseCatalogue(const QByteArray &xml, QString *error)
{
    QList<Message> out;
    QXmlStreamReader r(xml);
    QString context;
    bool sawTs = false;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.name() == QLatin1String("TS")) {
            sawTs = true;
        } else if (r.name() == QLatin1String("name")) {
            context = r.readElementText();
        } else if (r.name() == QLatin1String("message")) {
            Message m;
            m.context = context;
            while (!(r.isEndElement() && r.name() == QLatin1String("message")) && !r.atEnd()) {
                r.readNext();
                if (!r.isStartElement())
                    continue;
                if (r.name() == QLatin1String("source")) {
                    m.source = r.readElementText();
                } else if (r.name() == QLatin1String("comment")) {
                    m.comment = r.readElementText();
                } else if (r.name() == QLatin1String("translation")) {
                    m.type = r.attributes().value(QLatin1String("type")).toString();
                    m.translation = r.readElementText(QXmlStreamReader::IncludeChildElements);
                }
            }
            out.append(m);
        }
    }
    if (r.hasError())
        *error = QStringLiteral("line %1: %2").arg(r.lineNumber()).arg(r.errorString());
    else if (!sawTs)
        *error = QStringLiteral("not a translation catalogue");
    return out;
}

// The messages that give no translation, named "context: source".
QStringList untranslated(const QList<Message> &messages)
{
    QStringList out;
    for (const Message &m : messages) {
        if (!m.type.isEmpty())
            out << QStringLiteral("%1 [%2]").arg(m.key(), m.type);
        else if (m.translation.trimmed().isEmpty())
            out << QStringLiteral("%1 [empty]").arg(m.key());
    }
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool hasCyrillic(const QString &s)
{
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    return s.contains(cyrillic);
}

struct Literal
{
    QString text; // adjacent literals joined, escapes resolved
    int line;
    bool translated;
};

QChar unescape(QChar c)
{
    switch (c.unicode()) {
    case 'n':
        return QLatin1Char('\n');
    case 't':
        return QLatin1Char('\t');
    case 'r':
        return QLatin1Char('\r');
    default:
        return c;
    }
}

// The string literals of C++ code that hold Russian text, each marked as
// translated when it is the text of tr(), translate() or their NOOP forms.
// Comments and character literals are skipped; a literal that follows a
// translated one after a comma (the source after a context, a comment after
// a source) counts as translated too.
QList<Literal> russianLiterals(const QString &code)
{
    static const QRegularExpression opener(QStringLiteral(
        "(\\btr|\\btranslate|\\btrUtf8|\\bQT_TR_NOOP|\\bQT_TRANSLATE_NOOP3?|\\bQT_TR_N_NOOP|"
        "\\bQT_TRANSLATE_N_NOOP3?)\\s*\\(\\s*$"));
    QList<Literal> out;
    QString between; // code since the last literal run
    bool prevTranslated = false;
    bool inRun = false;
    Literal run{QString(), 0, false};
    int line = 1;
    const int n = code.size();
    auto finishRun = [&]() {
        if (!inRun)
            return;
        if (hasCyrillic(run.text))
            out.append(run);
        prevTranslated = run.translated;
        inRun = false;
        between.clear();
    };
    for (int i = 0; i < n; ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('\n'))
            ++line;
        if (c == QLatin1Char('/') && i + 1 < n && code.at(i + 1) == QLatin1Char('/')) {
            while (i < n && code.at(i) != QLatin1Char('\n'))
                ++i;
            --i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && code.at(i + 1) == QLatin1Char('*')) {
            const int end = code.indexOf(QLatin1String("*/"), i + 2);
            const int stop = end < 0 ? n : end + 2;
            line += int(std::count(code.constBegin() + i, code.constBegin() + stop, QLatin1Char('\n')));
            i = stop - 1;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            finishRun();
            for (++i; i < n && code.at(i) != QLatin1Char('\''); ++i) {
                if (code.at(i) == QLatin1Char('\\'))
                    ++i;
            }
            between += QLatin1String("'?'");
            continue;
        }
        if (c == QLatin1Char('"')) {
            if (!inRun) {
                const bool afterOpener = opener.match(between).hasMatch();
                const bool afterTranslated =
                    prevTranslated && between.trimmed() == QLatin1String(",");
                run = Literal{QString(), line, afterOpener || afterTranslated};
                inRun = true;
            }
            for (++i; i < n && code.at(i) != QLatin1Char('"'); ++i) {
                if (code.at(i) == QLatin1Char('\\') && i + 1 < n)
                    run.text += unescape(code.at(++i));
                else
                    run.text += code.at(i);
            }
            continue;
        }
        if (inRun && !c.isSpace())
            finishRun();
        between += c;
    }
    finishRun();
    return out;
}

// The Russian texts of a designer form that are marked not to be translated.
QStringList russianUntranslatedFormTexts(const QByteArray &ui)
{
    QStringList out;
    QXmlStreamReader r(ui);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("string") &&
            r.attributes().value(QLatin1String("notr")) == QLatin1String("true")) {
            const QString text = r.readElementText();
            if (hasCyrillic(text))
                out << text;
        }
    }
    return out;
}

// fixedtexts.txt: "[file]" starts a file's section, "#" lines give reasons,
// every other line is one text (with \n for a line break), compared without
// the spaces around it.
QMap<QString, QStringList> readFixedTexts(const QString &path)
{
    QMap<QString, QStringList> out;
    QString file;
    const QStringList lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString l = raw.trimmed();
        if (l.isEmpty() || l.startsWith(QLatin1Char('#')))
            continue;
        if (l.startsWith(QLatin1Char('[')) && l.endsWith(QLatin1Char(']')))
            file = l.mid(1, l.size() - 2);
        else
            out[file] << QString(l).replace(QLatin1String("\\n"), QLatin1String("\n"));
    }
    return out;
}

QStringList monitorDirs()
{
    return QString::fromUtf8(GRV480_MONITOR_DIRS).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// The program's sources and forms, relative to the source directory.
QStringList programFiles()
{
    QStringList files;
    QDir root(SourceDir);
    const QStringList dirs = monitorDirs() << QStringLiteral("forms");
    for (const QString &dir : dirs) {
        QDirIterator it(root.filePath(dir), {"*.cpp", "*.h", "*.ui"}, QDir::Files);
        while (it.hasNext())
            files << root.relativeFilePath(it.next());
    }
    files.sort();
    return files;
}

// Written in English, with catalogues for both languages of their own.
const QStringList SwitchFiles = {QStringLiteral("widgets/qttranslationswitch.cpp"),
                                 QStringLiteral("widgets/tablecopyaction.cpp")};

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void untranslatedMessages_data();
    void untranslatedMessages();
    void russianOutsideTr_data();
    void russianOutsideTr();

    void catalogueComplete_data();
    void catalogueComplete();
    void catalogueCurrent_data();
    void catalogueCurrent();
    void noRussianTextOutsideTr();
};

// --- the checks themselves -------------------------------------------------

void tst_Translations::untranslatedMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("translated") << QByteArray("<source>Да</source><translation>Yes</translation>")
                                << QStringList();
    QTest::newRow("unfinished")
        << QByteArray("<source>Да</source><translation type=\"unfinished\">Yes</translation>")
        << QStringList{"C: Да [unfinished]"};
    QTest::newRow("empty") << QByteArray("<source>Да</source><translation> </translation>")
                           << QStringList{"C: Да [empty]"};
    QTest::newRow("obsolete")
        << QByteArray("<source>Да</source><translation type=\"obsolete\">Yes</translation>")
        << QStringList{"C: Да [obsolete]"};
    QTest::newRow("vanished")
        << QByteArray("<source>Да</source><translation type=\"vanished\">Yes</translation>")
        << QStringList{"C: Да [vanished]"};
    QTest::newRow("with comment")
        << QByteArray("<source>Да</source><comment>button</comment><translation/>")
        << QStringList{"C: Да (button) [empty]"};
}

void tst_Translations::untranslatedMessages()
{
    QFETCH(QByteArray, message);
    QFETCH(QStringList, expected);
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><TS version=\"2.1\">"
                           "<context><name>C</name><message>" +
                           message + "</message></context></TS>";
    QString error;
    const QList<Message> messages = parseCatalogue(xml, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(untranslated(messages), expected);

    parseCatalogue("<TS><context>", &error);
    QVERIFY(!error.isEmpty());
}

void tst_Translations::russianOutsideTr_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("outside");
    QTest::addColumn<int>("inside");
    QTest::newRow("tr") << "x = tr(\"Да\");" << QStringList() << 1;
    QTest::newRow("literal") << "x = QStringLiteral(\"Да\");" << QStringList{"Да"} << 0;
    QTest::newRow("joined lines") << "tr(\"a \"\n   \"Да\")" << QStringList() << 1;
    QTest::newRow("translate") << "QCoreApplication::translate(\"Ctx\", \"Да\")" << QStringList()
                               << 1;
    QTest::newRow("noop") << "{QT_TRANSLATE_NOOP(\"Ctx\", \"Да\"), 1}" << QStringList() << 1;
    QTest::newRow("tr comment") << "tr(\"a\", \"кнопка\")" << QStringList() << 1;
    QTest::newRow("second argument") << "f(\"x\", \"Да\")" << QStringList{"Да"} << 0;
    QTest::newRow("arg of tr") << "tr(\"%1\").arg(\"Да\")" << QStringList{"Да"} << 0;
    QTest::newRow("escapes") << "s = \"\\\"Да\\n\";" << QStringList{"\"Да\n"} << 0;
    QTest::newRow("char literal") << "c = '\"'; s = \"Да\";" << QStringList{"Да"} << 0;
    QTest::newRow("comments") << "// \"Да\"\n/* \"Нет\" */ x = 1;" << QStringList() << 0;
    QTest::newRow("mytr") << "mytr(\"Да\")" << QStringList{"Да"} << 0;
}

void tst_Translations::russianOutsideTr()
{
    QFETCH(QString, code);
    QFETCH(QStringList, outside);
    QFETCH(int, inside);
    QStringList foundOutside;
    int foundInside = 0;
    for (const Literal &l : russianLiterals(code)) {
        if (l.translated)
            ++foundInside;
        else
            foundOutside << l.text;
    }
    QCOMPARE(foundOutside, outside);
    QCOMPARE(foundInside, inside);
}

// --- the program -------------------------------------------------------------

void tst_Translations::catalogueComplete_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("program, English") << "translations/grv480monitor_en.ts";
    QTest::newRow("switch, English") << "translations/qttranslationswitch_en.ts";
    QTest::newRow("switch, Russian") << "translations/qttranslationswitch_ru.ts";
}

void tst_Translations::catalogueComplete()
{
    QFETCH(QString, file);
    QString error;
    const QList<Message> messages = parseCatalogue(readFile(SourceDir + '/' + file), &error);
    QVERIFY2(error.isEmpty(), qPrintable(file + ": " + error));
    QVERIFY(!messages.isEmpty());
    const QStringList missing = untranslated(messages);
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("%1 gives no translation for %2 text(s):\n  %3")
                            .arg(file)
                            .arg(missing.size())
                            .arg(missing.join(QStringLiteral("\n  ")))));
}

void tst_Translations::catalogueCurrent_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QStringList>("sources");
    QStringList program = programFiles();
    for (const QString &f : SwitchFiles)
        program.removeAll(f);
    QTest::newRow("program") << "translations/grv480monitor_en.ts" << program;
    QTest::newRow("switch") << "translations/qttranslationswitch_ru.ts" << SwitchFiles;
}

// The catalogue holds exactly the texts that lupdate finds in the sources,
// as after "cmake -DGRV480_UPDATE_TRANSLATIONS=ON".
void tst_Translations::catalogueCurrent()
{
    QFETCH(QString, catalogue);
    QFETCH(QStringList, sources);
    const QString lupdate = QStringLiteral(GRV480_LUPDATE);
    if (!QFileInfo(lupdate).isExecutable())
        QSKIP("lupdate is not installed (qttools5-dev-tools)");
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString fresh = tmp.filePath(QStringLiteral("fresh.ts"));
    QProcess p;
    p.setWorkingDirectory(SourceDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(lupdate, QStringList{"-silent", "-no-obsolete", "-locations", "none"}
                         << sources << QStringList{"-ts", fresh});
    QVERIFY(p.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(p.readAll());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(output));
    // A tr() outside a class (a helper in an anonymous namespace) compiles,
    // but lupdate cannot give it a context, so its text never reaches the
    // catalogue.
    QStringList lost;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("cannot be called without context")))
            lost << line.trimmed();
    }
    QVERIFY2(lost.isEmpty(),
             qPrintable(QStringLiteral("texts lupdate cannot extract; use "
                                       "QCoreApplication::translate(\"Context\", ...):\n  ") +
                        lost.join(QStringLiteral("\n  "))));

    QString error;
    QSet<QString> found, held;
    for (const Message &m : parseCatalogue(readFile(fresh), &error))
        found << m.key();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (const Message &m : parseCatalogue(readFile(SourceDir + '/' + catalogue), &error)) {
        if (m.type != QLatin1String("obsolete") && m.type != QLatin1String("vanished"))
            held << m.key();
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!found.isEmpty());

    QStringList news = (found - held).values();
    QStringList gone = (held - found).values();
    news.sort();
    gone.sort();
    QString report;
    if (!news.isEmpty())
        report += QStringLiteral("\nin the sources, not in %1:\n  %2")
                      .arg(catalogue, news.join(QStringLiteral("\n  ")));
    if (!gone.isEmpty())
        report += QStringLiteral("\nin %1, gone from the sources:\n  %2")
                      .arg(catalogue, gone.join(QStringLiteral("\n  ")));
    if (!report.isEmpty())
        report += QStringLiteral("\nRefresh with cmake -DGRV480_UPDATE_TRANSLATIONS=ON, build, "
                                 "translate, then set the option OFF again (see README).");
    QVERIFY2(report.isEmpty(), qPrintable(report));
}

void tst_Translations::noRussianTextOutsideTr()
{
    const QString listPath = SourceDir + QStringLiteral("/tests/fixedtexts.txt");
    QVERIFY2(QFile::exists(listPath), qPrintable(listPath));
    QMap<QString, QStringList> fixed = readFixedTexts(listPath);
    QVERIFY(!fixed.isEmpty());
    QStringList outside;
    int inside = 0;
    const QStringList files = programFiles();
    QVERIFY(files.size() > 50);
    for (const QString &file : files) {
        const QByteArray bytes = readFile(SourceDir + '/' + file);
        QVERIFY2(!bytes.isEmpty(), qPrintable(file));
        QList<Literal> texts;
        if (file.endsWith(QLatin1String(".ui"))) {
            for (const QString &t : russianUntranslatedFormTexts(bytes))
                texts.append(Literal{t, 0, false});
        } else {
            for (const Literal &l : russianLiterals(QString::fromUtf8(bytes))) {
                if (l.translated)
                    ++inside;
                else
                    texts.append(l);
            }
        }
        for (const Literal &l : qAsConst(texts)) {
            // Each listed text is taken once, so the list stays exact.
            if (!fixed[file].removeOne(l.text.trimmed()))
                outside << QStringLiteral("%1:%2: \"%3\"").arg(file).arg(l.line).arg(l.text);
        }
    }
    QVERIFY(inside > 100);
    QVERIFY2(
        outside.isEmpty(),
        qPrintable(QStringLiteral("Russian text outside tr(); wrap it, or list it in "
                                  "tests/fixedtexts.txt if a file format needs it fixed:\n  ") +
                   outside.join(QStringLiteral("\n  "))));
    QStringList stale;
    for (auto it = fixed.cbegin(); it != fixed.cend(); ++it) {
        for (const QString &t : it.value())
            stale << QStringLiteral("%1: \"%2\"").arg(it.key(), t);
    }
    QVERIFY2(stale.isEmpty(),
             qPrintable(QStringLiteral("tests/fixedtexts.txt lists texts the sources no longer "
                                       "hold:\n  ") +
                        stale.join(QStringLiteral("\n  "))));
}

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
