#include "qttranslationswitch.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QSettings>
#include <QTranslator>

static void initTranslationResources()
{
    // The icons live in a static library: without this the linker drops them.
    Q_INIT_RESOURCE(qttrans);
}

static QtTranslationSwitch *theSwitch = nullptr;

static const char SettingsGroup[] = "QtTranslationSwitch";
static const char LanguageKey[] = "language";

static bool isOffered(const QString &name)
{
    return name.isEmpty() || name == QLatin1String("ru") || name == QLatin1String("en");
}

QtTranslationSwitch *QtTranslationSwitch::instance()
{
    if (!theSwitch) {
        theSwitch = new QtTranslationSwitch;
        // Gone with the application object, while its actions and icons can
        // still be destroyed safely.
        qAddPostRoutine([] {
            delete theSwitch;
            theSwitch = nullptr;
        });
    }
    return theSwitch;
}

QtTranslationSwitch::QtTranslationSwitch()
    : group(new QActionGroup(this))
{
    initTranslationResources();
    group->setExclusive(true);
    connect(group, &QActionGroup::triggered, this, &QtTranslationSwitch::onLanguageChanged);

    auto makeAction = [this](const QString &code, const QString &iconPath) {
        auto *action = new QAction(this);
        action->setCheckable(true);
        action->setData(code);
        if (!iconPath.isEmpty())
            action->setIcon(QIcon(iconPath));
        group->addAction(action);
        return action;
    };
    systemAction = makeAction(QString(), QString());
    russianAction = makeAction(QStringLiteral("ru"), QStringLiteral(":/qttrans/lang/ru.png"));
    englishAction = makeAction(QStringLiteral("en"), QStringLiteral(":/qttrans/lang/en.png"));
}

QtTranslationSwitch::~QtTranslationSwitch()
{
    for (Translation *t : qAsConst(translations)) {
        QCoreApplication::removeTranslator(t->translator);
        delete t->translator;
        delete t;
    }
}

void QtTranslationSwitch::setTranslationsPath(const QString &dir)
{
    QString path = dir;
    if (QDir::isRelativePath(path))
        path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + path;
    addTranslation(QStringLiteral("qt"), path);
    translationsPath = path;
    addTranslation(QStringLiteral("qttranslationswitch"));
}

void QtTranslationSwitch::addTranslation(const QString &baseName, const QString &dir)
{
    auto *t = new Translation{new QTranslator, baseName, dir.isEmpty() ? translationsPath : dir};
    translations.append(t);
}

QLocale QtTranslationSwitch::currentLocale() const
{
    return language.isEmpty() ? QLocale::system() : QLocale(language);
}

QList<QAction *> QtTranslationSwitch::actions() const
{
    return {systemAction, russianAction, englishAction};
}

void QtTranslationSwitch::restoreLanguage(const QString &fallback)
{
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    const QVariant stored = settings.value(QLatin1String(LanguageKey));
    // A hand-edited value that names no offered language is ignored.
    const bool usable = stored.userType() == QMetaType::QString && isOffered(stored.toString());
    setLanguage(usable ? stored.toString() : fallback);
}

void QtTranslationSwitch::setLanguage(const QString &name)
{
    language = name;
    const QLocale locale = currentLocale();
    // Before the translators: the widgets that format numbers while they
    // handle the language change then already use the new locale.
    // Without group separators, as numbers in a measuring table are read.
    QLocale numbers = locale;
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::OmitGroupSeparator);
    QLocale::setDefault(numbers);
    // Widgets take the default locale when created; this hands the new one to
    // those that exist (spin boxes redraw their values with it).
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QEvent localeChange(QEvent::LocaleChange);
        QCoreApplication::sendEvent(app, &localeChange);
    }
    for (QAction *action : group->actions()) {
        if (action->data().toString() == name)
            action->setChecked(true);
    }
    for (Translation *t : qAsConst(translations)) {
        QCoreApplication::removeTranslator(t->translator);
        // A missing file leaves the translator empty: the source texts stay.
        (void)t->translator->load(locale, t->baseName, QStringLiteral("_"), t->directory,
                                  QStringLiteral(".qm"));
        QCoreApplication::installTranslator(t->translator);
    }
    retranslateActions();
    emit languageChanged(language);
}

void QtTranslationSwitch::onLanguageChanged(QAction *act)
{
    const QString name = act->data().toString();
    if (name == language)
        return;
    setLanguage(name);
    // Only the operator's choice is remembered, not what start-up sets.
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    settings.setValue(QLatin1String(LanguageKey), name);
}

void QtTranslationSwitch::retranslateActions()
{
    systemAction->setText(tr("System"));
    systemAction->setToolTip(tr("Set system language"));
    russianAction->setText(tr("Russian"));
    russianAction->setToolTip(tr("Set russian language"));
    englishAction->setText(tr("English"));
    englishAction->setToolTip(tr("Set english language"));
}
