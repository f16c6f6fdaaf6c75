#ifndef MONITORPROCESS_H
#define MONITORPROCESS_H

#include <QProcess>
#include <QString>

// Runs the built monitor as its own process, offscreen, with its settings in
// configHome and a crate-server port that nobody listens on, so that it comes
// up and waits in the box that says the server is absent: the state in which a
// start-up fault shows and in which an operator's signal must still close it.
class MonitorProcess
{
public:
    explicit MonitorProcess(const QString &configHome);
    ~MonitorProcess();

    // Starts it and waits 1.5 s; false when it did not start or has already ended.
    bool start();
    // Sends the signal and waits (10 s at most, then SIGKILL); true when it
    // ended normally with exit code 0.
    bool endWith(int signalNumber);
    QString standardError() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QString m_home;
    QProcess m_process;
};

#endif // MONITORPROCESS_H
