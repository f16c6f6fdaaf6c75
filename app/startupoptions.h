#ifndef STARTUPOPTIONS_H
#define STARTUPOPTIONS_H

#include <QString>
#include <QStringList>

// What the command line asks of a start: run the window, or answer and exit.
struct StartupOptions
{
    enum Action { Run, ShowHelp, ShowVersion, Fail };
    Action action = Run;
    QString text;  // help or version text for stdout, or the error for stderr
    int exitCode() const { return action == Fail ? 2 : 0; }
};

// Parses the program's own options (Qt's are gone from args once QApplication
// has seen them). Needs a QCoreApplication for the help text's program name.
StartupOptions parseStartupOptions(const QStringList &args);

// True when argv asks only for help or the version, which must be answered
// without a display, before any QGuiApplication exists.
bool asksForInformation(int argc, const char *const *argv);

// The translations directory for start-up: the relative "translations" when it
// sits beside the executable in appDir (build tree, unpacked copy), otherwise
// the installed data directory relative to appDir, made absolute.
QString translationsDirectory(const QString &appDir);

#endif // STARTUPOPTIONS_H
