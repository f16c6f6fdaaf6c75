#include "emulatorprocess.h"

#include <signal.h>

#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QRegularExpression>

EmulatorProcess::EmulatorProcess(const QString &scenario, const QString &stateDir)
    : m_scenario(scenario), m_stateDir(stateDir)
{
    if (m_stateDir.isEmpty()) {
        m_tempDir.reset(new QTemporaryDir);
        m_stateDir = m_tempDir->path();
    }
}

EmulatorProcess::~EmulatorProcess()
{
    kill();
}

QString EmulatorProcess::scenarioPath(const QString &name)
{
    return QDir(QStringLiteral(GRV480_SCENARIO_DIR)).filePath(name);
}

bool EmulatorProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 EmulatorProcess::pid() const
{
    return m_process ? m_process->processId() : 0;
}

bool EmulatorProcess::suspend()
{
    const qint64 id = pid();
    if (id <= 0 || ::kill(pid_t(id), SIGSTOP) != 0)
        return false;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        bool allStopped = true;
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(id));
        for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
            if (!stat.open(QIODevice::ReadOnly))
                continue;   // the thread has just ended
            // "tid (comm) S ...": the comm may hold spaces and parentheses
            const QByteArray line = stat.readAll();
            const int close = line.lastIndexOf(')');
            if (close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'T') {
                allStopped = false;
                break;
            }
        }
        if (allStopped)
            return true;
        QThread::msleep(1);
    }
    qWarning() << "emulator" << id << "did not stop";
    return false;
}

void EmulatorProcess::resume()
{
    if (const qint64 id = pid())
        ::kill(pid_t(id), SIGCONT);
}

bool EmulatorProcess::start()
{
    return launch(0);
}

bool EmulatorProcess::launch(quint16 port)
{
#ifndef GRV480_EMULATOR_PATH
    Q_UNUSED(port)
    qWarning("EmulatorProcess: the emulator was not built");
    return false;
#else
    kill();
    m_process.reset(new QProcess);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    QStringList args{QStringLiteral("--port"), QString::number(port), QStringLiteral("--state-dir"),
                     m_stateDir};
    if (!m_scenario.isEmpty())
        args << QStringLiteral("--scenario") << m_scenario;
    args << m_extraArgs;
    m_process->start(QStringLiteral(GRV480_EMULATOR_PATH), args);
    if (!m_process->waitForStarted(5000)) {
        qWarning() << "EmulatorProcess: cannot start" << GRV480_EMULATOR_PATH << m_process->errorString();
        m_process.reset();
        return false;
    }
    static const QRegularExpression re(QStringLiteral("listening on [0-9.]+:(\\d+)"));
    QByteArray out;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (!m_process->canReadLine() && !m_process->waitForReadyRead(int(deadline.remainingTime())))
            break;
        while (m_process->canReadLine()) {
            out = m_process->readLine();
            const QRegularExpressionMatch m = re.match(QString::fromUtf8(out));
            if (m.hasMatch()) {
                m_port = quint16(m.captured(1).toUInt());
                return true;
            }
        }
    }
    qWarning() << "EmulatorProcess: no listening line; stderr:" << m_process->readAllStandardError();
    kill();
    return false;
#endif
}

void EmulatorProcess::kill()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

void EmulatorProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

bool EmulatorProcess::restart()
{
    const quint16 old = m_port;
    kill();
    if (old && launch(old))
        return true;
    return launch(0);
}

int EmulatorProcess::fault(const QStringList &args, QString *output) const
{
#ifndef GRV480_CLI_PATH
    Q_UNUSED(args)
    Q_UNUSED(output)
    return -1;
#else
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(GRV480_CLI_PATH),
              QStringList{QStringLiteral("fault")} << args << QStringLiteral("--port")
                                                   << QString::number(m_port));
    if (!cli.waitForFinished(10000)) {
        cli.kill();
        cli.waitForFinished();
        return -1;
    }
    if (output)
        *output = QString::fromUtf8(cli.readAll());
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
#endif
}
