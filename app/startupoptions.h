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

// Parses the whole command line, Qt's own options (-platform, -style ...)
// included, so that it can be judged before any application object exists:
// QApplication aborts without a display, and an answer must not need one.
// The help text is only built while a QCoreApplication exists (it names the
// program through it); without one, ShowHelp comes with an empty text.
StartupOptions parseStartupOptions(const QStringList &args);

// argv as QCoreApplication::arguments() would give it.
QStringList commandLineArguments(int argc, const char *const *argv);

// The translations directory for start-up: the relative "translations" when it
// sits beside the executable in appDir (build tree, unpacked copy), otherwise
// the installed data directory relative to appDir, made absolute.
QString translationsDirectory(const QString &appDir);

#endif // STARTUPOPTIONS_H
