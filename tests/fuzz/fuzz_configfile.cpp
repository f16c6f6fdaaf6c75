// A configuration file (".gm480cfg") as the configuration dialog loads it.
#include "deviceconfig.h"
#include "deviceconfigdialog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

// Kept in globals, so that LeakSanitizer sees them reachable at the end.
QCoreApplication *app = nullptr;
QTemporaryDir *dir = nullptr;
int serial = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_configfile";
    static char *argv[] = {name, nullptr};
    app = new QCoreApplication(argc, argv);
    std::atexit([] { delete app; });
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // In memory where there is a tmpfs: the mend's atomic writes sync to disk,
    // which would otherwise take most of the time of an input.
    dir = QDir(QStringLiteral("/dev/shm")).exists()
              ? new QTemporaryDir(QStringLiteral("/dev/shm/grv480-fuzz-XXXXXX"))
              : new QTemporaryDir;
    std::atexit([] { delete dir; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One name, each version with a modification time of its own: QSettings
    // caches parsed files by name and notices a rewrite by size and time.
    const QString name = dir->filePath(QStringLiteral("config.gm480cfg"));
    {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
        f.flush();
        f.setFileTime(QDateTime::fromMSecsSinceEpoch(qint64(++serial) * 1000),
                      QFileDevice::FileModificationTime);
    }
    DeviceConfig cfg;
    const DeviceConfig before;
    const DeviceConfigDialog::ConfigFileResult r = DeviceConfigDialog::readConfigFile(name, &cfg);
    if (r != DeviceConfigDialog::ConfigFileRead && cfg.adcFreq != before.adcFreq)
        std::abort(); // a refused file changes nothing
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly) ||
        f.readAll() != QByteArray(reinterpret_cast<const char *>(data), int(size)))
        std::abort(); // and is never changed itself
    f.close();
    QFile::remove(name);
    return 0;
}
