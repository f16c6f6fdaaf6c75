#include "mainwindow.h"
#include "qttranslationswitch.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

static void initResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// For the documentation: with GRV480_SCREENSHOT=file.png the window is grabbed
// into that file after GRV480_SCREENSHOT_DELAY_MS (default 5000) and closed.
void armScreenshot(QWidget *window)
{
    const QString path = qEnvironmentVariable("GRV480_SCREENSHOT");
    if (path.isEmpty())
        return;
    bool ok = false;
    int delayMs = qEnvironmentVariableIntValue("GRV480_SCREENSHOT_DELAY_MS", &ok);
    if (!ok || delayMs < 0)
        delayMs = 5000;
    QTimer::singleShot(delayMs, window, [window, path]() {
        if (!window->grab().save(path))
            qWarning("Cannot write the screenshot %s", qPrintable(path));
        window->close();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QApplication app(argc, argv);
    initResources();
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("norvik.local"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.2"));

    QtTranslationSwitch *translations = QtTranslationSwitch::instance();
    translations->setTranslationsPath(QStringLiteral("translations"));
    translations->setLanguage(QStringLiteral("ru"));

    MainWindow window;
    window.show();
    armScreenshot(&window);
    return app.exec();
}
