// The crate-server library against the emulator's default scenario.
#include "emulatorprocess.h"

#include "crbapi.h"
#include "grv480api.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

#include <cstring>
#include <fcntl.h>

namespace {
constexpr uint32_t kLoopback = 0x7F000001u;
}

class TestCrbApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void crateList();
    void crateModules_data();
    void crateModules();
    void unknownCrate();
    void wrongConnection();
    void closedAndUninitialised();
    void absentServer();
    void stalledServer();
    void errorTexts();

private:
    EmulatorProcess emu;
};

void TestCrbApi::initTestCase()
{
    QVERIFY(emu.start());
}

void TestCrbApi::crateList()
{
    TCRB svc;
    CRB_Init(&svc);
    QCOMPARE(CRB_OpenSvcControl(&svc, kLoopback, emu.port()), 0);
    char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];
    std::memset(serials, 0x7F, sizeof serials);
    QCOMPARE(CRB_GetCrates(&svc, serials), 0);
    QCOMPARE(CRB_Close(&svc), 0);
    QCOMPARE(QByteArray(serials[0]), QByteArray("CR16-0417"));
    QCOMPARE(QByteArray(serials[1]), QByteArray("CR16-0522"));
    for (int i = 2; i < CRB_MAX_CRATES; ++i)
        QCOMPARE(int(serials[i][0]), 0);
}

void TestCrbApi::crateModules_data()
{
    QTest::addColumn<QByteArray>("crate");
    QTest::addColumn<QVector<int>>("ids");   // 16 slots
    QVector<int> first(16, 0);
    first[2] = GRV480_MODULE_ID;
    first[4] = 0x1234;
    first[6] = GRV480_MODULE_ID;
    QVector<int> second(16, 0);
    second[1] = GRV480_MODULE_ID;
    QTest::newRow("first crate: slots 3 and 7, another type in 5") << QByteArray("CR16-0417") << first;
    QTest::newRow("second crate: slot 2") << QByteArray("CR16-0522") << second;
}

void TestCrbApi::crateModules()
{
    QFETCH(QByteArray, crate);
    QFETCH(QVector<int>, ids);
    TCRB c;
    CRB_Init(&c);
    QCOMPARE(CRB_OpenCrate(&c, kLoopback, emu.port(), 0, crate.constData()), 0);
    uint16_t got[CRB_SLOT_COUNT];
    std::memset(got, 0xFF, sizeof got);
    QCOMPARE(CRB_GetCrateModules(&c, got), 0);
    QCOMPARE(CRB_Close(&c), 0);
    for (int i = 0; i < CRB_SLOT_COUNT; ++i)
        QCOMPARE(int(got[i]), ids[i]);
}

void TestCrbApi::unknownCrate()
{
    TCRB c;
    CRB_Init(&c);
    QCOMPARE(CRB_OpenCrate(&c, kLoopback, emu.port(), 0, "NO-SUCH"), int(CRB_ERR_CRATE_NOT_FOUND));
    uint16_t ids[CRB_SLOT_COUNT];
    QCOMPARE(CRB_GetCrateModules(&c, ids), int(CRB_ERR_NOT_OPENED));
    QCOMPARE(CRB_OpenCrate(&c, kLoopback, emu.port(), 0, ""), int(CRB_ERR_INVALID_PARAM));
    QCOMPARE(CRB_OpenCrate(&c, kLoopback, emu.port(), 0, nullptr), int(CRB_ERR_INVALID_PARAM));
}

void TestCrbApi::wrongConnection()
{
    TCRB c;
    CRB_Init(&c);
    QCOMPARE(CRB_OpenCrate(&c, kLoopback, emu.port(), 0, "CR16-0417"), 0);
    char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];
    QCOMPARE(CRB_GetCrates(&c, serials), int(CRB_ERR_WRONG_CONNECTION));
    CRB_Close(&c);
    CRB_Init(&c);
    QCOMPARE(CRB_OpenSvcControl(&c, kLoopback, emu.port()), 0);
    uint16_t ids[CRB_SLOT_COUNT];
    QCOMPARE(CRB_GetCrateModules(&c, ids), int(CRB_ERR_WRONG_CONNECTION));
    // the connection still works after a refused call
    QCOMPARE(CRB_GetCrates(&c, serials), 0);
    CRB_Close(&c);
}

void TestCrbApi::closedAndUninitialised()
{
    TCRB c;
    std::memset(&c, 0, sizeof c);
    QCOMPARE(CRB_OpenSvcControl(&c, kLoopback, emu.port()), int(CRB_ERR_INVALID_PARAM));
    QCOMPARE(CRB_Close(&c), int(CRB_ERR_INVALID_PARAM));
    CRB_Init(&c);
    char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE];
    QCOMPARE(CRB_GetCrates(&c, serials), int(CRB_ERR_NOT_OPENED));
    QCOMPARE(CRB_Close(&c), 0);
    QCOMPARE(CRB_Close(&c), 0);
    // reopening an open record closes the old connection first
    QCOMPARE(CRB_OpenSvcControl(&c, kLoopback, emu.port()), 0);
    QCOMPARE(CRB_OpenSvcControl(&c, kLoopback, emu.port()), 0);
    QCOMPARE(CRB_GetCrates(&c, serials), 0);
    // initialising an open record closes its connection instead of leaking it
    const int fd = c.socket;
    QVERIFY(fd >= 0);
    QCOMPARE(CRB_Init(&c), 0);
    QCOMPARE(::fcntl(fd, F_GETFD), -1);
    QCOMPARE(CRB_GetCrates(&c, serials), int(CRB_ERR_NOT_OPENED));
    // bytes that only look like an open record are left alone
    TCRB junk;
    std::memset(&junk, 0x5A, sizeof junk);
    junk.magic = c.magic;
    QCOMPARE(CRB_Init(&junk), 0);
    QCOMPARE(CRB_Close(&junk), 0);
}

void TestCrbApi::absentServer()
{
    QTcpServer s;
    QVERIFY(s.listen(QHostAddress::LocalHost));
    const quint16 port = s.serverPort();
    s.close();
    TCRB c;
    CRB_Init(&c);
    QElapsedTimer t;
    t.start();
    QCOMPARE(CRB_OpenSvcControl(&c, kLoopback, port), int(CRB_ERR_CONNECT));
    QCOMPARE(CRB_OpenCrate(&c, kLoopback, port, 0, "CR16-0417"), int(CRB_ERR_CONNECT));
    QVERIFY(t.elapsed() < 1000);
}

void TestCrbApi::stalledServer()
{
    QTcpServer s;   // accepts and never answers
    QVERIFY(s.listen(QHostAddress::LocalHost));
    TCRB c;
    CRB_Init(&c);
    QElapsedTimer t;
    t.start();
    QCOMPARE(CRB_OpenSvcControl(&c, kLoopback, s.serverPort()), int(CRB_ERR_TIMEOUT));
    QVERIFY(t.elapsed() >= 2000);
    QVERIFY(t.elapsed() < 8000);
}

void TestCrbApi::errorTexts()
{
    const QByteArray unknown = GRV480_GetErrorString(-1);
    for (int code : {CRB_ERR_INVALID_PARAM, CRB_ERR_CONNECT, CRB_ERR_TIMEOUT, CRB_ERR_CONNECTION_LOST,
                     CRB_ERR_PROTOCOL, CRB_ERR_NOT_OPENED, CRB_ERR_CRATE_NOT_FOUND,
                     CRB_ERR_WRONG_CONNECTION}) {
        QVERIFY2(QByteArray(GRV480_GetErrorString(code)) != unknown, qPrintable(QString::number(code)));
    }
}

QTEST_GUILESS_MAIN(TestCrbApi)
#include "tst_crbapi.moc"
