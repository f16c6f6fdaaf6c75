#ifndef QTTRANSLATIONSWITCH_H
#define QTTRANSLATIONSWITCH_H

#include <QList>
#include <QLocale>
#include <QObject>

class QAction;
class QActionGroup;
class QTranslator;

// Installs the user interface's translations for one language and offers
// three exclusive actions to choose it: the system language, Russian, English.
class QtTranslationSwitch : public QObject
{
    Q_OBJECT

public:
    static QtTranslationSwitch *instance();
    ~QtTranslationSwitch() override;

    // A relative dir is taken beside the executable. Registers Qt's own
    // translations ("qt") and this switch's ("qttranslationswitch") there.
    void setTranslationsPath(const QString &dir);
    // An empty dir means the translations path.
    void addTranslation(const QString &baseName, const QString &dir = QString());

    // The language last chosen through the actions, else fallback.
    void restoreLanguage(const QString &fallback);

    QString currentLanguage() const { return language; }
    QString currentTranslationsPath() const { return translationsPath; }
    QLocale currentLocale() const;
    void retranslateActions();

    // For a menu or tool bar: the system, Russian and English actions.
    QList<QAction *> actions() const;
    QActionGroup *actionGroup() const { return group; }

public slots:
    // Reinstalls every translator, even for the current language, and makes
    // the language's locale the default one, for the numbers on screen.
    void setLanguage(const QString &name);

signals:
    // After the translators of the new language are installed.
    void languageChanged(const QString &name);

private slots:
    void onLanguageChanged(QAction *act);

private:
    QtTranslationSwitch();

    struct Translation
    {
        QTranslator *translator;
        QString baseName;
        QString directory;
    };

    QString language;
    QString translationsPath;
    QActionGroup *group;
    QAction *systemAction;
    QAction *russianAction;
    QAction *englishAction;
    QList<Translation *> translations;
};

#endif // QTTRANSLATIONSWITCH_H
