#include "startupoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstring>

#ifndef GRV480_INSTALLED_TRANSLATIONS
#define GRV480_INSTALLED_TRANSLATIONS "../share/grv480-monitor/translations"
#endif

namespace {

const char *const InformationOptions[] = {"-h", "--help", "-?", "--help-all", "-v", "--version"};

} // namespace

StartupOptions parseStartupOptions(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Monitor of the GRV480 bridge-measurement module: finds the module through the "
                "crate server, configures it and shows all sixteen channels live.\n"
                "The crate server is expected on 127.0.0.1, port 11111; the environment variable "
                "GRV480_SERVER_PORT names another port."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    StartupOptions result;
    if (!parser.parse(args)) {
        result.action = StartupOptions::Fail;
        result.text = parser.errorText();
    } else if (parser.isSet(help)) {
        result.action = StartupOptions::ShowHelp;
        result.text = parser.helpText();
    } else if (parser.isSet(version)) {
        result.action = StartupOptions::ShowVersion;
        result.text = QCoreApplication::applicationName() + QLatin1Char(' ')
                      + QCoreApplication::applicationVersion() + QLatin1Char('\n');
    } else if (!parser.positionalArguments().isEmpty()) {
        result.action = StartupOptions::Fail;
        result.text = QCoreApplication::translate("main", "Unexpected argument '%1'.")
                          .arg(parser.positionalArguments().constFirst());
    }
    if (result.action == StartupOptions::Fail) {
        const QString program = args.isEmpty() ? QString() : QFileInfo(args.constFirst()).fileName();
        result.text += QLatin1Char('\n')
                       + QCoreApplication::translate("main", "Try '%1 --help'.").arg(program)
                       + QLatin1Char('\n');
    }
    return result;
}

bool asksForInformation(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *opt : InformationOptions) {
            if (std::strcmp(argv[i], opt) == 0)
                return true;
        }
    }
    return false;
}

QString translationsDirectory(const QString &appDir)
{
    const QString beside = QStringLiteral("translations");
    if (QFileInfo(QDir(appDir).filePath(beside)).isDir())
        return beside;
    return QDir::cleanPath(QDir(appDir).filePath(QStringLiteral(GRV480_INSTALLED_TRANSLATIONS)));
}
