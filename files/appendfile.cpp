#include "appendfile.h"

#include "fileerror.h"
#include "safefilewriter.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AppendFile::~AppendFile()
{
    close();
}

bool AppendFile::open(const QString &path)
{
    close();
    m_path = path;
    m_error.clear();
    const QString reason = SafeFileWriter::checkTarget(path);
    if (!reason.isEmpty()) {
        m_error = reason;
        return false;
    }
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (m_fd < 0)
        return fail(errno);
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode)) {
        // swapped for something else after the check
        ::close(m_fd);
        m_fd = -1;
        m_error = QCoreApplication::translate("SafeFileWriter", "Это не обычный файл");
        return false;
    }
    ::fcntl(m_fd, F_SETFL, O_APPEND);
    m_size = st.st_size;
    m_appended = 0;
    m_dev = quint64(st.st_dev);
    m_ino = quint64(st.st_ino);
    return true;
}

int AppendFile::lastByte() const
{
    if (m_size <= 0)
        return -1;
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    unsigned char c = 0;
    const ssize_t n = ::pread(fd, &c, 1, m_size - 1);
    ::close(fd);
    return n == 1 ? c : -1;
}

bool AppendFile::append(const QByteArray &bytes)
{
    if (m_fd < 0) {
        if (m_error.isEmpty())
            m_error = QCoreApplication::translate("SafeFileWriter", "Файл не открыт");
        return false;
    }
    const SafeFileWriter::FaultInjection fault = SafeFileWriter::faultInjection();
    const qint64 before = m_size;
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    int err = 0;
    while (left > 0) {
        SafeFileWriter::faultReached(m_appended);
        qint64 chunk = left;
        if (fault.kind == SafeFileWriter::FaultInjection::DiskFull) {
            chunk = qMin(chunk, fault.atByte - m_appended);
            if (chunk <= 0) {
                err = ENOSPC;
                break;
            }
        }
        if (fault.midway && fault.midwayAtByte > m_appended)
            chunk = qMin(chunk, fault.midwayAtByte - m_appended);
        const ssize_t n = ::write(m_fd, p, size_t(chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        p += n;
        left -= n;
        m_size += n;
        m_appended += n;
    }
    if (err == 0)
        return true;
    // a partial append is cut off again; what earlier appends wrote stays
    if (m_size > before && ::ftruncate(m_fd, before) == 0) {
        m_appended -= m_size - before;
        m_size = before;
    }
    m_error = fileErrorText(err);
    return false;
}

bool AppendFile::stillSameFile() const
{
    struct stat st;
    return ::stat(QFile::encodeName(m_path).constData(), &st) == 0 && quint64(st.st_dev) == m_dev &&
           quint64(st.st_ino) == m_ino;
}

bool AppendFile::sync()
{
    if (m_fd < 0)
        return false;
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        return fail(errno);
    return true;
}

bool AppendFile::close()
{
    if (m_fd < 0)
        return true;
    const bool synced = sync();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return synced;
}

bool AppendFile::fail(int err)
{
    m_error = fileErrorText(err);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}
