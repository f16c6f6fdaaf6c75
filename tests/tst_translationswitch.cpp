#include <QtTest>

#include <QAction>
#include <QActionGroup>
#include <QSettings>

#include "qttranslationswitch.h"

// Counts the language changes that reach an ordinary top-level widget.
class Watcher : public QWidget
{
public:
    int changes = 0;

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange)
            ++changes;
        QWidget::changeEvent(event);
    }
};

class TestTranslationSwitch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void actionsAndIcons();
    void translationsPath_data();
    void translationsPath();
    void setLanguageChecksExactlyOneAction_data();
    void setLanguageChecksExactlyOneAction();
    void loadsTheTranslations();
    void loadsQtsOwnTranslation();
    void setLanguageReinstallsEveryTime();
    void triggeringTheCheckedActionReloadsNothing();
    void triggeringAnotherActionSwitches();
    void defaultLocaleFollows_data();
    void defaultLocaleFollows();
    void restoreLanguage_data();
    void restoreLanguage();

private:
    int languageChangesDuring(const std::function<void()> &f);

    QtTranslationSwitch *sw = nullptr;
    Watcher watcher;
};

void TestTranslationSwitch::initTestCase()
{
    sw = QtTranslationSwitch::instance();
    QCOMPARE(QtTranslationSwitch::instance(), sw);
    // Tests run beside the program, so "translations" is the build's own folder.
    sw->setTranslationsPath("translations");
    sw->addTranslation("grv480monitor");
    QVERIFY(QFile::exists(sw->currentTranslationsPath() + "/qttranslationswitch_ru.qm"));
    QVERIFY(QFile::exists(sw->currentTranslationsPath() + "/grv480monitor_en.qm"));
}

int TestTranslationSwitch::languageChangesDuring(const std::function<void()> &f)
{
    QCoreApplication::processEvents();
    watcher.changes = 0;
    f();
    QCoreApplication::processEvents();
    return watcher.changes;
}

void TestTranslationSwitch::actionsAndIcons()
{
    const QList<QAction *> actions = sw->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(sw->actionGroup()->actions(), actions);
    QVERIFY(sw->actionGroup()->isExclusive());
    QCOMPARE(actions.at(0)->data().toString(), QString());
    QCOMPARE(actions.at(1)->data().toString(), QString("ru"));
    QCOMPARE(actions.at(2)->data().toString(), QString("en"));
    for (QAction *a : actions)
        QVERIFY(a->isCheckable());

    // Compiled into the static library and still there after linking.
    QVERIFY(QFile::exists(":/qttrans/lang/ru.png"));
    QVERIFY(QFile::exists(":/qttrans/lang/en.png"));
    QVERIFY(actions.at(0)->icon().isNull());
    QVERIFY(!actions.at(1)->icon().pixmap(16).isNull());
    QVERIFY(!actions.at(2)->icon().pixmap(16).isNull());
}

void TestTranslationSwitch::translationsPath_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("expected");
    const QString appDir = QCoreApplication::applicationDirPath();
    QTest::newRow("relative") << "translations" << appDir + "/translations";
    QTest::newRow("relative nested") << "share/lang" << appDir + "/share/lang";
    QTest::newRow("absolute") << "/opt/monitor/translations" << "/opt/monitor/translations";
}

void TestTranslationSwitch::translationsPath()
{
    QFETCH(QString, dir);
    QFETCH(QString, expected);
    const QString before = sw->currentTranslationsPath();
    sw->setTranslationsPath(dir);
    QCOMPARE(sw->currentTranslationsPath(), expected);
    sw->setTranslationsPath(before); // later tests load from the build's folder
}

void TestTranslationSwitch::setLanguageChecksExactlyOneAction_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("checked");
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("english") << "en" << 2 << QLocale("en");
    QTest::newRow("russian") << "ru" << 1 << QLocale("ru");
    QTest::newRow("system") << "" << 0 << QLocale::system();
}

void TestTranslationSwitch::setLanguageChecksExactlyOneAction()
{
    QFETCH(QString, language);
    QFETCH(int, checked);
    QFETCH(QLocale, locale);
    sw->setLanguage(language);
    QCOMPARE(sw->currentLanguage(), language);
    QCOMPARE(sw->currentLocale(), locale);
    const QList<QAction *> actions = sw->actions();
    for (int i = 0; i < actions.size(); ++i)
        QCOMPARE(actions.at(i)->isChecked(), i == checked);
}

void TestTranslationSwitch::loadsTheTranslations()
{
    sw->setLanguage("ru");
    QCOMPARE(sw->actions().at(1)->text(), QString("Русский"));
    QCOMPARE(sw->actions().at(2)->toolTip(), QString("Установить английский язык"));
    // Each language is named in itself, so that a reader of either finds it.
    QCOMPARE(sw->actions().at(2)->text(), QString("English"));
    // The copy action is written in English and travels in the same family.
    QCOMPARE(QCoreApplication::translate("TableCopyAction", "&Copy"), QString("&Копировать"));
    QCOMPARE(QCoreApplication::translate("GraphConfigDialog", "Ось X"), QString("Ось X"));

    sw->setLanguage("en");
    QCOMPARE(sw->actions().at(1)->text(), QString("Русский"));
    QCOMPARE(sw->actions().at(1)->toolTip(), QString("Set russian language"));
    QCOMPARE(sw->actions().at(0)->toolTip(), QString("Set system language"));
    QCOMPARE(QCoreApplication::translate("GraphConfigDialog", "Ось X"), QString("X axis"));
    QCOMPARE(QCoreApplication::translate("MesValStateWidget", "Обрыв"), QString("Open circuit"));
}

void TestTranslationSwitch::loadsQtsOwnTranslation()
{
    // Qt's qt_ru.qm only names the catalogues that hold its texts; it loads
    // only when all of them lie beside it.
    const QString dir = sw->currentTranslationsPath();
    for (const char *part : {"qtbase", "qtscript", "qtmultimedia", "qtxmlpatterns"}) {
        if (!QFile::exists(dir + "/" + part + "_ru.qm"))
            QSKIP(qPrintable(QString("%1_ru.qm, needed by qt_ru.qm, is not in %2").arg(part, dir)));
    }
    sw->setLanguage("ru");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
    sw->setLanguage("en");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
}

void TestTranslationSwitch::setLanguageReinstallsEveryTime()
{
    sw->setLanguage("ru");
    QVERIFY(languageChangesDuring([this] { sw->setLanguage("ru"); }) > 0);
    QVERIFY(languageChangesDuring([this] { sw->setLanguage("ru"); }) > 0);
}

void TestTranslationSwitch::triggeringTheCheckedActionReloadsNothing()
{
    sw->setLanguage("ru");
    QAction *russian = sw->actions().at(1);
    QVERIFY(russian->isChecked());
    QCOMPARE(languageChangesDuring([russian] { russian->trigger(); }), 0);
    QVERIFY(russian->isChecked());
    QCOMPARE(sw->currentLanguage(), QString("ru"));
}

void TestTranslationSwitch::triggeringAnotherActionSwitches()
{
    sw->setLanguage("ru");
    QAction *english = sw->actions().at(2);
    QVERIFY(languageChangesDuring([english] { english->trigger(); }) > 0);
    QCOMPARE(sw->currentLanguage(), QString("en"));
    QVERIFY(english->isChecked());
    QVERIFY(!sw->actions().at(1)->isChecked());
}

void TestTranslationSwitch::defaultLocaleFollows_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("shown");
    QTest::newRow("english") << "en"
                             << "12345.678";
    QTest::newRow("russian") << "ru"
                             << "12345,678";
}

void TestTranslationSwitch::defaultLocaleFollows()
{
    QFETCH(QString, language);
    QFETCH(QString, shown);
    sw->setLanguage(language);
    // Numbers on screen, without group separators.
    QCOMPARE(QLocale().toString(12345.678, 'f', 3), shown);
    QCOMPARE(QLocale().language(), QLocale(language).language());
}

void TestTranslationSwitch::restoreLanguage_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing stored") << QVariant() << "ru";
    QTest::newRow("english") << QVariant("en") << "en";
    QTest::newRow("system") << QVariant("") << "";
    QTest::newRow("russian") << QVariant("ru") << "ru";
    QTest::newRow("unknown code") << QVariant("de") << "ru";
    QTest::newRow("path") << QVariant("../../etc/passwd") << "ru";
    QTest::newRow("list") << QVariant(QStringList{"en", "ru"}) << "ru";
}

void TestTranslationSwitch::restoreLanguage()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, expected);
    QSettings settings;
    settings.remove("QtTranslationSwitch");
    if (stored.isValid())
        settings.setValue("QtTranslationSwitch/language", stored);
    settings.sync();
    sw->setLanguage(expected == "en" ? "ru" : "en");
    sw->restoreLanguage("ru");
    QCOMPARE(sw->currentLanguage(), expected);

    // Only the operator's choice is stored: through the action, not setLanguage.
    settings.remove("QtTranslationSwitch");
    sw->setLanguage("ru");
    QVERIFY(!settings.contains("QtTranslationSwitch/language"));
    sw->actions().at(2)->trigger();
    QCOMPARE(settings.value("QtTranslationSwitch/language").toString(), QString("en"));
    sw->restoreLanguage("ru");
    QCOMPARE(sw->currentLanguage(), QString("en"));
}

QTEST_MAIN(TestTranslationSwitch)
#include "tst_translationswitch.moc"
