#ifndef EMULATORPROCESS_H
#define EMULATORPROCESS_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// Runs the project's crate-server emulator for a test, on a free port of its
// own, so that tests never collide with each other or with a demo emulator.
class EmulatorProcess
{
public:
    // empty scenario = built-in default; empty stateDir = a private temporary dir
    explicit EmulatorProcess(const QString &scenario = QString(), const QString &stateDir = QString());
    ~EmulatorProcess();

    // Launches GRV480_EMULATOR_PATH with --port 0 and waits (at most 5 s) for
    // its "listening" line; false (with a warning) on failure.
    bool start();
    quint16 port() const { return m_port; }
    void kill();     // SIGKILL, waits for exit
    void stop();     // SIGTERM, waits
    bool restart();  // same port if possible, same state dir
    QString stateDir() const { return m_stateDir; }
    bool isRunning() const;
    qint64 pid() const;
    // SIGSTOP, and returns once the kernel reports every thread stopped (kill()
    // returns before a process running on another core has stopped, and a
    // request sent in that window may still be answered); false after 5 s.
    bool suspend();
    void resume();   // SIGCONT

    // Options added to the command line of the next start (e.g. --allow-faults).
    void setExtraArguments(const QStringList &args) { m_extraArgs = args; }
    // Runs "grv480-cli fault ARGS --port PORT" against this emulator; its
    // exit code (-1 when it could not run), its output in *output.
    int fault(const QStringList &args, QString *output = nullptr) const;

    // Path of a scenario file of the project (platform/scenarios/<name>).
    static QString scenarioPath(const QString &name);

private:
    bool launch(quint16 port);

    QString m_scenario;
    QString m_stateDir;
    std::unique_ptr<QTemporaryDir> m_tempDir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QStringList m_extraArgs;
};

#endif // EMULATORPROCESS_H
