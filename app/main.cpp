#include "mainwindow.h"
#include "qttranslationswitch.h"
#include "reviewwindow.h"
#include "settingsfilecheck.h"
#include "startupoptions.h"
#include "terminationwatcher.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QSettings>
#include <QTimer>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

static void initResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// For the documentation: with GRV480_SCREENSHOT=file.png the window is grabbed
// into that file after GRV480_SCREENSHOT_DELAY_MS (default 5000) and closed.
// With GRV480_SCREENSHOT_REVIEW=recording.h5 that recording is opened in a
// review window, which is grabbed instead (at GRV480_SCREENSHOT_BLOCK).
void armScreenshot(QWidget *window)
{
    const QString recording = qEnvironmentVariable("GRV480_SCREENSHOT_REVIEW");
    if (!recording.isEmpty()) {
        auto *review = new ReviewWindow(window);
        QString error;
        if (review->openFile(recording, &error)) {
            // GRV480_SCREENSHOT_BLOCK counts from 1; the middle block by default.
            bool given = false;
            const int block = qEnvironmentVariableIntValue("GRV480_SCREENSHOT_BLOCK", &given);
            review->showBlockAt(given ? block - 1 : review->review().blockCount() / 2);
            review->show();
            QObject::connect(review, &QObject::destroyed, window, &QWidget::close);
            window = review;
        } else {
            qWarning("Cannot open %s: %s", qPrintable(recording), qPrintable(error));
        }
    }
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

// Also for the documentation: GRV480_SCREENSHOT_PALETTE=dark gives the window
// the palette of a dark desktop, which a virtual X server has none of.
void applyScreenshotPalette()
{
    if (qEnvironmentVariable("GRV480_SCREENSHOT_PALETTE") != QLatin1String("dark"))
        return;
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    dark.setColor(QPalette::Button, QColor(53, 53, 56));
    dark.setColor(QPalette::ButtonText, QColor(220, 220, 220));
    dark.setColor(QPalette::ToolTipBase, QColor(53, 53, 56));
    dark.setColor(QPalette::ToolTipText, QColor(220, 220, 220));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(dark);
}

// Prints what the options ask for and gives the exit code, or -1 to go on.
int answer(const StartupOptions &options)
{
    switch (options.action) {
    case StartupOptions::Run:
        return -1;
    case StartupOptions::Fail:
        std::fputs(qPrintable(options.text), stderr);
        break;
    default:
        std::fputs(qPrintable(options.text), stdout);
        break;
    }
    return options.exitCode();
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/app/grv480-monitor-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef __GLIBC__
    // Blocks of millions of values are allocated and freed once per block, on
    // three threads. With a fixed threshold they always come from the system and
    // go back to it when freed; glibc's own threshold would rise to their size
    // after the first one and keep the freed blocks of every thread's heap.
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
#endif
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvik"));
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("norvik.local"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GRV480_VERSION));

    // Judged before QApplication exists: it aborts without a display, and
    // neither an answer nor a bad command line needs one.
    if (parseStartupOptions(commandLineArguments(argc, argv)).action != StartupOptions::Run) {
        // The help text names the program through the application object.
        QCoreApplication core(argc, argv);
        return answer(parseStartupOptions(core.arguments()));
    }

    // Before the application object exists, or Qt ignores them: the window
    // scales with the desktop, and icons take their @2x pictures there
    // (always so from Qt 6 on).
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);
    initResources();
    QApplication::setWindowIcon(applicationIcon());
    applyScreenshotPalette();
    QGuiApplication::setDesktopFileName(QStringLiteral("local.norvik.grv480monitor"));

    QtTranslationSwitch *translations = QtTranslationSwitch::instance();
    translations->setTranslationsPath(
        translationsDirectory(QCoreApplication::applicationDirPath()));
    translations->addTranslation(QStringLiteral("grv480monitor"));
    // The settings file is mended before the stored language is read: one
    // crafted value in it would abort the start.
    SettingsFileCheck::mendUserSettings();
    translations->restoreLanguage(QStringLiteral("ru"));

    // Watched before the window exists: its construction may already wait in
    // a message box, which a termination closes like any other dialog.
    TerminationWatcher termination;
    MainWindow *windowToClose = nullptr;
    bool terminating = false;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &app,
                     [&windowToClose, &terminating] {
                         terminating = true;
                         closeApplicationWindows(windowToClose);
                     });

    MainWindow window;
    windowToClose = &window;
    if (terminating)
        closeApplicationWindows(&window);
    window.show();
    armScreenshot(&window);
    return app.exec();
}
