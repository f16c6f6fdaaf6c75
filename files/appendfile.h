#ifndef APPENDFILE_H
#define APPENDFILE_H

#include <QByteArray>
#include <QString>

// A file that grows by appends (a recording). Appending cannot be atomic, so
// each append is checked whole: a failed one is cut off again where it
// started, the file keeps what earlier appends wrote, and the reason is kept.
// Opening never blocks and refuses what is not a regular file; the file is
// created when missing, never truncated. SafeFileWriter's fault seam applies.
class AppendFile
{
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile &) = delete;
    AppendFile &operator=(const AppendFile &) = delete;

    bool open(const QString &path);
    bool isOpen() const { return m_fd >= 0; }
    QString fileName() const { return m_path; }
    qint64 size() const { return m_size; }
    // The last byte already in the file, -1 when empty or unreadable.
    int lastByte() const;

    // All of bytes, or nothing of them and false.
    bool append(const QByteArray &bytes);
    // Whether the path still leads to the file being written.
    bool stillSameFile() const;
    bool sync();
    bool close(); // false when the final sync failed
    QString errorString() const { return m_error; }

private:
    bool fail(int err);

    QString m_path;
    QString m_error;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_appended = 0; // by this opening: what the fault seam counts
    quint64 m_dev = 0;
    quint64 m_ino = 0;
};

#endif // APPENDFILE_H
