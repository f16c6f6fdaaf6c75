#ifndef SAFEFILEWRITER_H
#define SAFEFILEWRITER_H

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// One way to write a file: the bytes go to a temporary file beside the target,
// every write and the final flush are checked, the file is synced, renamed
// over the target only when all of it is on disk, and the folder is synced.
// Any failure removes the temporary file and leaves the target as it was;
// errorString() then gives the system's reason in the program's language.
//
// Temporary files are hidden and carry the writing process's id in their name
// (".<name>.grv480-tmp.<pid>.<random>"), so a later write to the same folder
// removes those left by a process that was killed midway.
//
// A symlink as target is written through: the file it leads to is replaced,
// the link stays. A target that exists and is not a regular file (FIFO,
// device, folder) is refused before anything is written; the target itself
// is never opened, so nothing blocks.
class SafeFileWriter
{
public:
    explicit SafeFileWriter(const QString &targetPath);
    ~SafeFileWriter(); // discards unless committed
    SafeFileWriter(const SafeFileWriter &) = delete;
    SafeFileWriter &operator=(const SafeFileWriter &) = delete;

    bool open();
    bool isOpen() const;
    // Buffered; a failed write fails every later one and commit().
    QIODevice *device();
    bool write(const QByteArray &bytes);
    // For libraries that write by file name: write there, then commit().
    QString tempPath();
    bool commit();
    void discard();

    QString targetPath() const { return m_target; }
    QString errorString() const { return m_error; }

    // Empty when a file may be written at path, else the reason: its folder
    // is missing or read-only, it exists and is not a regular file, or it
    // exists at all when mustNotExist.
    static QString checkTarget(const QString &path, bool mustNotExist = false);

    // A test seam, process-wide until replaced by a default FaultInjection.
    // The environment variable GRV480_FILE_FAULT sets it for a child process
    // as "disk-full:<bytes>" or "read-only".
    struct FaultInjection
    {
        enum Kind { None, DiskFull, ReadOnlyFileSystem };
        Kind kind = None;
        qint64 atByte = 0; // DiskFull: the bytes of one file that still fit
        // Runs once when a file reaches midwayAtByte bytes (remove the folder,
        // kill the process). Negative: never.
        std::function<void()> midway;
        qint64 midwayAtByte = -1;
    };
    static void setFaultInjection(const FaultInjection &fault);
    static FaultInjection faultInjection();
    // For writers beside this class (appends): runs the midway hook once a
    // file has reached bytes.
    static void faultReached(qint64 bytes);

    // The number of stray temporary files of dead processes in folder
    // (what the next write there removes).
    static int strayTemporaryFiles(const QString &folder);
    static bool isTemporaryName(const QString &fileName);

private:
    friend class SafeFileSink;
    qint64 writeBuffered(const char *data, qint64 len);
    bool flushBuffer();
    bool writeAll(const char *data, qint64 len);
    bool fail(int err);
    bool failWith(const QString &reason);
    void removeTemp();

    QString m_target;
    QString m_resolved; // the file the target leads to
    QString m_temp;
    QString m_error;
    int m_fd = -1;
    qint64 m_written = 0;
    QByteArray m_buffer;
    bool m_failed = false;
    bool m_byName = false;
    bool m_committed = false;
    QIODevice *m_device = nullptr;
};

#endif // SAFEFILEWRITER_H
