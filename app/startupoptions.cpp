#include "startupoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef GRV480_INSTALLED_TRANSLATIONS
#define GRV480_INSTALLED_TRANSLATIONS "../share/grv480-monitor/translations"
#endif

namespace {

struct QtOption
{
    const char *name;
    const char *valueName; // null for a switch
    const char *description;
};

// The options QApplication and its platform plugins take from the command line
// (Qt 5.15). They are known here so that the command line can be judged before
// QApplication exists; QApplication itself still acts on them.
const QtOption QtOptions[] = {
    {"platform", "name[:options]", "The platform plugin (xcb, wayland, offscreen ...)."},
    {"platformpluginpath", "path", "Where the platform plugins are."},
    {"platformtheme", "theme", "The platform theme."},
    {"plugin", "plugin", "An additional plugin to load; may be repeated."},
    {"display", "display", "The X display to use (xcb)."},
    {"name", "name", "The application's name for the X server (xcb)."},
    {"qwindowgeometry", "geometry", "The main window's geometry, as 100x100+50+50."},
    {"geometry", "geometry", "The same as --qwindowgeometry (xcb)."},
    {"qwindowtitle", "title", "The main window's title."},
    {"title", "title", "The same as --qwindowtitle (xcb)."},
    {"qwindowicon", "icon", "The default window icon."},
    {"icon", "icon", "The same as --qwindowicon (xcb)."},
    {"style", "style", "The widget style (Fusion, Windows ...)."},
    {"stylesheet", "file", "A style sheet for the application."},
    {"session", "session", "Restore the application from an earlier session."},
    {"qmljsdebugger", "options", "Options of the QML debugger."},
    {"reverse", nullptr, "Lay the window out from right to left."},
    {"widgetcount", nullptr, "Print at the end how many widgets were left."},
    {"testability", nullptr, "Load the testability plugin."},
    {"nograb", nullptr, "Never grab the mouse or the keyboard (xcb)."},
    {"dograb", nullptr, "Grab the mouse and the keyboard even under a debugger (xcb)."},
};

void addQtOptions(QCommandLineParser &parser, bool shown)
{
    for (const QtOption &o : QtOptions) {
        QCommandLineOption option(QString::fromLatin1(o.name), QString::fromLatin1(o.description));
        if (o.valueName)
            option.setValueName(QString::fromLatin1(o.valueName));
        if (!shown)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help;
    QCommandLineOption version;

    explicit Parser(bool qtOptionsShown)
        : help(parser.addHelpOption())
        , version(parser.addVersionOption())
    {
        parser.setApplicationDescription(QCoreApplication::translate(
            "main", "Monitor of the GRV480 bridge-measurement module: finds the module through "
                    "the crate server, configures it and shows all sixteen channels live.\n"
                    "The crate server is expected on 127.0.0.1, port 11111; the environment "
                    "variable GRV480_SERVER_PORT names another port."));
        // Qt spells its options with one dash: -platform is one option, not -p -l -a ...
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        addQtOptions(parser, qtOptionsShown);
    }

    QString helpText() const
    {
        return QCoreApplication::instance() ? parser.helpText() : QString();
    }
};

} // namespace

StartupOptions parseStartupOptions(const QStringList &args)
{
    Parser p(false);
    StartupOptions result;
    if (!p.parser.parse(args)) {
        result.action = StartupOptions::Fail;
        result.text = p.parser.errorText();
    } else if (p.parser.isSet(p.help)) {
        result.action = StartupOptions::ShowHelp;
        result.text = p.helpText();
    } else if (p.parser.isSet(QStringLiteral("help-all"))) {
        result.action = StartupOptions::ShowHelp;
        result.text = Parser(true).helpText();
    } else if (p.parser.isSet(p.version)) {
        result.action = StartupOptions::ShowVersion;
        result.text = QCoreApplication::applicationName() + QLatin1Char(' ')
                      + QCoreApplication::applicationVersion() + QLatin1Char('\n');
    } else if (!p.parser.positionalArguments().isEmpty()) {
        result.action = StartupOptions::Fail;
        result.text = QCoreApplication::translate("main", "Unexpected argument '%1'.")
                          .arg(p.parser.positionalArguments().constFirst());
    }
    if (result.action == StartupOptions::Fail) {
        const QString program = args.isEmpty() ? QString() : QFileInfo(args.constFirst()).fileName();
        result.text += QLatin1Char('\n')
                       + QCoreApplication::translate("main", "Try '%1 --help'.").arg(program)
                       + QLatin1Char('\n');
    }
    return result;
}

QStringList commandLineArguments(int argc, const char *const *argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

QString translationsDirectory(const QString &appDir)
{
    const QString beside = QStringLiteral("translations");
    if (QFileInfo(QDir(appDir).filePath(beside)).isDir())
        return beside;
    return QDir::cleanPath(QDir(appDir).filePath(QStringLiteral(GRV480_INSTALLED_TRANSLATIONS)));
}
