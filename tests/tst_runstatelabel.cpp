// The status bar's account of the run, in its words.

#include "runstatelabel.h"

#include <QtTest>

using State = RunStateLabel::State;
Q_DECLARE_METATYPE(State::Mode)

class tst_RunStateLabel : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void describe_data();
    void describe();
    void countsOnlyWhileAcquiring();
};

void tst_RunStateLabel::describe_data()
{
    QTest::addColumn<State::Mode>("mode");
    QTest::addColumn<QString>("module");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QString>("text");

    const QString m = QStringLiteral("Крейт CR16-0417, Слот 3");
    QTest::newRow("1 channel") << State::Acquiring << QString() << 1
                               << "Сбор данных: блок 1234, 1.0 с, 1 канал";
    QTest::newRow("3 channels") << State::Acquiring << QString() << 3
                                << "Сбор данных: блок 1234, 1.0 с, 3 канала";
    QTest::newRow("9 channels") << State::Acquiring << QString() << 9
                                << "Сбор данных: блок 1234, 1.0 с, 9 каналов";
    QTest::newRow("12 channels") << State::Acquiring << QString() << 12
                                 << "Сбор данных: блок 1234, 1.0 с, 12 каналов";
    QTest::newRow("with the module")
        << State::Acquiring << m << 16 << "Сбор данных: блок 1234, 1.0 с, 16 каналов — " + m;
    QTest::newRow("idle") << State::Idle << m << 3 << "Сбор данных остановлен — " + m;
    QTest::newRow("no channel") << State::NoChannel << m << 0
                                << "Ни один канал не выбран, сбор данных не идёт — " + m;
    QTest::newRow("no module, module ignored") << State::NoModule << m << 3 << "Модуль не открыт";
    QTest::newRow("link lost, module ignored")
        << State::LinkLost << m << 3
        << "Связь потеряна: значения устарели; Обновить — Ctrl+Shift+R";
}

void tst_RunStateLabel::describe()
{
    QFETCH(State::Mode, mode);
    QFETCH(QString, module);
    QFETCH(int, channels);
    QFETCH(QString, text);

    State s;
    s.mode = mode;
    s.module = module;
    s.channels = channels;
    s.blockSeconds = 1.0;
    s.block = 1234;
    QCOMPARE(RunStateLabel::describe(s), text);
}

void tst_RunStateLabel::countsOnlyWhileAcquiring()
{
    RunStateLabel label;
    State s;
    s.mode = State::Idle;
    label.setRunState(s);
    label.blockShown();
    QCOMPARE(label.runState().block, 0);
    s.mode = State::Acquiring;
    s.channels = 2;
    s.blockSeconds = 0.5;
    label.setRunState(s);
    label.blockShown();
    label.blockShown();
    QCOMPARE(label.text(), QStringLiteral("Сбор данных: блок 2, 0.5 с, 2 канала"));
    // A lost link is the one state drawn to the eye.
    s.mode = State::LinkLost;
    label.setRunState(s);
    QVERIFY(label.styleSheet().contains("red"));
}

QTEST_MAIN(tst_RunStateLabel)
#include "tst_runstatelabel.moc"
