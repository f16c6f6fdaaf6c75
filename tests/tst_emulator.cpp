// The emulator as a server: it survives what clients send, releases a module
// when its client dies, refuses bad scenarios, and keeps its flash safely.
#include "emulatorprocess.h"
#include "moduletestutil.h"

#include "crbapi.h"
#include "grv480api.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <thread>
#include <memory>
#include <sys/stat.h>

using namespace moduletest;

namespace {

// The wire format, as a foreign client would write it.
constexpr uint32_t kMagic = 0x34385647u;

QByteArray message(uint16_t type, const QByteArray &payload)
{
    QByteArray m(12, 0);
    const uint32_t len = uint32_t(payload.size());
    std::memcpy(m.data(), &kMagic, 4);
    std::memcpy(m.data() + 4, &type, 2);
    std::memcpy(m.data() + 8, &len, 4);
    return m + payload;
}

QByteArray hello(uint32_t kind, const char *crate = "", uint16_t slot = 0, uint32_t version = 1)
{
    char p[28] = {};
    std::memcpy(p, &version, 4);
    std::memcpy(p + 4, &kind, 4);
    std::strncpy(p + 8, crate, 15);
    std::memcpy(p + 24, &slot, 2);
    return message(1, QByteArray(p, sizeof p));
}

bool listingWorks(quint16 port)
{
    TCRB c;
    CRB_Init(&c);
    if (CRB_OpenSvcControl(&c, kLoopback, port) != 0)
        return false;
    char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];
    const bool ok = CRB_GetCrates(&c, serials) == 0 && serials[0][0] != 0;
    CRB_Close(&c);
    return ok;
}

struct Handle
{
    Handle() : h(new TGRV480) { GRV480_Init(h.get()); }
    ~Handle() { GRV480_Close(h.get()); }
    TGRV480 *get() { return h.get(); }
    TGRV480 *operator->() { return h.get(); }
    std::unique_ptr<TGRV480> h;
};

// A FIFO nobody writes to: opening it for reading would wait for ever.
QString fifoPath()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scenario.fifo"));
    if (!QFileInfo::exists(path))
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
    return path;
}

QByteArray runEmulator(const QStringList &args, int *exitCode)
{
    QProcess p;
    p.start(QStringLiteral(GRV480_EMULATOR_PATH), args);
    p.waitForFinished(5000);
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput() + p.readAllStandardError();
}

} // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void survivesBadClients_data();
    void survivesBadClients();
    void silentClientDropped();
    void quietConnectionsClosed_data();
    void quietConnectionsClosed();
    void floodOfUnreadRequests();
    void hostileConnectionsLockNobodyOut_data();
    void hostileConnectionsLockNobodyOut();
    void faultBoardStaysSmall();
    void serverValidatesToo();
    void killedClientReleasesModule();
    void twoModulesAtOnce();
    void stalledDuringAcquisition();
    void damagedFlash();
    void killDuringFlashWrites();
    void commandLine_data();
    void commandLine();
    void defaultScenarioIsBuiltIn();
    void replaysIdentically();
    void scheduledEvents_data();
    void settlesAndTakesItsTime();
    void scheduledEvents();

private:
    EmulatorProcess emu;
};

void TestEmulator::initTestCase()
{
    QVERIFY(emu.start());
    QVERIFY(listingWorks(emu.port()));
}

void TestEmulator::survivesBadClients_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("dropped");   // the server closes this connection itself
    QByteArray noise(4096, 0);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 131 + 7);
    QTest::newRow("noise") << noise << true;
    QTest::newRow("wrong magic") << QByteArray("GET / HTTP/1.0\r\n\r\n") << true;
    QByteArray huge = message(1, QByteArray());
    const uint32_t len = 0x7FFFFFFF;
    std::memcpy(huge.data() + 8, &len, 4);
    QTest::newRow("length beyond the cap") << huge << true;
    QTest::newRow("hello of the wrong size") << message(1, QByteArray(5, 'x')) << true;
    QTest::newRow("wrong protocol version") << hello(1, "", 0, 99) << true;
    QTest::newRow("request before hello") << message(2, QByteArray()) << true;
    QTest::newRow("unknown request") << hello(1) + message(77, QByteArray()) << true;
    QTest::newRow("second hello") << hello(1) + hello(1) << true;
    QTest::newRow("module request on a crate connection") << hello(2, "CR16-0417") + message(12, QByteArray()) << true;
    QTest::newRow("set-adc of the wrong size") << hello(3, "CR16-0522", 2) + message(10, QByteArray(100, 0)) << true;
    QTest::newRow("truncated message") << hello(1) + message(2, QByteArray()).left(7) << false;
}

void TestEmulator::survivesBadClients()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, dropped);
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, emu.port());
    QVERIFY(s.waitForConnected(3000));
    s.write(bytes);
    QVERIFY(s.waitForBytesWritten(3000));
    if (dropped) {
        QElapsedTimer t;
        t.start();
        while (s.state() == QAbstractSocket::ConnectedState && t.elapsed() < 3000) {
            s.waitForReadyRead(100);
            s.readAll();
        }
        QCOMPARE(s.state(), QAbstractSocket::UnconnectedState);
    } else {
        s.abort();   // gone in the middle of a message
    }
    QVERIFY(listingWorks(emu.port()));
    // a module a dropped client may have opened is free again
    Handle h;
    int st = -1;
    for (int i = 0; i < 50 && st != 0; ++i) {
        st = GRV480_Open(h.get(), kLoopback, emu.port(), "CR16-0522", 2);
        if (st)
            QTest::qWait(20);
    }
    QCOMPARE(st, 0);
}

void TestEmulator::silentClientDropped()
{
    // a client that connects and says nothing does not hold a thread forever
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, emu.port());
    QVERIFY(s.waitForConnected(3000));
    QElapsedTimer t;
    t.start();
    while (s.state() == QAbstractSocket::ConnectedState && t.elapsed() < 8000)
        s.waitForReadyRead(200);
    QCOMPARE(s.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(t.elapsed() < 7000);
}

namespace {

qint64 residentKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Waits until the emulator has closed the connection; the time it took, or -1.
qint64 closedWithin(QTcpSocket &s, int ms)
{
    QElapsedTimer t;
    t.start();
    while (s.state() == QAbstractSocket::ConnectedState && t.elapsed() < ms) {
        s.waitForReadyRead(50);
        s.readAll();
    }
    return s.state() == QAbstractSocket::ConnectedState ? -1 : t.elapsed();
}

} // namespace

// A connection that holds no module and says nothing more, or that leaves a
// message half sent, is closed after its limit; one that holds a module is not.
void TestEmulator::quietConnectionsClosed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closed");

    QTest::newRow("service, quiet") << hello(1) << true;
    QTest::newRow("crate, quiet") << hello(2, "CR16-0417") << true;
    QTest::newRow("unfinished message") << hello(1) + message(2, QByteArray()).left(7) << true;
    QTest::newRow("module, quiet") << hello(3, "CR16-0522", 2) << false;
}

void TestEmulator::quietConnectionsClosed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closed);
    EmulatorProcess own;
    own.setExtraArguments({"--idle-limit", "700"});
    QVERIFY(own.start());
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, own.port());
    QVERIFY(s.waitForConnected(3000));
    s.write(bytes);
    QVERIFY(s.waitForBytesWritten(3000));
    const qint64 after = closedWithin(s, 2500);
    if (closed)
        QVERIFY2(after >= 500, qPrintable(QString::number(after)));
    else
        QCOMPARE(after, qint64(-1));
}

// Requests sent back to back while no reply is read: the emulator stops the
// client at its queue bound instead of growing, and serves the others.
void TestEmulator::floodOfUnreadRequests()
{
    EmulatorProcess own;
    QVERIFY(own.start());
    const qint64 before = residentKb(own.pid());
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, own.port());
    QVERIFY(s.waitForConnected(3000));
    s.setReadBufferSize(1);  // read nothing: the replies pile up at the emulator
    s.write(hello(1));
    QByteArray batch;
    for (int i = 0; i < 4096; ++i)
        batch += message(2, QByteArray());
    QElapsedTimer t;
    t.start();
    while (s.state() == QAbstractSocket::ConnectedState && t.elapsed() < 10000) {
        if (s.bytesToWrite() < batch.size())
            s.write(batch);
        s.waitForBytesWritten(20);
    }
    QCOMPARE(s.state(), QAbstractSocket::UnconnectedState);
    const qint64 peak = residentKb(own.pid());
    qInfo("flood: closed after %lld ms, emulator %lld kB -> %lld kB", t.elapsed(), before, peak);
    // Unbounded, this grows by gigabytes; the queue cap is 16 MiB, and the
    // sanitizer builds' allocator keeps freed blocks in quarantine for a while.
    QVERIFY2(peak - before < 256 * 1024, qPrintable(QStringLiteral("%1 kB -> %2 kB").arg(before).arg(peak)));
    QVERIFY(listingWorks(own.port()));
}

// Every connection taken by clients that said hello and nothing since, or that
// keep asking: one of them makes room, so a real client is served at once.
void TestEmulator::hostileConnectionsLockNobodyOut_data()
{
    QTest::addColumn<bool>("busy");
    QTest::newRow("64 quiet") << false;
    QTest::newRow("64 asking every 100 ms") << true;
}

void TestEmulator::hostileConnectionsLockNobodyOut()
{
    QFETCH(bool, busy);
    EmulatorProcess own;
    QVERIFY(own.start());
    std::vector<std::unique_ptr<QTcpSocket>> hostile;
    for (int i = 0; i < 64; ++i) {
        hostile.emplace_back(new QTcpSocket);
        hostile.back()->connectToHost(QHostAddress::LocalHost, own.port());
        QVERIFY(hostile.back()->waitForConnected(3000));
        hostile.back()->write(hello(1));
        QVERIFY(hostile.back()->waitForBytesWritten(3000));
    }
    QTimer asking;
    QObject::connect(&asking, &QTimer::timeout, [&hostile]() {
        for (auto &s : hostile) {
            s->readAll();
            s->write(message(2, QByteArray()));
        }
    });
    if (busy)
        asking.start(100);
    QTest::qWait(1200);
    QElapsedTimer t;
    t.start();
    QVERIFY(listingWorks(own.port()));
    qInfo("listing with 64 %s connections open: %lld ms", busy ? "busy" : "quiet", t.elapsed());
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
}

// A later set of a key replaces the earlier one, and the list always answers.
void TestEmulator::faultBoardStaysSmall()
{
    EmulatorProcess own;
    own.setExtraArguments({QStringLiteral("--allow-faults")});
    QVERIFY(own.start());
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, own.port());
    QVERIFY(s.waitForConnected(3000));
    s.write(hello(1));
    auto answer = [&s](const QByteArray &command) {
        s.write(message(30, command));
        QByteArray in;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            if (in.size() >= 12) {
                uint32_t len = 0;
                std::memcpy(&len, in.constData() + 8, 4);
                if (in.size() >= int(12 + len))
                    return in.mid(12 + 4, int(len) - 4);
            }
            if (s.waitForReadyRead(100))
                in += s.readAll();
        }
        return QByteArray("<no answer>");
    };
    QVERIFY(s.waitForReadyRead(3000));
    s.readAll(); // the hello's answer
    for (int i = 0; i < 2000; ++i) {
        const QByteArray v = i % 2 ? "fault=open" : "fault=short";
        QCOMPARE(answer("set CR16-0417 3 2 " + v), QByteArray("set\n"));
    }
    const QByteArray list = answer("list");
    QCOMPARE(list, QByteArray("CR16-0417 slot 3 channel 2: fault=open\n"));
}

void TestEmulator::serverValidatesToo()
{
    // a client that skips the library's own checks gets the module's refusal
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, emu.port());
    QVERIFY(s.waitForConnected(3000));
    s.write(hello(3, "CR16-0522", 2));
    TGRV480Config cfg;
    fillConfig(&cfg, {3, 1});
    QByteArray req(reinterpret_cast<const char *>(&cfg), sizeof cfg);
    req += QByteArray(32, 0);
    s.write(message(10, req));
    QByteArray in;
    QElapsedTimer t;
    t.start();
    // hello reply: header + status + module info; then the set-adc reply
    const int helloLen = 12 + 4 + int(sizeof(TGRV480ModuleInfo));
    while (in.size() < helloLen + 12 + 4 && t.elapsed() < 3000) {
        s.waitForReadyRead(100);
        in += s.readAll();
    }
    QVERIFY(in.size() >= helloLen + 16);
    int32_t helloStatus, status;
    std::memcpy(&helloStatus, in.constData() + 12, 4);
    std::memcpy(&status, in.constData() + helloLen + 12, 4);
    QCOMPARE(helloStatus, 0);
    QCOMPARE(status, int32_t(GRV480_ERR_CFG_CHANNEL_ORDER));
}

void TestEmulator::killedClientReleasesModule()
{
#ifndef GRV480_CLI_PATH
    QSKIP("the command-line client was not built");
#else
    QProcess cli;
    cli.start(QStringLiteral(GRV480_CLI_PATH),
              {"acquire", "--crate", "CR16-0417", "--slot", "7", "--seconds", "60", "--port",
               QString::number(emu.port())});
    QVERIFY(cli.waitForStarted(3000));
    // it prints the filter line once the module is configured
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("SPS") && t.elapsed() < 5000) {
        cli.waitForReadyRead(100);
        out += cli.readAllStandardOutput();
    }
    QVERIFY2(out.contains("SPS"), out.constData());
    Handle h;
    int st = GRV480_Open(h.get(), kLoopback, emu.port(), "CR16-0417", 7);
    QCOMPARE(st, int(GRV480_ERR_MODULE_BUSY));
    QTest::qWait(300);
    cli.kill();
    cli.waitForFinished(3000);
    for (int i = 0; i < 100 && st != 0; ++i) {
        st = GRV480_Open(h.get(), kLoopback, emu.port(), "CR16-0417", 7);
        if (st)
            QTest::qWait(20);
    }
    QCOMPARE(st, 0);
    QVERIFY(listingWorks(emu.port()));
#endif
}

void TestEmulator::twoModulesAtOnce()
{
    Handle a, b;
    QCOMPARE(GRV480_Open(a.get(), kLoopback, emu.port(), "CR16-0417", 3), 0);
    QCOMPARE(GRV480_Open(b.get(), kLoopback, emu.port(), "CR16-0417", 7), 0);
    QCOMPARE(QByteArray(a->info.moduleSerial), QByteArray("480-21-0103"));
    QCOMPARE(QByteArray(b->info.moduleSerial), QByteArray("480-21-0117"));
    fillConfig(&a->cfg, {0, 1});
    fillConfig(&b->cfg, {0, 1, 2, 3});
    QCOMPARE(GRV480_SetADC(a.get()), 0);
    QCOMPARE(GRV480_SetADC(b.get()), 0);
    QCOMPARE(GRV480_Start(a.get()), 0);
    QCOMPARE(GRV480_Start(b.get()), 0);
    QVector<uint32_t> wa, wb;
    QCOMPARE(receiveFrames(a.get(), 500, &wa), 0);
    QCOMPARE(receiveFrames(b.get(), 500, &wb), 0);
    QCOMPARE(GRV480_Stop(a.get()), 0);
    QCOMPARE(GRV480_Stop(b.get()), 0);
}

void TestEmulator::stalledDuringAcquisition()
{
    EmulatorProcess own;
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "CR16-0417", 3), 0);
    fillConfig(&h->cfg, {0});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QCOMPARE(GRV480_Start(h.get()), 0);
    QVector<uint32_t> w;
    QCOMPARE(receiveFrames(h.get(), 100, &w), 0);
    QVERIFY(own.suspend());   // alive, connected, silent
    QVector<uint32_t> buf(1 << 20);
    int r = 0;
    QElapsedTimer t;
    t.start();
    // the caller asks with short timeouts: 0 for a while, then an error, never 0 forever
    while (r >= 0 && t.elapsed() < 15000)
        r = GRV480_Recv(h.get(), buf.data(), nullptr, uint32_t(buf.size()), 700);
    own.resume();
    QCOMPARE(r, int(GRV480_ERR_TIMEOUT));
    QVERIFY(t.elapsed() < 8000);
}

void TestEmulator::damagedFlash()
{
    EmulatorProcess own;
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "CR16-0522", 2), 0);
    h->tare[3].offsetValid = 1;
    h->tare[3].offsetCoef = 0.001;
    QCOMPARE(GRV480_WriteTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
    const QString file = QDir(own.stateDir()).filePath("480-22-0009.tare");
    QVERIFY(QFile::exists(file));
    // nothing of the write is left lying about
    QCOMPARE(QDir(own.stateDir()).entryList(QDir::Files).size(), 1);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(100);
    f.write("damaged");
    f.close();
    QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), int(GRV480_ERR_FLASH_READ));
    QCOMPARE(h->tare[3].offsetCoef, 0.001);   // the handle keeps its records
    // writing again replaces the damaged file
    QCOMPARE(GRV480_WriteTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
    QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
    QCOMPARE(h->tare[3].offsetCoef, 0.001);
}

void TestEmulator::killDuringFlashWrites()
{
    // a module that writes its flash at once, so that kills land inside writes
    EmulatorProcess own(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(own.start());
    for (int round = 0; round < 5; ++round) {
        std::atomic<bool> stop{false};
        std::atomic<int> writes{0};
        const quint16 port = own.port();
        std::thread writer([&] {
            Handle h;
            if (GRV480_Open(h.get(), kLoopback, port, "TEST-1", 1) != 0)
                return;
            for (int i = 1; !stop; ++i) {
                for (int ch = 0; ch < GRV480_CHANNEL_COUNT; ++ch) {
                    h->tare[ch].offsetValid = 1;
                    h->tare[ch].offsetCoef = i;
                }
                if (GRV480_WriteTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK) != 0)
                    break;
                ++writes;
            }
        });
        // At least one write done, then a kill at a varying point of a later one;
        // a fixed delay alone misses every write on a loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(writes > 0, 10000);
        QTest::qWait(13 * round);
        own.kill();
        stop = true;
        writer.join();
        QVERIFY(writes > 0);
        QVERIFY(own.restart());
        Handle h;
        QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "TEST-1", 1), 0);
        QCOMPARE(GRV480_ReadTareInfo(h.get(), GRV480_ALL_CHANNELS_MASK), 0);
        // one whole write, never a mixture of two
        for (int ch = 1; ch < GRV480_CHANNEL_COUNT; ++ch)
            QCOMPARE(h->tare[ch].offsetCoef, h->tare[0].offsetCoef);
        QVERIFY(h->tare[0].offsetCoef >= writes);
    }
}

void TestEmulator::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--scenario";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "unknown option";
    QTest::newRow("bad port") << QStringList{"--port", "70000"} << 2 << "bad port";
    QTest::newRow("missing file") << QStringList{"--check", "--scenario", "/nonexistent.ini"} << 3
                                  << "cannot open";
    QTest::newRow("misspelt key") << QStringList{"--check", "--scenario", EmulatorProcess::scenarioPath("bad-unknown-key.ini")}
                                  << 3 << "bad-unknown-key.ini:9: unknown key 'resistence'";
    QTest::newRow("module of an unknown crate") << QStringList{"--check", "--scenario", EmulatorProcess::scenarioPath("bad-crate.ini")}
                                                << 3 << "not listed";
    QTest::newRow("test scenario is valid") << QStringList{"--check", "--scenario", EmulatorProcess::scenarioPath("test-signals.ini")}
                                            << 0 << "valid";
    QTest::newRow("scenario a FIFO") << QStringList{"--check", "--scenario", fifoPath()} << 3
                                     << "not a regular file";
    QTest::newRow("scenario /dev/zero") << QStringList{"--check", "--scenario", "/dev/zero"} << 3
                                        << "not a regular file";
    QTest::newRow("bad listen address") << QStringList{"--listen", "no.such", "--port", "0"} << 5 << "not an IPv4";
}

void TestEmulator::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    int code = -2;
    const QByteArray out = runEmulator(args, &code);
    QCOMPARE(code, exitCode);
    QVERIFY2(out.contains(output.toUtf8()), out.constData());
}

void TestEmulator::defaultScenarioIsBuiltIn()
{
    int code = -1;
    const QByteArray builtIn = runEmulator({"--print-default"}, &code);
    QCOMPARE(code, 0);
    QFile f(EmulatorProcess::scenarioPath("default.ini"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(builtIn, f.readAll());
}

void TestEmulator::replaysIdentically()
{
    QVector<uint32_t> first;
    for (int run = 0; run < 2; ++run) {
        Handle h;
        QCOMPARE(GRV480_Open(h.get(), kLoopback, emu.port(), "CR16-0417", 3), 0);
        fillConfig(&h->cfg, {0, 1, 2});
        QCOMPARE(GRV480_SetADC(h.get()), 0);
        QCOMPARE(GRV480_Start(h.get()), 0);
        QVector<uint32_t> w;
        QCOMPARE(receiveFrames(h.get(), 300, &w), 0);
        QCOMPARE(GRV480_Stop(h.get()), 0);
        if (run == 0)
            first = w;
        else
            QVERIFY(w == first);
    }
}

void TestEmulator::scheduledEvents_data()
{
    QTest::addColumn<QString>("event");    // keys of an [event] of TEST-1 slot 1
    QTest::addColumn<double>("atS");
    QTest::addColumn<int>("linkError");    // 0: the stream goes on
    QTest::addColumn<bool>("saturates");   // from the event's frame on

    QTest::newRow("line opens") << "bridge = 1\nset = fault=open" << 0.1 << 0 << true;
    QTest::newRow("over range, two changes") << "bridge = 1\nset = over_range=yes; sine_mv=1" << 0.05
                                             << 0 << true;
    QTest::newRow("noise only: nothing saturates") << "bridge = 1\nset = noise_uv=3" << 0.05 << 0
                                                   << false;
    QTest::newRow("short stall: the stream catches up") << "link = stall\nduration = 0.3" << 0.1
                                                        << 0 << false;
    QTest::newRow("connection dropped") << "link = drop" << 0.2
                                        << int(GRV480_ERR_CONNECTION_LOST) << false;
    QTest::newRow("crate vanishes") << "link = vanish\nduration = 0.5" << 0.15
                                    << int(GRV480_ERR_CONNECTION_LOST) << false;
}

// A scheduled event acts at frame ceil(at x frame rate) on every run.
void TestEmulator::scheduledEvents()
{
    QFETCH(QString, event);
    QFETCH(double, atS);
    QFETCH(int, linkError);
    QFETCH(bool, saturates);

    QTemporaryDir dir;
    QFile base(EmulatorProcess::scenarioPath("test-signals.ini"));
    QVERIFY(base.open(QIODevice::ReadOnly));
    QFile sc(dir.filePath("events.ini"));
    QVERIFY(sc.open(QIODevice::WriteOnly));
    sc.write(base.readAll() + "\n[event]\ncrate = TEST-1\nslot = 1\nat = "
             + QByteArray::number(atS) + "\n" + event.toUtf8() + "\n");
    sc.close();
    EmulatorProcess own(sc.fileName());
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "TEST-1", 1), 0);
    fillConfig(&h->cfg, {0});
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    const uint32_t due = uint32_t(std::ceil(atS * h->frameFrequency - 1e-9));
    const uint32_t frames = due + 300;
    QCOMPARE(GRV480_Start(h.get()), 0);
    QVector<uint32_t> words;
    const int r = receiveFrames(h.get(), frames, &words);
    if (linkError) {
        QCOMPARE(r, linkError);
        // every frame before the event came, none after (no word of this
        // table is 0, and the buffer was zero-filled)
        int got = 0;
        while (got < words.size() && words[got] != 0)
            ++got;
        QCOMPARE(uint32_t(got), due * h->frameWordCount);
        if (event.contains("vanish")) {
            TCRB svc;
            CRB_Init(&svc);
            QCOMPARE(CRB_OpenSvcControl(&svc, kLoopback, own.port()), 0);
            char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];
            QCOMPARE(CRB_GetCrates(&svc, serials), 0);
            QCOMPARE(QByteArray(serials[0]), QByteArray("TEST-EMPTY"));
            CRB_Close(&svc);
        }
        return;
    }
    QCOMPARE(r, 0);
    QVector<double> v(static_cast<int>(frames));
    QVector<TGRV480ChStatus> cs(1);
    TGRV480FrameStatus fs;
    uint32_t wc = uint32_t(words.size());
    QCOMPARE(GRV480_ProcessData(h.get(), words.data(), v.data(), &wc, 0, &fs, cs.data()), 0);
    int first = -1;
    for (int f = 0; f < v.size() && first < 0; ++f)
        if (v[f] > 0.0349)
            first = f;
    QCOMPARE(first, saturates ? int(due) : -1);
}

// The default module: values rise from rest after a start instead of jumping,
// and configuring it and writing its flash take the time of a real module.
void TestEmulator::settlesAndTakesItsTime()
{
    EmulatorProcess own;
    QVERIFY(own.start());
    Handle h;
    QCOMPARE(GRV480_Open(h.get(), kLoopback, own.port(), "CR16-0417", 3), 0);
    fillConfig(&h->cfg, {3});   // 12.5 mV DC
    QElapsedTimer t;
    t.start();
    QCOMPARE(GRV480_SetADC(h.get()), 0);
    QVERIFY(t.elapsed() >= 30);
    t.restart();
    QCOMPARE(GRV480_WriteTareInfo(h.get(), 0x1), 0);
    QVERIFY(t.elapsed() >= 300);
    QCOMPARE(GRV480_Start(h.get()), 0);
    const uint32_t frames = uint32_t(h->frameFrequency * 0.1);
    QVector<uint32_t> words;
    QCOMPARE(receiveFrames(h.get(), frames, &words), 0);
    QVector<double> v(static_cast<int>(frames));
    QVector<TGRV480ChStatus> cs(1);
    TGRV480FrameStatus fs;
    uint32_t wc = uint32_t(words.size());
    QCOMPARE(GRV480_ProcessData(h.get(), words.data(), v.data(), &wc, 0, &fs, cs.data()), 0);
    QVERIFY2(qAbs(v[0]) < 1e-3, qPrintable(QString::number(v[0])));
    QVERIFY(v[1] > v[0] && v[1] < 12.5e-3);
    QVERIFY2(qAbs(v.last() - 12.5e-3) < 0.2e-3, qPrintable(QString::number(v.last())));
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
