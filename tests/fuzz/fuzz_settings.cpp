// The settings file as the monitor reads it at start-up: the raw check and
// its mend first, then the window, plot and configuration groups through the
// same loaders and validators as MainWindow's constructor, then every key of
// the file (QSettings decodes whole sections, so any value may be reached).
#include "deviceconfig.h"
#include "plot.h"
#include "savedstate.h"
#include "settingsfilecheck.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>

#include <cstdint>
#include <cstdlib>

namespace {

// Kept in globals, so that LeakSanitizer sees them reachable at the end.
QApplication *app = nullptr;
QTemporaryDir *dir = nullptr;
QMainWindow *window = nullptr;
QSplitter *splitter = nullptr;
Plot *timePlot = nullptr;
Plot *fftPlot = nullptr;
int serial = 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char *argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    // In memory where there is a tmpfs: the mend's atomic writes sync to disk,
    // which would otherwise take most of the time of an input.
    dir = QDir(QStringLiteral("/dev/shm")).exists()
              ? new QTemporaryDir(QStringLiteral("/dev/shm/grv480-fuzz-XXXXXX"))
              : new QTemporaryDir;
    std::atexit([] { delete dir; });
    window = new QMainWindow;
    window->addToolBar(new QToolBar(QStringLiteral("tools")));
    splitter = new QSplitter;
    splitter->addWidget(new QLabel(QStringLiteral("a")));
    splitter->addWidget(new QLabel(QStringLiteral("b")));
    timePlot = new Plot;
    fftPlot = new Plot;
    // Widgets and the application go before the process does, as in a test's main.
    std::atexit([] {
        delete fftPlot;
        delete timePlot;
        delete splitter;
        delete window;
        delete app;
    });
    // Qt and fontconfig fill their caches on first use; done here, that is
    // not taken for a leak of the first input.
    static const char sample[] = "[MainWindow]\nsize=@Size(640 480)\n[TimePlot]\nx\\min=1\n"
                                 "[GRV480MonitorDeviceConfig]\nAdcFreq=1000\n";
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(sample), sizeof sample - 1);
    static const char hostile[] = "[MainWindow]\nsize=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n";
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(hostile), sizeof hostile - 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One name for every input, so that QSettings' cache of parsed files does
    // not grow; it notices a rewrite by size and modification time, so each
    // version of the file gets a time of its own.
    const QString name = dir->filePath(QStringLiteral("settings.ini"));
    const auto stamp = [&name] {
        QFile f(name);
        if (f.open(QIODevice::ReadWrite))
            f.setFileTime(QDateTime::fromMSecsSinceEpoch(qint64(++serial) * 1000),
                          QFileDevice::FileModificationTime);
    };
    {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    stamp();
    const SettingsFileCheck::Outcome mended = SettingsFileCheck::mendFile(name);
    if (!mended.ok)
        std::abort();
    stamp();
    {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly) ||
            !SettingsFileCheck::hostileEntries(f.readAll()).isEmpty())
            std::abort(); // the mend must leave nothing hostile behind
    }
    {
        QSettings settings(name, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("MainWindow"));
        const QByteArray state = settings.value(QStringLiteral("state")).toByteArray();
        if (SavedState::isMainWindowStateSane(state, 0, 1))
            window->restoreState(state, 0);
        const QSize size =
            SavedState::windowSize(settings.value(QStringLiteral("size")), QSize(700, 700));
        SavedState::windowPos(settings.value(QStringLiteral("pos")), size, QPoint(200, 100));
        const QByteArray split = settings.value(QStringLiteral("ChSplitState")).toByteArray();
        if (SavedState::isSplitterStateSane(split, splitter->count()))
            splitter->restoreState(split);
        for (int r = 0; r < 16; ++r)
            settings.value(QStringLiteral("Ch%1/Visible").arg(r), true).toBool();
        settings.endGroup();

        PlotAxesConfig timeAxes;
        timeAxes.x = {true, 0.0, 1000.0};
        timeAxes.y = {true, 0.0, 25.0};
        timePlot->loadSettings(&settings, QStringLiteral("TimePlot"), &timeAxes);
        PlotAxesConfig fftAxes;
        fftAxes.x = {true, 0.0, 50000.0};
        fftAxes.y = {false, -150.0, 0.0};
        fftPlot->loadSettings(&settings, QStringLiteral("FftPlot"), &fftAxes);

        DeviceConfig config;
        config.loadSettings(settings);
        for (const QString &key : settings.allKeys())
            settings.value(key);
    }
    QFile::remove(name);
    if (!mended.copyName.isEmpty())
        QFile::remove(mended.copyName);
    return 0;
}
