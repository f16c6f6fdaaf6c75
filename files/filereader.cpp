#include "filereader.h"

#include "fileerror.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QMutex hookMutex;
std::function<void(const QString &)> &readHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

QString tooLarge(qint64 size, qint64 maxBytes)
{
    if (size < 0)
        return QCoreApplication::translate("FileReader", "Файл больше допустимых %1 байт")
            .arg(maxBytes);
    return QCoreApplication::translate("FileReader",
                                       "Файл слишком велик: %1 байт, допустимо не более %2")
        .arg(size)
        .arg(maxBytes);
}

bool writeAllTo(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

FileReadResult readRegularFile(const QString &path, qint64 maxBytes)
{
    FileReadResult r;
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is refused below
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        r.error = fileErrorText(errno);
        return r;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        r.error = fileErrorText(errno);
        ::close(fd);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            r.error = fileErrorText(EISDIR);
        else if (S_ISFIFO(st.st_mode))
            r.error =
                QCoreApplication::translate("FileReader", "Это канал (FIFO), а не обычный файл");
        else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            r.error =
                QCoreApplication::translate("FileReader", "Это устройство, а не обычный файл");
        else
            r.error = QCoreApplication::translate("FileReader", "Это не обычный файл");
        ::close(fd);
        return r;
    }
    if (st.st_size > maxBytes) {
        r.error = tooLarge(st.st_size, maxBytes);
        ::close(fd);
        return r;
    }
    // the file may grow while it is read: one byte more than allowed tells
    QByteArray data(int(qMin<qint64>(st.st_size, maxBytes)) + 1, Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == data.size()) {
            if (got > maxBytes)
                break;
            data.resize(int(qMin<qint64>(maxBytes + 1, qMax<qint64>(4096, got * 2))));
        }
        const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.error = fileErrorText(errno);
            ::close(fd);
            return r;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got > maxBytes) {
        r.error = tooLarge(-1, maxBytes);
        return r;
    }
    data.resize(int(got));
    std::function<void(const QString &)> hook;
    {
        QMutexLocker lock(&hookMutex);
        hook = readHook();
    }
    if (hook)
        hook(path);
    r.ok = true;
    r.data = data;
    return r;
}

void setFileReadHook(const std::function<void(const QString &)> &hook)
{
    QMutexLocker lock(&hookMutex);
    readHook() = hook;
}

SettingsCopy::SettingsCopy(const QByteArray &ini)
    : m_dir(new QTemporaryDir())
{
    if (!m_dir->isValid()) {
        m_error = m_dir->errorString();
        return;
    }
    m_fileName = m_dir->filePath(QStringLiteral("settings.ini"));
    const int fd = ::open(QFile::encodeName(m_fileName).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = fileErrorText(errno);
        return;
    }
    const bool written = writeAllTo(fd, ini);
    const int err = errno;
    ::close(fd);
    if (!written) {
        m_error = fileErrorText(err ? err : EIO);
        return;
    }
    m_settings.reset(new QSettings(m_fileName, QSettings::IniFormat));
}

SettingsCopy::~SettingsCopy()
{
    m_settings.reset();
}
