#ifndef HEADLESSRECORDING_H
#define HEADLESSRECORDING_H

#include "datablockprocessor.h"
#include "grv480api.h"
#include "measurementrecorder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <cstdio>

class GRV480RecvThread;
class DeviceConfig;

// grv480-record: one module, one configuration, a given measured time into an
// HDF5 recording, without a window. The same acquisition thread, processor
// and recorder as the monitor's.
class HeadlessRecording : public QObject
{
    Q_OBJECT

public:
    enum ExitCode { Complete = 0, Failed = 1, UsageError = 2 };

    struct Arguments
    {
        QString crate;
        int slot = -1;
        QVector<int> channels; // 1 to 16; empty: those of the configuration
        QString configFile;
        qint64 durationMs = 0;
        QString out;
        quint16 port = 11111;
        qint64 splitBytes = 0;
        qint64 splitMs = 0;
        bool help = false;
    };

    // "90s", "10m", "2h", "1500ms", a bare number is seconds; -1 when malformed.
    static qint64 parseDuration(const QString &text);
    // "1,2,5" or "3-6,9"; empty on an error, which *error then names.
    static QVector<int> parseChannels(const QString &text, QString *error);
    // "500M", "2G", "1048576"; -1 when malformed.
    static qint64 parseSize(const QString &text);
    // Fills *args from the command line (without the program's name); false
    // with the reason for a usage error.
    static bool parseArguments(const QStringList &argv, quint16 defaultPort, Arguments *args,
                               QString *error);
    static QString usage();

    explicit HeadlessRecording(const Arguments &args, QObject *parent = nullptr);
    ~HeadlessRecording() override;

    // Opens the module and starts recording; false (exit code in exitCode())
    // when it could not begin.
    bool start();
    // Ends the recording early (SIGINT, SIGTERM); finished() follows.
    void interrupt(const QString &why);
    int exitCode() const { return code; }

signals:
    void finished(int exitCode);

private:
    void onBlock(const QSharedPointer<DataBlockProcessor::DataBlock> &block);
    void onAcquisitionEnded();
    void finish(int exitCode, const QString &message, const RunEnd &end);
    void showProgress(bool last);
    bool fail(const QString &message);

    Arguments args;
    TGRV480 handle{};
    bool opened = false;
    DataBlockProcessor processor;
    QThread procThread;
    GRV480RecvThread *recvThread = nullptr;
    MeasurementRecorder recorder;
    QTimer progressTimer;
    std::atomic<qint64> pushedUs{0}; // measured time handed to the recorder
    std::atomic<bool> durationReached{false};
    bool tty = false;
    bool done = false;
    int code = Failed;
    qint64 lastPlainLineMs = 0;
};

#endif // HEADLESSRECORDING_H
