#include "monitorprocess.h"
#include "startupoptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void options_data();
    void options();
    void translationsDirectory_data();
    void translationsDirectory();
    void program_data();
    void program();
    void terminationClosesNormally_data();
    void terminationClosesNormally();
};

void TestStartup::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("GRV480 Monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
}

void TestStartup::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("textPart");

    const QString p = QStringLiteral("/usr/bin/grv480-monitor");
    QTest::newRow("none") << QStringList{p} << int(StartupOptions::Run) << 0 << QString();
    QTest::newRow("help") << QStringList{p, "--help"} << int(StartupOptions::ShowHelp) << 0
                          << "GRV480_SERVER_PORT";
    QTest::newRow("-h") << QStringList{p, "-h"} << int(StartupOptions::ShowHelp) << 0 << "--version";
    QTest::newRow("version") << QStringList{p, "--version"} << int(StartupOptions::ShowVersion)
                             << 0 << "GRV480 Monitor 9.8.7";
    QTest::newRow("unknown") << QStringList{p, "--bogus"} << int(StartupOptions::Fail) << 2
                             << "Try 'grv480-monitor --help'.";
    QTest::newRow("unknown before help") << QStringList{p, "--bogus", "--help"}
                                         << int(StartupOptions::Fail) << 2 << "bogus";
    QTest::newRow("stray argument") << QStringList{p, "file.gm480cfg"} << int(StartupOptions::Fail)
                                    << 2 << "file.gm480cfg";
    QTest::newRow("help-all lists Qt's options")
        << QStringList{p, "--help-all"} << int(StartupOptions::ShowHelp) << 0 << "-platform";
    QTest::newRow("Qt options only")
        << QStringList{p, "-platform", "offscreen", "-style=fusion", "-reverse"}
        << int(StartupOptions::Run) << 0 << QString();
    QTest::newRow("Qt option without its value")
        << QStringList{p, "-platform"} << int(StartupOptions::Fail) << 2 << "platform";
    QTest::newRow("unknown single-dash word") << QStringList{p, "-plattform", "xcb"}
                                              << int(StartupOptions::Fail) << 2 << "Unknown option";
}

void TestStartup::options()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(int, exitCode);
    QFETCH(QString, textPart);

    const StartupOptions o = parseStartupOptions(args);
    QCOMPARE(int(o.action), action);
    QCOMPARE(o.exitCode(), exitCode);
    QVERIFY2(o.text.contains(textPart), qPrintable(o.text));
}

void TestStartup::translationsDirectory_data()
{
    QTest::addColumn<QString>("beside");  // what sits at <bin>/translations
    QTest::addColumn<bool>("relative");

    QTest::newRow("build tree") << "dir" << true;
    QTest::newRow("installed") << "" << false;
    QTest::newRow("a file, not a directory") << "file" << false;
}

void TestStartup::translationsDirectory()
{
    QFETCH(QString, beside);
    QFETCH(bool, relative);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath("usr/bin");
    QVERIFY(QDir().mkpath(bin));
    if (beside == "dir")
        QVERIFY(QDir(bin).mkdir("translations"));
    if (beside == "file") {
        QFile f(QDir(bin).filePath("translations"));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    const QString dir = ::translationsDirectory(bin);
    if (relative)
        QCOMPARE(dir, QStringLiteral("translations"));
    else
        QCOMPARE(dir, root.filePath("usr/share/grv480-monitor/translations"));
}

// The real program: answers without a display and never opens a window on a
// bad command line (a window would keep it running past the timeout).
void TestStartup::program_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    QTest::newRow("version, no display") << QStringList{"--version"} << false << 0
                                         << "GRV480 Monitor 1.";
    QTest::newRow("help, no display") << QStringList{"--help"} << false << 0 << "Usage:";
    QTest::newRow("help-all, no display") << QStringList{"--help-all"} << false << 0 << "-platform";
    QTest::newRow("help-all") << QStringList{"--help-all"} << true << 0 << "--version";
    QTest::newRow("unknown option") << QStringList{"--no-such-option"} << true << 2
                                    << "Unknown option 'no-such-option'";
    QTest::newRow("unknown option, no display")
        << QStringList{"--no-such-option"} << false << 2 << "Unknown option 'no-such-option'";
    QTest::newRow("stray argument, no display") << QStringList{"-style", "fusion", "x.gm480cfg"}
                                                << false << 2 << "Unexpected argument 'x.gm480cfg'";
    QTest::newRow("Qt option then help") << QStringList{"-platform", "offscreen", "--help"} << true
                                         << 0 << "Usage:";
}

void TestStartup::program()
{
    QFETCH(QStringList, args);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (display)
        env.insert("QT_QPA_PLATFORM", "offscreen");
    else
        env.remove("QT_QPA_PLATFORM");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(GRV480_BIN_DIR "/grv480-monitor"), args);
    QVERIFY(p.waitForStarted());
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished();
        QFAIL("the program did not exit");
    }
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exitCode);
    const QString all = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    QVERIFY2(all.contains(output), qPrintable(all));
}

// A terminated monitor saves its state like a closed one, also while its
// start-up waits in the box that says the crate server is absent.
void TestStartup::terminationClosesNormally_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestStartup::terminationClosesNormally()
{
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    MonitorProcess monitor(home.path());
    QVERIFY(monitor.start());
    QVERIFY(monitor.endWith(signalNumber));
    QSettings saved(home.filePath("Norvik/GRV480 Monitor.ini"), QSettings::IniFormat);
    QVERIFY(saved.contains("MainWindow/size"));
    QVERIFY(saved.contains("GRV480MonitorDeviceConfig/AdcFreq"));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
