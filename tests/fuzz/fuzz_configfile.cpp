// A configuration file (".gm480cfg") as the configuration dialog loads it.
#include "deviceconfig.h"
#include "deviceconfigdialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *dir = nullptr;
int serial = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_configfile";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // a name per input: QSettings caches files by name
    const QString name = dir->filePath(QStringLiteral("c%1.gm480cfg").arg(++serial));
    {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    DeviceConfig cfg;
    const DeviceConfig before;
    const DeviceConfigDialog::ConfigFileResult r = DeviceConfigDialog::readConfigFile(name, &cfg);
    if (r != DeviceConfigDialog::ConfigFileRead && cfg.adcFreq != before.adcFreq)
        std::abort();   // a refused file changes nothing
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly) || f.readAll() != QByteArray(reinterpret_cast<const char *>(data), int(size)))
        std::abort();   // and is never changed itself
    f.close();
    QFile::remove(name);
    return 0;
}
