#include "safefilewriter.h"

#include "fileerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QMutex>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char TempMarker[] = ".grv480-tmp.";
const qint64 BufferBytes = 64 * 1024;

// Temporary files of this process that are being written: the only ones of
// our own process id that are not strays.
QMutex liveMutex;
QSet<QString> &liveTemps()
{
    static QSet<QString> set;
    return set;
}

QMutex faultMutex;
QAtomicInt midwayFired;
SafeFileWriter::FaultInjection &currentFault()
{
    static SafeFileWriter::FaultInjection fault = [] {
        SafeFileWriter::FaultInjection f;
        const QByteArray env = qgetenv("GRV480_FILE_FAULT");
        if (env.startsWith("disk-full:")) {
            bool ok = false;
            const qint64 n = env.mid(10).toLongLong(&ok);
            if (ok && n >= 0) {
                f.kind = SafeFileWriter::FaultInjection::DiskFull;
                f.atByte = n;
            }
        } else if (env == "read-only") {
            f.kind = SafeFileWriter::FaultInjection::ReadOnlyFileSystem;
        }
        return f;
    }();
    return fault;
}

SafeFileWriter::FaultInjection faultNow()
{
    QMutexLocker lock(&faultMutex);
    return currentFault();
}

QString notRegularReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return fileErrorText(EISDIR);
    if (S_ISFIFO(mode))
        return QCoreApplication::translate("SafeFileWriter", "Это канал (FIFO), а не обычный файл");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("SafeFileWriter", "Это устройство, а не обычный файл");
    if (S_ISSOCK(mode))
        return QCoreApplication::translate("SafeFileWriter", "Это сокет, а не обычный файл");
    return QCoreApplication::translate("SafeFileWriter", "Это не обычный файл");
}

// The file a path leads to: symlinks followed, even dangling ones, so that
// the link itself stays a link.
QString resolvedPath(const QString &path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(p);
        if (!info.isSymLink())
            return p;
        p = info.symLinkTarget();
    }
    return p;
}

bool processAlive(long pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

// Removes temporary files that no living process writes; returns how many
// there were (only counted when dryRun).
int sweepStrays(const QString &folder, bool dryRun)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return 0;
    int strays = 0;
    const long self = long(::getpid());
    while (dirent *e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        if (!SafeFileWriter::isTemporaryName(name))
            continue;
        const int at = name.lastIndexOf(QLatin1String(TempMarker));
        const QString rest = name.mid(at + int(sizeof TempMarker) - 1);
        bool ok = false;
        const long pid = rest.section(QLatin1Char('.'), 0, 0).toLong(&ok);
        if (!ok || pid <= 0)
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        if (pid == self) {
            QMutexLocker lock(&liveMutex);
            if (liveTemps().contains(path))
                continue;
        } else if (processAlive(pid)) {
            continue;
        }
        ++strays;
        if (!dryRun)
            ::unlink(QFile::encodeName(path).constData());
    }
    ::closedir(dir);
    return strays;
}

bool syncPath(const QString &path, bool folder, int *err)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0) {
        *err = errno;
        return false;
    }
    int rc = ::fsync(fd);
    // some file systems cannot sync a folder; the rename is then as safe as they make it
    if (rc != 0 && folder && (errno == EINVAL || errno == EROFS))
        rc = 0;
    *err = errno;
    ::close(fd);
    return rc == 0;
}

} // namespace

class SafeFileSink : public QIODevice
{
public:
    explicit SafeFileSink(SafeFileWriter *w)
        : m_w(w)
    {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        const qint64 n = m_w->writeBuffered(data, len);
        if (n < 0)
            setErrorString(m_w->errorString());
        return n;
    }

private:
    SafeFileWriter *m_w;
};

SafeFileWriter::SafeFileWriter(const QString &targetPath)
    : m_target(targetPath)
{
}

SafeFileWriter::~SafeFileWriter()
{
    if (!m_committed)
        discard();
    delete m_device;
}

bool SafeFileWriter::isOpen() const
{
    return m_fd >= 0;
}

QString SafeFileWriter::checkTarget(const QString &path, bool mustNotExist)
{
    if (path.isEmpty())
        return fileErrorText(ENOENT);
    const QString target = resolvedPath(path);
    const QString folder = QFileInfo(target).absolutePath();
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return fileErrorText(errno);
    if (!S_ISDIR(st.st_mode))
        return fileErrorText(ENOTDIR);
    if (faultNow().kind == FaultInjection::ReadOnlyFileSystem)
        return fileErrorText(EROFS);
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return fileErrorText(errno);
    if (::stat(QFile::encodeName(target).constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return notRegularReason(st.st_mode);
        if (mustNotExist)
            return fileErrorText(EEXIST);
    } else if (errno != ENOENT) {
        return fileErrorText(errno);
    }
    return QString();
}

bool SafeFileWriter::open()
{
    if (m_fd >= 0)
        return true;
    m_error.clear();
    m_failed = false;
    m_committed = false;
    m_byName = false;
    m_written = 0;
    m_buffer.clear();
    const QString reason = checkTarget(m_target);
    if (!reason.isEmpty())
        return failWith(reason);
    m_resolved = resolvedPath(m_target);
    const QFileInfo info(m_resolved);
    const QString folder = info.absolutePath();
    sweepStrays(folder, false);

    struct stat old;
    const bool replacing = ::stat(QFile::encodeName(m_resolved).constData(), &old) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QLatin1Char('.') + info.fileName() + QLatin1String(TempMarker) +
                             QString::number(::getpid()) + QLatin1Char('.') +
                             QString::number(QRandomGenerator::global()->bounded(1u << 30), 36);
        const QString temp = folder + QLatin1Char('/') + name;
        m_fd = ::open(QFile::encodeName(temp).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (m_fd >= 0) {
            m_temp = temp;
            break;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    if (m_fd < 0)
        return fail(EEXIST);
    {
        QMutexLocker lock(&liveMutex);
        liveTemps().insert(m_temp);
    }
    // the new file keeps the old one's permissions (a private settings file stays private)
    if (replacing)
        (void)::fchmod(m_fd, old.st_mode & 07777);
    return true;
}

QIODevice *SafeFileWriter::device()
{
    if (!m_device)
        m_device = new SafeFileSink(this);
    return m_device;
}

bool SafeFileWriter::write(const QByteArray &bytes)
{
    return writeBuffered(bytes.constData(), bytes.size()) == bytes.size();
}

qint64 SafeFileWriter::writeBuffered(const char *data, qint64 len)
{
    if (m_failed)
        return -1;
    if (m_fd < 0) {
        failWith(QCoreApplication::translate("SafeFileWriter", "Файл не открыт"));
        return -1;
    }
    if (len >= BufferBytes) {
        if (!flushBuffer() || !writeAll(data, len))
            return -1;
        return len;
    }
    m_buffer.append(data, int(len));
    if (m_buffer.size() >= BufferBytes && !flushBuffer())
        return -1;
    return len;
}

bool SafeFileWriter::flushBuffer()
{
    if (m_failed)
        return false;
    if (m_buffer.isEmpty())
        return true;
    const bool ok = writeAll(m_buffer.constData(), m_buffer.size());
    m_buffer.clear();
    return ok;
}

bool SafeFileWriter::writeAll(const char *data, qint64 len)
{
    const FaultInjection fault = faultNow();
    while (len > 0) {
        faultReached(m_written);
        qint64 chunk = len;
        if (fault.kind == FaultInjection::DiskFull) {
            const qint64 room = fault.atByte - m_written;
            if (room <= 0)
                return fail(ENOSPC);
            chunk = qMin(chunk, room);
        }
        if (fault.midway && midwayFired.loadAcquire() == 0 && fault.midwayAtByte > m_written)
            chunk = qMin(chunk, fault.midwayAtByte - m_written);
        const ssize_t n = ::write(m_fd, data, size_t(chunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        m_written += n;
        data += n;
        len -= n;
    }
    return true;
}

QString SafeFileWriter::tempPath()
{
    m_byName = true;
    return m_temp;
}

bool SafeFileWriter::commit()
{
    if (m_committed)
        return true;
    if (m_fd < 0)
        return failWith(m_error.isEmpty()
                            ? QCoreApplication::translate("SafeFileWriter", "Файл не открыт")
                            : m_error);
    if (!flushBuffer()) {
        removeTemp();
        return false;
    }
    int err = 0;
    if (m_byName) {
        // a library wrote by name: it may have replaced the file, so check what is there
        struct stat st;
        if (::lstat(QFile::encodeName(m_temp).constData(), &st) != 0)
            return fail(errno);
        if (!S_ISREG(st.st_mode))
            return failWith(notRegularReason(st.st_mode));
        const FaultInjection fault = faultNow();
        if (fault.kind == FaultInjection::DiskFull && st.st_size > fault.atByte)
            return fail(ENOSPC);
        // whole, not yet renamed: where a kill leaves a library's file behind
        faultReached(st.st_size);
        if (!syncPath(m_temp, false, &err))
            return fail(err);
    }
    if (::fsync(m_fd) != 0)
        return fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return fail(errno);
    // the target may have become something else meanwhile; a rename would replace it
    struct stat st;
    if (::stat(QFile::encodeName(m_resolved).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return failWith(notRegularReason(st.st_mode));
    if (::rename(QFile::encodeName(m_temp).constData(),
                 QFile::encodeName(m_resolved).constData()) != 0)
        return fail(errno);
    {
        QMutexLocker lock(&liveMutex);
        liveTemps().remove(m_temp);
    }
    m_temp.clear();
    m_committed = true;
    if (!syncPath(QFileInfo(m_resolved).absolutePath(), true, &err)) {
        // the new file is in place; only its survival of a power cut is in doubt
        m_error = fileErrorText(err);
        return false;
    }
    return true;
}

void SafeFileWriter::discard()
{
    m_buffer.clear();
    removeTemp();
}

bool SafeFileWriter::fail(int err)
{
    return failWith(fileErrorText(err));
}

bool SafeFileWriter::failWith(const QString &reason)
{
    if (!m_failed || m_error.isEmpty())
        m_error = reason;
    m_failed = true;
    removeTemp();
    return false;
}

void SafeFileWriter::removeTemp()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_temp.isEmpty())
        return;
    ::unlink(QFile::encodeName(m_temp).constData());
    QMutexLocker lock(&liveMutex);
    liveTemps().remove(m_temp);
    m_temp.clear();
}

void SafeFileWriter::setFaultInjection(const FaultInjection &fault)
{
    QMutexLocker lock(&faultMutex);
    currentFault() = fault;
    midwayFired.storeRelease(0);
}

void SafeFileWriter::faultReached(qint64 bytes)
{
    const FaultInjection fault = faultNow();
    // the hook may not come back (a kill), so it runs once per setting
    if (fault.midway && fault.midwayAtByte >= 0 && bytes >= fault.midwayAtByte &&
        midwayFired.testAndSetOrdered(0, 1))
        fault.midway();
}

SafeFileWriter::FaultInjection SafeFileWriter::faultInjection()
{
    return faultNow();
}

int SafeFileWriter::strayTemporaryFiles(const QString &folder)
{
    return sweepStrays(folder, true);
}

bool SafeFileWriter::isTemporaryName(const QString &fileName)
{
    return fileName.startsWith(QLatin1Char('.')) && fileName.contains(QLatin1String(TempMarker));
}
