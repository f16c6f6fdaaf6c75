#include "monitorprocess.h"

#include <QDebug>
#include <QTcpServer>
#include <QTest>

#include <signal.h>

MonitorProcess::MonitorProcess(const QString &configHome)
    : m_home(configHome)
{
}

MonitorProcess::~MonitorProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool MonitorProcess::start()
{
    quint16 freePort = 0;
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        freePort = probe.serverPort();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", m_home);
    env.insert("GRV480_SERVER_PORT", QString::number(freePort));
    m_process.setProcessEnvironment(env);
    m_process.start(QStringLiteral(GRV480_BIN_DIR "/grv480-monitor"), QStringList());
    if (!m_process.waitForStarted())
        return false;
    QTest::qWait(1500);
    return m_process.state() == QProcess::Running;
}

bool MonitorProcess::endWith(int signalNumber)
{
    ::kill(pid_t(m_process.processId()), signalNumber);
    if (!m_process.waitForFinished(10000)) {
        qWarning() << "the monitor did not end after signal" << signalNumber;
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}
