// The command-line client against the emulator: listing, a short
// acquisition and its error exits.
#include "emulatorprocess.h"

#include <QProcess>
#include <QTest>

class TestPlatformCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void run_data();
    void run();

private:
    EmulatorProcess emu{EmulatorProcess::scenarioPath("test-signals.ini")};
};

void TestPlatformCli::initTestCase()
{
#ifndef GRV480_CLI_PATH
    QSKIP("the command-line client was not built");
#endif
    QVERIFY(emu.start());
}

void TestPlatformCli::run_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");   // fragments of the output
    QTest::newRow("list") << QStringList{"list"} << 0
                          << QStringList{"Крейт TEST-1", "Слот  1: 0xC5C5 GRV480", "Слот  4: 0x1234",
                                         "Крейт TEST-EMPTY"};
    QTest::newRow("acquire") << QStringList{"acquire", "--crate", "TEST-1", "--slot", "1", "--channels",
                                            "1,5", "--seconds", "1"}
                             << 0
                             << QStringList{"Модуль T480-0001, версия ПЛИС 21", "Принято слов:", "Uref",
                                            "норма"};
    QTest::newRow("no such crate") << QStringList{"acquire", "--crate", "NOPE", "--slot", "1"} << 1
                                   << QStringList{"Ошибка -10107"};
    QTest::newRow("channels out of order") << QStringList{"acquire", "--crate", "TEST-1", "--slot", "1",
                                                          "--channels", "5,1"}
                                           << 2 << QStringList{"ascending"};
    QTest::newRow("bad option") << QStringList{"list", "--port"} << 2 << QStringList{"Usage"};
    QTest::newRow("fault refused without --allow-faults")
            << QStringList{"fault", "--crate", "TEST-1", "--slot", "1", "--channel", "1", "fault=open"}
            << 1 << QStringList{"--allow-faults"};
    QTest::newRow("fault: a link action names no channel")
            << QStringList{"fault", "--crate", "TEST-1", "--slot", "1", "--channel", "1", "--link", "drop"}
            << 2 << QStringList{"Usage"};
    QTest::newRow("fault: nothing to change") << QStringList{"fault", "--crate", "TEST-1", "--slot", "1"}
                                              << 2 << QStringList{"Usage"};
    QTest::newRow("help") << QStringList{"--help"} << 0 << QStringList{"acquire --crate SERIAL"};
}

void TestPlatformCli::run()
{
#ifdef GRV480_CLI_PATH
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expected);
    if (args.first() != "--help" && !args.contains("--port"))
        args << "--port" << QString::number(emu.port());
    QProcess p;
    p.start(QStringLiteral(GRV480_CLI_PATH), args);
    QVERIFY(p.waitForFinished(15000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QCOMPARE(p.exitCode(), exitCode);
    for (const QString &e : expected)
        QVERIFY2(out.contains(e), qPrintable(out));
#endif
}

QTEST_GUILESS_MAIN(TestPlatformCli)
#include "tst_platformcli.moc"
