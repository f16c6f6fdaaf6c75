// Word rate of the emulator against the configured one, the emulator's CPU
// use while it streams, and the cost of GRV480_ProcessData on the client.
//
//   bench_emulator [seconds]      (default 8 s per case)
#include "grv480api.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// utime + stime of a process, in seconds
double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const int close = s.lastIndexOf(')');
    const QList<QByteArray> fields = s.mid(close + 2).split(' ');
    // fields after the name: state is index 0, utime 11, stime 12
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

struct Case
{
    const char *name;
    bool single;
    int channels;
    double adcFreq;
    int filterCode;
};

bool runCase(const Case &c, quint16 port, qint64 emuPid, double seconds)
{
    std::unique_ptr<TGRV480> h(new TGRV480);
    GRV480_Init(h.get());
    int err = GRV480_Open(h.get(), 0x7F000001u, port, "CR16-0417", 3);
    if (err) {
        std::printf("open: %s\n", GRV480_GetErrorString(err));
        return false;
    }
    TGRV480Config &cfg = h->cfg;
    cfg.singleChMode = c.single;
    cfg.logicalChannelCount = uint32_t(c.channels);
    for (int i = 0; i < c.channels; ++i)
        cfg.logicalChannels[i].channelIndex = uint8_t(i);
    GRV480_FindSyncFreqDiv(c.adcFreq, &cfg.syncFreqDiv, nullptr);
    cfg.filterType = GRV480_FILTER_SINC5_SINC1;
    cfg.filterOdrCode = c.filterCode;
    cfg.swTimeUs = 0;
    GRV480_FindISrcCode(nullptr, 25.0, &cfg.iSrcCode, nullptr);
    cfg.bgMeasMask = GRV480_BG_ALL;
    cfg.shortRThresh = 10;
    cfg.cableLength = 100;
    cfg.cableCapPerUnit = 150;
    err = GRV480_SetADC(h.get());
    if (err) {
        std::printf("%s: SetADC: %s\n", c.name, GRV480_GetErrorString(err));
        return false;
    }
    const double wordRate = h->frameFrequency * h->frameWordCount;
    const uint32_t fw = h->frameWordCount;
    std::vector<uint32_t> words(size_t(wordRate * (seconds + 1) * 1.2) + 1024);
    GRV480_InitMeasParams(h.get(), GRV480_MEAS_MODE_ACQUISITION, 0, 0);
    err = GRV480_Start(h.get());
    if (err) {
        std::printf("%s: Start: %s\n", c.name, GRV480_GetErrorString(err));
        return false;
    }
    // skip the start-up, then measure a steady stretch; everything is kept,
    // since the conversion needs the stream from its start
    QElapsedTimer warm;
    warm.start();
    size_t got = 0;
    while (warm.elapsed() < 500) {
        const int r = GRV480_Recv(h.get(), words.data() + got, nullptr, uint32_t(words.size() - got), 200);
        if (r < 0)
            return false;
        got += size_t(r);
    }
    const size_t warmWords = got;
    const double cpu0 = cpuSeconds(emuPid);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000 && got < words.size()) {
        const int r = GRV480_Recv(h.get(), words.data() + got, nullptr, uint32_t(words.size() - got), 500);
        if (r < 0) {
            std::printf("%s: Recv: %s\n", c.name, GRV480_GetErrorString(r));
            return false;
        }
        got += size_t(r);
    }
    const double elapsed = t.nsecsElapsed() * 1e-9;
    const double cpu1 = cpuSeconds(emuPid);
    GRV480_Stop(h.get());
    const double measured = double(got - warmWords) / elapsed;

    // conversion cost on the client, on the whole frames that arrived
    const size_t usable = got - got % fw;
    std::vector<double> values(usable / fw * size_t(c.channels));
    std::vector<TGRV480ChStatus> cs(size_t(c.channels));
    TGRV480FrameStatus fs;
    uint32_t wc = uint32_t(usable);
    QElapsedTimer p;
    p.start();
    err = GRV480_ProcessData(h.get(), words.data(), values.data(), &wc, 0, &fs, cs.data());
    const double procSec = p.nsecsElapsed() * 1e-9;
    GRV480_Close(h.get());

    std::printf("%s\n", c.name);
    std::printf("  configured word rate   %12.1f words/s (%u words per frame, %.3f frames/s)\n", wordRate,
                fw, wordRate / fw);
    std::printf("  measured word rate     %12.1f words/s over %.2f s (%+.3f %%)\n", measured, elapsed,
                (measured - wordRate) / wordRate * 100.0);
    std::printf("  emulator CPU           %12.2f %% of one core\n", (cpu1 - cpu0) / elapsed * 100.0);
    if (err)
        std::printf("  ProcessData            error %d: %s\n", err, GRV480_GetErrorString(err));
    else
        std::printf("  ProcessData            %12.2f %% of one core at that rate (%.1f Mwords/s)\n",
                    procSec / (usable / wordRate) * 100.0, usable / procSec / 1e6);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 8.0;
    const QString emulator = QDir(QCoreApplication::applicationDirPath()).filePath("grv480-emulator");
    QTemporaryDir state;
    QProcess emu;
    emu.start(emulator, {"--port", "0", "--state-dir", state.path()});
    if (!emu.waitForStarted(5000) || !emu.waitForReadyRead(5000)) {
        std::printf("cannot start %s\n", qPrintable(emulator));
        return 1;
    }
    const QRegularExpressionMatch m =
        QRegularExpression("listening on [0-9.]+:(\\d+)").match(QString::fromUtf8(emu.readLine()));
    if (!m.hasMatch()) {
        std::printf("emulator did not report its port\n");
        return 1;
    }
    const quint16 port = quint16(m.captured(1).toUInt());
    const Case cases[] = {
        {"single channel, 250000 conversions/s (SINC5+SINC1 code 0)", true, 1, 0, 0},
        {"16 channels, ADC 40000 Hz, all background measurements", false, 16, 40000, 0},
    };
    bool ok = true;
    for (const Case &c : cases)
        ok = runCase(c, port, emu.processId(), seconds) && ok;
    emu.kill();
    emu.waitForFinished(3000);
    return ok ? 0 : 1;
}
