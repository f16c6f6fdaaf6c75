#include "configsnapshot.h"
#include "deviceconfig.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

using BgSlot = void (DeviceConfig::*)(bool);
using BgAccessor = bool (DeviceConfig::*)() const;
Q_DECLARE_METATYPE(BgSlot)
Q_DECLARE_METATYPE(BgAccessor)

namespace {


// Records the model's signals by name, in the order they arrive.
class SignalLog
{
public:
    explicit SignalLog(DeviceConfig *c)
    {
        QObject::connect(c, &DeviceConfig::filterParamsUpdated,
                         [this] { names << "filterParamsUpdated"; });
        QObject::connect(c, &DeviceConfig::adcFreqUpdated, [this] { names << "adcFreqUpdated"; });
        QObject::connect(c, &DeviceConfig::frameParamsChanged,
                         [this] { names << "frameParamsChanged"; });
        QObject::connect(c, &DeviceConfig::ch16ModeChanged, [this] { names << "ch16ModeChanged"; });
        QObject::connect(c, &DeviceConfig::singleChModeChanged,
                         [this] { names << "singleChModeChanged"; });
    }
    QStringList names;
};

int defaultISrcCode()
{
    int32_t code = -1;
    double value = 0;
    GRV480_FindISrcCode(nullptr, 25.0, &code, &value);
    return code;
}

// What the module API says about the configuration's frame tables.
int frameTablesStatus(const DeviceConfig &c)
{
    auto h = std::make_unique<TGRV480>();
    std::memset(h.get(), 0, sizeof(TGRV480));
    c.fillDeviceConfig(h.get());
    return GRV480_FillRawTables(&h->info, &h->cfg, &h->raw);
}

} // namespace

class tst_DeviceConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    int fileNo = 0;

    // A file with the given text, for a QSettings in INI format.
    QString iniFile(const QByteArray &text)
    {
        const QString path = dir.filePath(QString("cfg%1.ini").arg(++fileNo));
        QFile f(path);
        if (!f.open(QFile::WriteOnly) || f.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QStringList loadSection(DeviceConfig &c, const QByteArray &keys)
    {
        QSettings s(iniFile("[GRV480MonitorDeviceConfig]\n" + keys), QSettings::IniFormat);
        return c.loadSettings(s);
    }

private slots:
    void initTestCase();
    void defaultsFromEmptyStore_data();
    void defaultsFromEmptyStore();
    void presets();
    void bgMeasBitsFollowPresetRule_data();
    void bgMeasBitsFollowPresetRule();
    void bgMeasGroupSelection();
    void measTimeFloor_data();
    void measTimeFloor();
    void manualFilterSwitchingTime();
    void channel16ForUref();
    void fillDeviceConfigLogicalChannels();
    void fillDeviceConfigSingleChannelKeepsDivider();
    void singleChannelFrequencyFollowsFilter();
    void signalOrder_data();
    void signalOrder();
    void copyConstructor();
    void roundTrip_data();
    void roundTrip();
    void shortChannelArray();
    void storedGroupName_data();
    void storedGroupName();
    void hasSettings_data();
    void hasSettings();
    void measTimeWrittenAsDouble();
    void malformedValues_data();
    void malformedValues();
};

void tst_DeviceConfig::initTestCase()
{
    QVERIFY(dir.isValid());
}

void tst_DeviceConfig::defaultsFromEmptyStore_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("empty section") << QByteArray("[GRV480MonitorDeviceConfig]\n");
}

void tst_DeviceConfig::defaultsFromEmptyStore()
{
    QFETCH(QByteArray, text);
    DeviceConfig c;
    QSettings s(iniFile(text), QSettings::IniFormat);
    QCOMPARE(c.loadSettings(s), QStringList());

    QCOMPARE(c.iSrcCode, defaultISrcCode());
    QCOMPARE(c.singleChMode(), false);
    QCOMPARE(c.adcFreq, 20000.0);
    QCOMPARE(c.swTimeUs, 10.0);
    QCOMPARE(c.measTime, 1000.0);
    QCOMPARE(c.shortRThresh, 10.0);
    QCOMPARE(c.cableLength, 100.0);
    QCOMPARE(c.cableCapPerUnit, 150.0);
    QCOMPARE(c.bgMeasGroup, DeviceConfig::bgMeasGroups().at(0));
    QCOMPARE(c.bgMeasMask, quint32(0xFFF));
    QCOMPARE(c.filterManualEn, false);
    QCOMPARE(c.filterManualType, 0);
    QCOMPARE(c.filterManualOdr, 1);
    QCOMPARE(c.enabledChannelCount(), 0);
    for (const auto &ch : c.channels)
        QCOMPARE(ch.range, 0);

    // Derived values follow the loaded inputs.
    TGRV480FilterParams expected{};
    double swResult = 0;
    GRV480_FindFilterParams(0, 20000, 10, &expected, &swResult);
    QCOMPARE(c.filterParams.odrCode, expected.odrCode);
    QCOMPARE(c.filterParams.odr, expected.odr);
    QCOMPARE(c.swTimeResultUs, swResult);
}

void tst_DeviceConfig::presets()
{
    const auto groups = DeviceConfig::bgMeasGroups();
    QCOMPARE(groups.size(), 4);
    QCOMPARE(groups.at(0)->name, QString("Все измерения"));
    QCOMPARE(groups.at(0)->mask, 0xFFFu);
    QCOMPARE(groups.at(1)->name, QString("Без проверки обрыва"));
    QCOMPARE(groups.at(1)->mask, 0xD3Fu);
    QCOMPARE(groups.at(2)->name, QString("Разбаланс и ноль"));
    QCOMPARE(groups.at(2)->mask, 0x001u);
    QCOMPARE(groups.at(3)->name, QString("Только разбаланс"));
    QCOMPARE(groups.at(3)->mask, 0x000u);
    QCOMPARE(DeviceConfig::bgMeasGroups(), groups); // the same objects every time

    // The dialog keeps preset pointers in combo-box data; its custom item holds 0.
    DeviceConfig c;
    QVERIFY(QMetaType::type("const DeviceConfig::BgMeasGroup *") != QMetaType::UnknownType);
    const QVariant v = QVariant::fromValue(groups.at(2));
    QCOMPARE(v.value<const DeviceConfig::BgMeasGroup *>(), groups.at(2));
    QCOMPARE(QVariant(0).value<const DeviceConfig::BgMeasGroup *>(),
             static_cast<const DeviceConfig::BgMeasGroup *>(nullptr));
}

void tst_DeviceConfig::bgMeasBitsFollowPresetRule_data()
{
    QTest::addColumn<BgSlot>("slot");
    QTest::addColumn<BgAccessor>("accessor");
    QTest::addColumn<quint32>("bit");
    // clang-format off
    QTest::newRow("0 offs") << &DeviceConfig::setBgMeasOffs << &DeviceConfig::bgMeasOffsEn << 0x001u;
    QTest::newRow("1 uref") << &DeviceConfig::setBgMeasUref << &DeviceConfig::bgMeasUrefEn << 0x002u;
    QTest::newRow("2 uref offs") << &DeviceConfig::setBgMeasUrefOffs << &DeviceConfig::bgMeasUrefOffsEn << 0x004u;
    QTest::newRow("3 vadj") << &DeviceConfig::setBgMeasVadj << &DeviceConfig::bgMeasVadjEn << 0x008u;
    QTest::newRow("4 uneg") << &DeviceConfig::setBgMeasUneg << &DeviceConfig::bgMeasUnegEn << 0x010u;
    QTest::newRow("5 short uref") << &DeviceConfig::setBgMeasCheckShortUref << &DeviceConfig::bgMeasCheckShortUrefEn << 0x020u;
    QTest::newRow("6 open uref") << &DeviceConfig::setBgMeasCheckOpenUref << &DeviceConfig::bgMeasCheckOpenUrefEn << 0x040u;
    QTest::newRow("7 open uneg") << &DeviceConfig::setBgMeasCheckOpenUneg << &DeviceConfig::bgMeasCheckOpenUnegEn << 0x080u;
    QTest::newRow("8 short ux") << &DeviceConfig::setBgMeasCheckShortUx << &DeviceConfig::bgMeasCheckShortUxEn << 0x100u;
    QTest::newRow("9 open ux") << &DeviceConfig::setBgMeasCheckOpenUx << &DeviceConfig::bgMeasCheckOpenUxEn << 0x200u;
    QTest::newRow("10 ux") << &DeviceConfig::setBgMeasUx << &DeviceConfig::bgMeasUxEn << 0x400u;
    QTest::newRow("11 ucm") << &DeviceConfig::setBgMeasUcm << &DeviceConfig::bgMeasUcmEn << 0x800u;
    // clang-format on
}

void tst_DeviceConfig::bgMeasBitsFollowPresetRule()
{
    QFETCH(BgSlot, slot);
    QFETCH(BgAccessor, accessor);
    QFETCH(quint32, bit);

    DeviceConfig c;
    c.setBgMeasGroup(DeviceConfig::bgMeasGroups().at(3)); // "Только разбаланс"
    QSignalSpy spy(&c, &DeviceConfig::frameParamsChanged);
    QVERIFY(spy.isValid());

    (c.*slot)(true);
    QCOMPARE(c.bgMeasMask, 0u);
    QCOMPARE(spy.count(), 0);

    c.setBgMeasGroup(nullptr);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(c.bgMeasMask, 0u); // the custom set starts from the preset's bits
    (c.*slot)(true);
    QCOMPARE(c.bgMeasMask, bit);
    QCOMPARE(spy.count(), 2);
    QVERIFY((c.*accessor)());
    (c.*slot)(true);
    QCOMPARE(spy.count(), 2);

    // Single-channel mode hides the bit but keeps it.
    c.setSingleChMode(true);
    QVERIFY(!(c.*accessor)());
    QCOMPARE(c.bgMeasMask, bit);
    c.setSingleChMode(false);
    QVERIFY((c.*accessor)());

    spy.clear();
    (c.*slot)(false);
    QCOMPARE(c.bgMeasMask, 0u);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!(c.*accessor)());

    // The other eleven slots leave this bit alone.
    c.setBgMeasGroup(DeviceConfig::bgMeasGroups().at(0));
    c.setBgMeasGroup(nullptr);
    (c.*slot)(false);
    QCOMPARE(c.bgMeasMask, 0xFFFu & ~bit);
}

void tst_DeviceConfig::bgMeasGroupSelection()
{
    const auto groups = DeviceConfig::bgMeasGroups();
    DeviceConfig c;
    QSignalSpy spy(&c, &DeviceConfig::frameParamsChanged);

    c.setBgMeasGroup(groups.at(1));
    QCOMPARE(c.bgMeasMask, 0xD3Fu);
    QCOMPARE(spy.count(), 1);
    c.setBgMeasGroup(groups.at(1));
    QCOMPARE(spy.count(), 1);

    // The model never owns the pointer, so one that is not a preset is refused.
    DeviceConfig::BgMeasGroup foreign{"foreign", 0x3};
    c.setBgMeasGroup(&foreign);
    QCOMPARE(c.bgMeasGroup, groups.at(1));
    QCOMPARE(c.bgMeasMask, 0xD3Fu);
    QCOMPARE(spy.count(), 1);
}

void tst_DeviceConfig::measTimeFloor_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<double>("expected");
    QTest::newRow("below") << 50 << 100.0;
    QTest::newRow("negative") << -1 << 100.0;
    QTest::newRow("floor") << 100 << 100.0;
    QTest::newRow("above") << 1500 << 1500.0;
}

void tst_DeviceConfig::measTimeFloor()
{
    QFETCH(int, ms);
    QFETCH(double, expected);
    DeviceConfig c;
    c.setMeasTime(ms);
    QCOMPARE(c.measTime, expected);
}

void tst_DeviceConfig::manualFilterSwitchingTime()
{
    // A manual selector whose multi-channel output rate is 25000 samples/s.
    int type = -1, selector = -1;
    for (int t = 0; t <= 2 && type < 0; ++t) {
        const int last = t == GRV480_FILTER_SINC3 ? 32767 : 20;
        for (int s = 0; s <= last; ++s) {
            TGRV480FilterParams p{};
            if (GRV480_GetFilterOutParams(0, t, s, &p) == 0 && p.odr == 25000) {
                type = t;
                selector = s;
                break;
            }
        }
    }

    DeviceConfig c;
    QSettings s(iniFile(""), QSettings::IniFormat);
    c.loadSettings(s);
    c.setFilterManualParams(type >= 0 ? type : 0, type >= 0 ? selector : 5);
    c.setFilterManualEnabled(true);
    c.setAdcFreq(10000);
    QCOMPARE(c.adcFreq, 10000.0); // an achievable frequency
    QVERIFY(c.filterParams.odr > 0);
    if (type >= 0)
        QCOMPARE(c.swTimeResultUs, 60.0);
    else
        QCOMPARE(c.swTimeResultUs, (1 / 10000.0 - 1 / c.filterParams.odr) * 1e6);

    c.setSingleChMode(true);
    QCOMPARE(c.swTimeResultUs, 0.0);
}

void tst_DeviceConfig::channel16ForUref()
{
    DeviceConfig c;
    QSignalSpy frame(&c, &DeviceConfig::frameParamsChanged);
    QSignalSpy ch16(&c, &DeviceConfig::ch16ModeChanged);

    c.setCh16ForUref(true);
    QCOMPARE(frame.count(), 1);
    QCOMPARE(ch16.count(), 1);
    c.setChannelEnabled(15, true);
    QVERIFY(!c.channels[15].enabled);
    QCOMPARE(frame.count(), 1);
    c.setChannelEnabled(14, true);
    QVERIFY(c.channels[14].enabled);

    c.setCh16ForUref(false);
    QVERIFY(!c.channels[15].enabled);
    QCOMPARE(ch16.count(), 2);
    c.setCh16ForUref(false);
    QCOMPARE(ch16.count(), 2);

    // Switching the mode on takes channel 16 out before anyone is told, so the
    // frame tables computed in reply (as the configuration dialog does) succeed.
    c.setChannelEnabled(15, true);
    QVERIFY(c.channels[15].enabled);
    int tablesStatus = -1;
    connect(&c, &DeviceConfig::frameParamsChanged, [&] { tablesStatus = frameTablesStatus(c); });
    c.setCh16ForUref(true);
    QCOMPARE(tablesStatus, 0);
    QVERIFY(!c.channels[15].enabled);

    // Indexes outside the sixteen channels are ignored, not written.
    frame.clear();
    c.setChannelEnabled(16, true);
    c.setChannelEnabled(-1, true);
    c.setChannelRange(16, 1);
    QCOMPARE(frame.count(), 0);
}

void tst_DeviceConfig::fillDeviceConfigLogicalChannels()
{
    DeviceConfig c;
    QSettings s(iniFile(""), QSettings::IniFormat);
    c.loadSettings(s);
    c.setBgMeasGroup(nullptr);
    c.setBgMeasUref(false);
    c.setChannelEnabled(2, true);
    c.setChannelRange(2, 1);
    c.setChannelEnabled(0, true);
    c.setChannelEnabled(15, true);
    c.setChannelRange(15, 1);
    c.setTareCoefEn(true);
    c.setCableLengt(12.5);
    c.setCableCapPerUnit(80);
    c.setShortCheckRTresh(3.5);
    c.setSwTimeUs(7);

    TGRV480 h;
    std::memset(&h, 0xAB, sizeof h);
    c.fillDeviceConfig(&h);

    QCOMPARE(h.cfg.logicalChannelCount, 3u);
    const int expectedIndex[] = {0, 2, 15};
    const int expectedRange[] = {0, 1, 1};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(int(h.cfg.logicalChannels[i].channelIndex), expectedIndex[i]);
        QCOMPARE(int(h.cfg.logicalChannels[i].rangeCode), expectedRange[i]);
        QCOMPARE(h.cfg.logicalChannels[i].reserved[0], uint8_t(0xAB));
        QCOMPARE(h.cfg.logicalChannels[i].reserved[1], uint8_t(0xAB));
    }
    QCOMPARE(h.cfg.logicalChannels[3].channelIndex, uint8_t(0xAB)); // beyond the count: untouched

    int32_t div = 0;
    GRV480_FindSyncFreqDiv(c.adcFreq, &div, nullptr);
    QCOMPARE(h.cfg.syncFreqDiv, div);
    QCOMPARE(int(h.cfg.singleChMode), 0);
    QCOMPARE(h.cfg.swTimeUs, 7.0);
    QCOMPARE(h.cfg.iSrcCode, c.iSrcCode);
    QCOMPARE(h.cfg.filterType, c.filterParams.type);
    QCOMPARE(h.cfg.filterOdrCode, c.filterParams.odrCode);
    QCOMPARE(int(h.cfg.tareCoefEn), 1);
    QCOMPARE(int(h.cfg.ch16ForUref), 0);
    QCOMPARE(h.cfg.bgMeasMask, 0xFFFu & ~0x002u);
    QCOMPARE(h.cfg.shortRThresh, 3.5);
    QCOMPARE(h.cfg.cableLength, 12.5);
    QCOMPARE(h.cfg.cableCapPerUnit, 80.0);

    QCOMPARE(frameTablesStatus(c), 0); // the module takes what the model writes
    c.fillDeviceConfig(nullptr);       // no handle, nothing written, no crash
}

void tst_DeviceConfig::fillDeviceConfigSingleChannelKeepsDivider()
{
    DeviceConfig c;
    QSettings s(iniFile(""), QSettings::IniFormat);
    c.loadSettings(s);
    c.setChannelEnabled(4, true);
    c.setSingleChMode(true);

    TGRV480 h;
    std::memset(&h, 0, sizeof h);
    h.cfg.syncFreqDiv = 12345;
    c.fillDeviceConfig(&h);
    QCOMPARE(h.cfg.syncFreqDiv, 12345);
    QCOMPARE(int(h.cfg.singleChMode), 1);
    QCOMPARE(h.cfg.bgMeasMask, 0xFFFu); // the mask goes as stored
    QCOMPARE(h.cfg.logicalChannelCount, 1u);
    QCOMPARE(int(h.cfg.logicalChannels[0].channelIndex), 4);
}

void tst_DeviceConfig::singleChannelFrequencyFollowsFilter()
{
    DeviceConfig c;
    QSettings s(iniFile(""), QSettings::IniFormat);
    c.loadSettings(s);
    c.setSingleChMode(true);
    QCOMPARE(c.adcFreq, c.filterParams.odr);

    const double requested = 12345.6;
    c.setAdcFreq(requested);
    QVERIFY(c.filterParams.odr > 0);
    QCOMPARE(c.adcFreq, c.filterParams.odr);
    QVERIFY(c.adcFreq != requested);

    // Manual filter: the chosen rate decides.
    c.setFilterManualParams(GRV480_FILTER_SINC5_SINC1, 9);
    c.setFilterManualEnabled(true);
    TGRV480FilterParams p{};
    GRV480_GetFilterOutParams(1, GRV480_FILTER_SINC5_SINC1, 9, &p);
    QCOMPARE(c.adcFreq, p.odr);
}

void tst_DeviceConfig::signalOrder_data()
{
    QTest::addColumn<bool>("singleCh");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");

    const QString f = "filterParamsUpdated", a = "adcFreqUpdated", fr = "frameParamsChanged",
                  c16 = "ch16ModeChanged", sc = "singleChModeChanged";
    QTest::newRow("setAdcFreq multi") << false << "setAdcFreq" << QStringList{a, f, fr};
    QTest::newRow("setAdcFreq single") << true << "setAdcFreq" << QStringList{f, a, fr};
    QTest::newRow("setAdcFreq same value") << false << "setAdcFreqSame" << QStringList{a, f, fr};
    QTest::newRow("setAdcFreq zero refused") << false << "setAdcFreqZero" << QStringList{};
    QTest::newRow("enter single") << false << "setSingleChMode(true)" << QStringList{f, a, fr, sc};
    QTest::newRow("leave single") << true << "setSingleChMode(false)" << QStringList{a, f, fr, sc};
    QTest::newRow("single unchanged") << true << "setSingleChMode(true)" << QStringList{};
    QTest::newRow("setSwTimeUs multi") << false << "setSwTimeUs" << QStringList{f};
    QTest::newRow("setSwTimeUs single") << true << "setSwTimeUs" << QStringList{f, a};
    QTest::newRow("manual on") << false << "setFilterManualEnabled(true)" << QStringList{f};
    QTest::newRow("manual unchanged") << false << "setFilterManualEnabled(false)" << QStringList{};
    QTest::newRow("manual params, automatic") << false << "setFilterManualParams" << QStringList{};
    QTest::newRow("ch16 on") << false << "setCh16ForUref(true)" << QStringList{fr, c16};
    QTest::newRow("load multi") << false << "loadSettings" << QStringList{fr, f};
    QTest::newRow("load single") << true << "loadSettings" << QStringList{fr, f, a};
    QTest::newRow("load custom set") << false << "loadSettingsCustom" << QStringList{f};
    QTest::newRow("silent setters") << false << "silent" << QStringList{};
}

void tst_DeviceConfig::signalOrder()
{
    QFETCH(bool, singleCh);
    QFETCH(QString, action);
    QFETCH(QStringList, expected);

    DeviceConfig c;
    QSettings s(iniFile(""), QSettings::IniFormat);
    c.loadSettings(s);
    c.setSingleChMode(singleCh);
    SignalLog log(&c);

    if (action == "setAdcFreq")
        c.setAdcFreq(31000);
    else if (action == "setAdcFreqSame")
        c.setAdcFreq(c.adcFreq);
    else if (action == "setAdcFreqZero")
        c.setAdcFreq(0);
    else if (action == "setSingleChMode(true)")
        c.setSingleChMode(true);
    else if (action == "setSingleChMode(false)")
        c.setSingleChMode(false);
    else if (action == "setSwTimeUs")
        c.setSwTimeUs(c.swTimeUs);
    else if (action == "setFilterManualEnabled(true)")
        c.setFilterManualEnabled(true);
    else if (action == "setFilterManualEnabled(false)")
        c.setFilterManualEnabled(false);
    else if (action == "setFilterManualParams")
        c.setFilterManualParams(1, 10);
    else if (action == "setCh16ForUref(true)")
        c.setCh16ForUref(true);
    else if (action.startsWith("loadSettings")) {
        QByteArray keys = singleCh ? "SingleChMode=true\n" : "";
        if (action == "loadSettingsCustom")
            keys += "BgMeasGroup=Custom\nBgMeasMask=3\n";
        loadSection(c, keys);
    } else if (action == "silent") {
        c.setMeasTime(500);
        c.setShortCheckRTresh(2);
        c.setISrcValue(10);
        c.setTareCoefEn(false);
        c.setCableLengt(c.cableLength);
        c.setCableCapPerUnit(c.cableCapPerUnit);
        c.setChannelRange(0, 0);
        c.setChannelEnabled(0, false);
    } else {
        QFAIL("unknown action");
    }
    QCOMPARE(log.names, expected);
}

void tst_DeviceConfig::copyConstructor()
{
    QObject parent;
    DeviceConfig original;
    original.setParent(&parent);
    loadSection(original,
                "SingleChMode=true\nBgMeasGroup=Custom\nBgMeasMask=9\nTareCoefEn=true\n"
                "AdcChannels\\size=2\nAdcChannels\\2\\Enabled=true\nAdcChannels\\2\\Range=1\n");

    DeviceConfig copy(original);
    QCOMPARE(snapshot(copy), snapshot(original));
    QCOMPARE(copy.parent(), static_cast<QObject *>(nullptr));

    // Connections stay with the original.
    int originalSignals = 0;
    connect(&original, &DeviceConfig::frameParamsChanged, [&] { ++originalSignals; });
    copy.setTareCoefEn(false);
    QCOMPARE(originalSignals, 0);
    QCOMPARE(original.tareCoefEn, true);
}

void tst_DeviceConfig::roundTrip_data()
{
    QTest::addColumn<bool>("singleCh");
    QTest::addColumn<int>("preset"); // -1: custom set
    QTest::addColumn<bool>("manual");
    QTest::newRow("multi, custom, automatic filter") << false << -1 << false;
    QTest::newRow("multi, preset 2, manual filter") << false << 2 << true;
    QTest::newRow("single, preset 1, automatic filter") << true << 1 << false;
    QTest::newRow("single, custom, manual filter") << true << -1 << true;
}

void tst_DeviceConfig::roundTrip()
{
    QFETCH(bool, singleCh);
    QFETCH(int, preset);
    QFETCH(bool, manual);

    DeviceConfig c;
    QSettings empty(iniFile(""), QSettings::IniFormat);
    c.loadSettings(empty);
    c.setISrcValue(12.0);
    c.setAdcFreq(32000);
    c.setSwTimeUs(4.25);
    c.setMeasTime(2500);
    c.setTareCoefEn(true);
    c.setCh16ForUref(true);
    c.setBgMeasGroup(nullptr);
    c.setBgMeasOffs(false);
    c.setBgMeasCheckOpenUx(false);
    if (preset >= 0)
        c.setBgMeasGroup(DeviceConfig::bgMeasGroups().at(preset));
    c.setShortCheckRTresh(7.75);
    c.setCableLengt(33.3);
    c.setCableCapPerUnit(99.125);
    c.setFilterManualParams(GRV480_FILTER_SINC3, 77);
    c.setFilterManualEnabled(manual);
    for (int i = 0; i < 16; i += 3) {
        c.setChannelEnabled(i, true);
        c.setChannelRange(i, (i / 3) % 2);
    }
    c.setChannelRange(1, 1);
    c.setSingleChMode(singleCh);

    const QString path = dir.filePath(QString("roundtrip%1.gm480cfg").arg(++fileNo));
    {
        QSettings out(path, QSettings::IniFormat);
        c.saveSettings(out);
        out.sync();
        QCOMPARE(out.status(), QSettings::NoError);
    }
    QSettings in(path, QSettings::IniFormat);
    QVERIFY(DeviceConfig::hasSettings(in));
    DeviceConfig loaded;
    QCOMPARE(loaded.loadSettings(in), QStringList());
    QCOMPARE(snapshot(loaded), snapshot(c));

    // The stored keys keep their historical spelling.
    in.beginGroup("GRV480MonitorDeviceConfig");
    QVERIFY(in.contains("ShortRThreash"));
    QVERIFY(in.contains("CableCapactiyPerUnit"));
    QCOMPARE(in.value("BgMeasGroup").toString(),
             preset >= 0 ? DeviceConfig::bgMeasGroups().at(preset)->name : QString("Custom"));
    QCOMPARE(in.value("AdcChannels/size").toInt(), 16);
}

void tst_DeviceConfig::shortChannelArray()
{
    DeviceConfig c;
    c.setChannelEnabled(9, true); // a previous state must not survive the load
    QByteArray keys = "AdcChannels\\size=4\n";
    for (int i = 1; i <= 6; ++i)
        keys +=
            QString("AdcChannels\\%1\\Enabled=true\nAdcChannels\\%1\\Range=1\n").arg(i).toLatin1();
    loadSection(c, keys);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(c.channels[i].enabled, i < 4);
        QCOMPARE(c.channels[i].range, i < 4 ? 1 : 0);
    }

    // More than sixteen elements: the first sixteen count.
    keys = "AdcChannels\\size=40\n";
    for (int i = 1; i <= 40; ++i)
        keys += QString("AdcChannels\\%1\\Enabled=true\n").arg(i).toLatin1();
    QCOMPARE(loadSection(c, keys), QStringList());
    QCOMPARE(c.enabledChannelCount(), 16);
}

void tst_DeviceConfig::storedGroupName_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<int>("preset");
    QTest::addColumn<quint32>("mask");
    QTest::newRow("custom, mask 5") << QByteArray("BgMeasGroup=Custom\nBgMeasMask=5\n") << -1 << 5u;
    QTest::newRow("name from another language")
        << QByteArray("BgMeasGroup=All measurements\nBgMeasMask=4095\n") << -1 << 0xFFFu;
    QTest::newRow("preset name differing in case")
        << QByteArray("BgMeasGroup=\\x432\\x441\\x435 "
                      "\\x438\\x437\\x43c\\x435\\x440\\x435\\x43d\\x438\\x44f\nBgMeasMask=7\n")
        << -1 << 7u;
    QTest::newRow("preset overrides the mask")
        << QByteArray("BgMeasGroup=\\x420\\x430\\x437\\x431\\x430\\x43b\\x430\\x43d\\x441 \\x438 "
                      "\\x43d\\x43e\\x43b\\x44c\nBgMeasMask=7\n")
        << 2 << 1u;
    QTest::newRow("empty name") << QByteArray("BgMeasGroup=\nBgMeasMask=7\n") << 0 << 0xFFFu;
}

void tst_DeviceConfig::storedGroupName()
{
    QFETCH(QByteArray, keys);
    QFETCH(int, preset);
    QFETCH(quint32, mask);
    DeviceConfig c;
    loadSection(c, keys);
    QCOMPARE(DeviceConfig::bgMeasGroups().indexOf(c.bgMeasGroup), preset);
    QCOMPARE(c.bgMeasMask, mask);
}

void tst_DeviceConfig::hasSettings_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("the group") << QByteArray("[GRV480MonitorDeviceConfig]\nAdcFreq=1000\n") << true;
    // QSettings reports no group without keys; loading such a file still gives the defaults.
    QTest::newRow("empty group") << QByteArray("[GRV480MonitorDeviceConfig]\n") << false;
    QTest::newRow("among others") << QByteArray(
                                         "[MainWindow]\nx=1\n[GRV480MonitorDeviceConfig]\nx=1\n")
                                  << true;
    QTest::newRow("lower case") << QByteArray("[grv480monitordeviceconfig]\nAdcFreq=1000\n")
                                << false;
    QTest::newRow("upper case") << QByteArray("[GRV480MONITORDEVICECONFIG]\nAdcFreq=1000\n")
                                << false;
    QTest::newRow("nested") << QByteArray("[Other]\nGRV480MonitorDeviceConfig\\AdcFreq=1\n")
                            << false;
    QTest::newRow("other group") << QByteArray("[MainWindow]\nx=1\n") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("not an ini file") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11) << false;
}

void tst_DeviceConfig::hasSettings()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QSettings s(iniFile(text), QSettings::IniFormat);
    QCOMPARE(DeviceConfig::hasSettings(s), valid);
}

void tst_DeviceConfig::measTimeWrittenAsDouble()
{
    DeviceConfig c;
    loadSection(c, "");
    const QString path = dir.filePath("meastime.ini");
    {
        QSettings out(path, QSettings::IniFormat);
        c.saveSettings(out);
        QCOMPARE(out.value("GRV480MonitorDeviceConfig/MeasTime").userType(),
                 int(QMetaType::Double));
        QCOMPARE(out.value("GRV480MonitorDeviceConfig/MeasTime").toDouble(), 1000.0);
    }
    QSettings in(path, QSettings::IniFormat);
    DeviceConfig loaded;
    loaded.loadSettings(in);
    QCOMPARE(loaded.measTime, 1000.0);

    // A fraction written by hand is cut to whole milliseconds.
    loadSection(loaded, "MeasTime=2500.9\n");
    QCOMPARE(loaded.measTime, 2500.0);
}

void tst_DeviceConfig::malformedValues_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("corrected"); // the key loadSettings reports, empty for none
    QTest::addColumn<int>("tablesStatus");  // the module API's verdict on the loaded configuration

    const int iSrc = defaultISrcCode();
    struct Row
    {
        const char *name;
        const char *keys;
        const char *field;
        double expected;
        const char *corrected;
    };
    // clang-format off
    const Row rows[] = {
        {"AdcFreq text", "AdcFreq=abc", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq empty", "AdcFreq=", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq list", "AdcFreq=1,5", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq nan", "AdcFreq=nan", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq inf", "AdcFreq=inf", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq overflow", "AdcFreq=1e400", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq zero", "AdcFreq=0", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq negative", "AdcFreq=-25000", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq zero, manual filter", "AdcFreq=0\nFilterManualEn=true", "adcFreq", 20000, "AdcFreq"},
        {"AdcFreq huge", "AdcFreq=1e9", "adcFreq", 250000, "AdcFreq"},
        {"AdcFreq tiny", "AdcFreq=0.001", "adcFreq", 0.01, "AdcFreq"},
        {"AdcFreq good", "AdcFreq=31250.5", "adcFreq", 31250.5, ""},
        {"SwTimeUs negative", "SwTimeUs=-3", "swTimeUs", 0, "SwTimeUs"},
        {"SwTimeUs huge", "SwTimeUs=1e20", "swTimeUs", 1e13, "SwTimeUs"},
        {"SwTimeUs text", "SwTimeUs=xyz", "swTimeUs", 10, "SwTimeUs"},
        {"SwTimeUs -inf", "SwTimeUs=-inf", "swTimeUs", 10, "SwTimeUs"},
        {"MeasTime below floor", "MeasTime=50", "measTime", 100, "MeasTime"},
        {"MeasTime negative", "MeasTime=-1", "measTime", 100, "MeasTime"},
        {"MeasTime text", "MeasTime=abc", "measTime", 1000, "MeasTime"},
        {"MeasTime nan", "MeasTime=nan", "measTime", 1000, "MeasTime"},
        {"MeasTime huge", "MeasTime=1e12", "measTime", 60000, "MeasTime"},
        {"MeasTime int", "MeasTime=60000", "measTime", 60000, ""},
        {"iSrcCode text", "iSrcCode=abc", "iSrcCode", double(iSrc), "iSrcCode"},
        {"iSrcCode beyond int32", "iSrcCode=99999999999", "iSrcCode", double(iSrc), "iSrcCode"},
        {"iSrcCode fraction", "iSrcCode=12.5", "iSrcCode", double(iSrc), "iSrcCode"},
        {"iSrcCode integral float", "iSrcCode=12.0", "iSrcCode", 12, ""},
        {"iSrcCode negative kept", "iSrcCode=-7", "iSrcCode", -7, ""},
        {"BgMeasMask high bits", "BgMeasGroup=Custom\nBgMeasMask=65535", "bgMeasMask", 0xFFF, "BgMeasMask"},
        {"BgMeasMask bit 12", "BgMeasGroup=Custom\nBgMeasMask=4101", "bgMeasMask", 5, "BgMeasMask"},
        {"BgMeasMask all 32 bits", "BgMeasGroup=Custom\nBgMeasMask=4294967295", "bgMeasMask", 0xFFF, "BgMeasMask"},
        {"BgMeasMask negative", "BgMeasGroup=Custom\nBgMeasMask=-1", "bgMeasMask", 0, "BgMeasMask"},
        {"BgMeasMask text", "BgMeasGroup=Custom\nBgMeasMask=abc", "bgMeasMask", 0, "BgMeasMask"},
        {"BgMeasMask huge", "BgMeasGroup=Custom\nBgMeasMask=1e30", "bgMeasMask", 0, "BgMeasMask"},
        {"ShortRThreash above", "ShortRThreash=150", "shortRThresh", 99.99, "ShortRThreash"},
        {"ShortRThreash negative", "ShortRThreash=-1", "shortRThresh", 0, "ShortRThreash"},
        {"ShortRThreash inf", "ShortRThreash=inf", "shortRThresh", 10, "ShortRThreash"},
        {"CableLength zero", "CableLength=0", "cableLength", 0.5, "CableLength"},
        {"CableLength above", "CableLength=1000", "cableLength", 200, "CableLength"},
        {"CableLength nan", "CableLength=nan", "cableLength", 100, "CableLength"},
        {"CableCapactiyPerUnit negative", "CableCapactiyPerUnit=-10", "cableCapPerUnit", 0, "CableCapactiyPerUnit"},
        {"CableCapactiyPerUnit above", "CableCapactiyPerUnit=1e6", "cableCapPerUnit", 100000, "CableCapactiyPerUnit"},
        {"FilterManualType unknown", "FilterManualEn=true\nFilterManualType=7", "filterManualType", 0, "FilterManualType"},
        {"FilterManualType negative", "FilterManualType=-1", "filterManualType", 0, "FilterManualType"},
        {"FilterManualType text", "FilterManualType=sinc3", "filterManualType", 0, "FilterManualType"},
        {"SINC5 code above 20", "FilterManualEn=true\nFilterManualType=0\nFilterManualOdr=25", "filterManualOdr", 20, "FilterManualOdr"},
        {"SINC5 code negative", "FilterManualType=0\nFilterManualOdr=-3", "filterManualOdr", 0, "FilterManualOdr"},
        {"SINC3 divider zero", "FilterManualEn=true\nFilterManualType=1\nFilterManualOdr=0", "filterManualOdr", 1, "FilterManualOdr"},
        {"SINC3 divider above", "FilterManualType=1\nFilterManualOdr=40000", "filterManualOdr", 32767, "FilterManualOdr"},
        {"SINC3 divider good", "FilterManualType=1\nFilterManualOdr=32767", "filterManualOdr", 32767, ""},
        {"enhanced code 4", "FilterManualEn=true\nFilterManualType=2\nFilterManualOdr=4", "filterManualOdr", 3, "FilterManualOdr"},
        {"enhanced code 1", "FilterManualType=2\nFilterManualOdr=1", "filterManualOdr", 2, "FilterManualOdr"},
        {"enhanced code 100", "FilterManualType=2\nFilterManualOdr=100", "filterManualOdr", 6, "FilterManualOdr"},
        {"enhanced code good", "FilterManualType=2\nFilterManualOdr=5", "filterManualOdr", 5, ""},
        {"FilterManualOdr text", "FilterManualOdr=fast", "filterManualOdr", 1, "FilterManualOdr"},
        {"FilterManualOdr huge", "FilterManualOdr=1e15", "filterManualOdr", 1, "FilterManualOdr"},
        {"Range 5", "AdcChannels\\size=1\nAdcChannels\\1\\Enabled=true\nAdcChannels\\1\\Range=5", "range0", 0, "AdcChannels/1/Range"},
        {"Range 2", "AdcChannels\\size=1\nAdcChannels\\1\\Range=2", "range0", 0, "AdcChannels/1/Range"},
        {"Range negative", "AdcChannels\\size=1\nAdcChannels\\1\\Range=-1", "range0", 0, "AdcChannels/1/Range"},
        {"Range text", "AdcChannels\\size=1\nAdcChannels\\1\\Range=wide", "range0", 0, "AdcChannels/1/Range"},
        {"Range good", "AdcChannels\\size=1\nAdcChannels\\1\\Range=1", "range0", 1, ""},
        {"array size negative", "AdcChannels\\size=-3\nAdcChannels\\1\\Enabled=true", "enabledCount", 0, ""},
        {"array size text", "AdcChannels\\size=many\nAdcChannels\\1\\Enabled=true", "enabledCount", 0, ""},
        {"array size huge", "AdcChannels\\size=99999999999\nAdcChannels\\2\\Enabled=true", "enabledCount", 1, ""},
        {"channel 16 with Uref", "Ch16ForUref=true\nAdcChannels\\size=16\nAdcChannels\\16\\Enabled=true", "enabledCount", 0, "AdcChannels/16/Enabled"},
        {"boolean text", "TareCoefEn=yes", "tareCoefEn", 1, ""},
        {"boolean false text", "TareCoefEn=false", "tareCoefEn", 0, ""},
    };
    // clang-format on
    for (const Row &r : rows) {
        // Kept values are the module's to refuse; everything else is loaded into range.
        const int status =
            QByteArray(r.name) == "iSrcCode negative kept" ? GRV480_ERR_CFG_ISRC_CODE : 0;
        QTest::newRow(r.name) << (QByteArray(r.keys) + '\n') << QString(r.field) << r.expected
                              << QString(r.corrected) << status;
    }
}

void tst_DeviceConfig::malformedValues()
{
    QFETCH(QByteArray, keys);
    QFETCH(QString, field);
    QFETCH(double, expected);
    QFETCH(QString, corrected);
    QFETCH(int, tablesStatus);

    DeviceConfig c;
    const QStringList report = loadSection(c, keys);
    const QVariantMap m = snapshot(c);
    double actual;
    if (field == "range0")
        actual = c.channels[0].range;
    else if (field == "enabledCount")
        actual = c.enabledChannelCount();
    else
        actual = m.value(field).toDouble();
    QCOMPARE(actual, expected);
    QCOMPARE(report, corrected.isEmpty() ? QStringList() : QStringList{corrected});

    // Whatever the file held, later arithmetic and indexing stay sound.
    QVERIFY(std::isfinite(c.adcFreq) && c.adcFreq > 0);
    QVERIFY(std::isfinite(c.swTimeResultUs));
    QVERIFY(c.measTime >= 100 && c.measTime <= 60000);
    QCOMPARE(c.bgMeasMask & ~0xFFFu, 0u);
    TGRV480 h;
    std::memset(&h, 0, sizeof h);
    c.fillDeviceConfig(&h);
    QVERIFY(h.cfg.logicalChannelCount <= 16);
    for (uint32_t i = 0; i < h.cfg.logicalChannelCount; ++i)
        QVERIFY(h.cfg.logicalChannels[i].rangeCode <= 1);
    if (c.ch16ForUref)
        QVERIFY(!c.channels[15].enabled);
    QCOMPARE(frameTablesStatus(c), tablesStatus);
}

QTEST_GUILESS_MAIN(tst_DeviceConfig)
#include "tst_deviceconfig.moc"
