#include "deviceconfig.h"

#include <QCoreApplication>
#include <QSettings>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

/*
 * Settings store and configuration files are written by people and other
 * programs, so loadSettings() trusts no value. Per key:
 *
 * Key                    | unusable (text, list, nan/inf, | out of range
 *                        | beyond integer range)          |
 * -----------------------+--------------------------------+--------------------------------------
 * iSrcCode               | default code (25 mA)           | kept: the valid codes depend on the
 *                        |                                | module, GRV480_SetADC refuses them
 * AdcFreq                | default 20000                  | <= 0: default; else into 0.01..250000
 * SwTimeUs               | default 10                     | into 0..1e13
 * MeasTime               | default 1000                   | into 100..60000, whole ms (truncated)
 * TareCoefEn, Ch16ForUref, SingleChMode, FilterManualEn, AdcChannels/n/Enabled:
 *                        | QVariant::toBool on the text (any text is a boolean)
 * BgMeasMask             | 0                              | bits above bit 11 dropped
 * BgMeasGroup            | any text: a preset's name, otherwise the custom set
 * ShortRThreash          | default 10                     | into 0..99.99
 * CableLength            | default 100                    | into 0.5..200
 * CableCapactiyPerUnit   | default 150                    | into 0..100000
 * FilterManualType       | 0                              | not 0..2: 0 (SINC5+SINC1)
 * FilterManualOdr        | 1, then as out of range        | SINC5+SINC1 into 0..20, SINC3 into
 *                        |                                | 1..32767, enhanced: nearest of 2/3/5/6
 * AdcChannels (size)     | no elements                    | elements beyond 16 ignored
 * AdcChannels/n/Range    | 0                              | not 0 or 1: 0
 * AdcChannels/16/Enabled | -                              | cleared while Ch16ForUref is set
 *
 * Bounds are those the configuration dialog offers, so the dialog shows what
 * the model holds. Integer keys also take integral floating texts ("5.0").
 */

namespace {

const char SettingsGroup[] = "GRV480MonitorDeviceConfig";
const char CustomGroupName[] = "Custom";

constexpr double DefaultISrcMa = 25.0;
constexpr double DefaultAdcFreq = 20000;
constexpr double DefaultSwTimeUs = 10;
constexpr double DefaultMeasTime = 1000;
constexpr double DefaultShortRThresh = 10;
constexpr double DefaultCableLength = 100;
constexpr double DefaultCableCapPerUnit = 150;
constexpr int DefaultFilterType = GRV480_FILTER_SINC5_SINC1;
constexpr int DefaultFilterOdr = 1;

constexpr double MinAdcFreq = 0.01;
constexpr double MaxAdcFreq = 250000;
constexpr double MaxSwTimeUs = 1e13;
constexpr double MaxMeasTime = 60000;
constexpr double MaxShortRThresh = 99.99;
constexpr double MinCableLength = 0.5;
constexpr double MaxCableLength = 200;
constexpr double MaxCableCapPerUnit = 100000;
constexpr int MaxSinc5OdrCode = 20;
constexpr int MaxSinc3Divider = 32767;
const int EnhancedOdrCodes[] = {2, 3, 5, 6};

bool toFiniteDouble(const QVariant &v, double *out)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

// Whole numbers only, as long as a double holds them exactly.
bool toInteger(const QVariant &v, qint64 *out)
{
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok) {
        *out = i;
        return true;
    }
    double d;
    if (!toFiniteDouble(v, &d) || d != std::trunc(d) || std::fabs(d) > 9007199254740992.0)
        return false;
    *out = static_cast<qint64>(d);
    return true;
}

int nearestEnhancedOdrCode(qint64 code)
{
    int best = EnhancedOdrCodes[0];
    for (int c : EnhancedOdrCodes) {
        if (std::llabs(code - c) < std::llabs(code - best))
            best = c;
    }
    return best;
}

int validManualOdr(int type, qint64 odr)
{
    switch (type) {
    case GRV480_FILTER_SINC3:
        return int(std::clamp<qint64>(odr, 1, MaxSinc3Divider));
    case GRV480_FILTER_ENH_50_60:
        return nearestEnhancedOdrCode(odr);
    default:
        return int(std::clamp<qint64>(odr, 0, MaxSinc5OdrCode));
    }
}

// Reads keys of the current group, noting every key whose value it had to replace.
class SettingsReader
{
public:
    explicit SettingsReader(QSettings &settings)
        : s(settings)
    {
    }

    QStringList corrected;
    QString prefix; // of the array element being read, e.g. "AdcChannels/3/"

    void note(const QString &key) { corrected << prefix + key; }

    bool flag(const QString &key, bool def) const
    {
        return s.contains(key) ? s.value(key).toBool() : def;
    }

    // A value outside lo..hi is brought to the nearer bound; with badAtOrBelowZero
    // a value <= 0 counts as unusable instead (it would be divided by).
    double real(const QString &key, double def, double lo, double hi, bool badAtOrBelowZero = false)
    {
        if (!s.contains(key))
            return def;
        double d;
        if (!toFiniteDouble(s.value(key), &d) || (badAtOrBelowZero && d <= 0)) {
            note(key);
            return def;
        }
        if (d < lo || d > hi) {
            note(key);
            return qBound(lo, d, hi);
        }
        return d;
    }

    // Unusable or outside lo..hi gives def.
    qint64 integer(const QString &key, qint64 def, qint64 lo, qint64 hi)
    {
        if (!s.contains(key))
            return def;
        qint64 i;
        if (!toInteger(s.value(key), &i) || i < lo || i > hi) {
            note(key);
            return def;
        }
        return i;
    }

private:
    QSettings &s;
};

void registerMetaTypes()
{
    static const int id =
        qRegisterMetaType<const DeviceConfig::BgMeasGroup *>("const DeviceConfig::BgMeasGroup *");
    Q_UNUSED(id)
}

} // namespace

DeviceConfig::DeviceConfig()
{
    registerMetaTypes();
}

DeviceConfig::DeviceConfig(const DeviceConfig &other)
    : QObject()
{
    registerMetaTypes();
    assignFrom(other);
}

void DeviceConfig::assignFrom(const DeviceConfig &other)
{
    iSrcCode = other.iSrcCode;
    adcFreq = other.adcFreq;
    swTimeUs = other.swTimeUs;
    swTimeResultUs = other.swTimeResultUs;
    measTime = other.measTime;
    tareCoefEn = other.tareCoefEn;
    ch16ForUref = other.ch16ForUref;
    bgMeasGroup = other.bgMeasGroup;
    bgMeasMask = other.bgMeasMask;
    shortRThresh = other.shortRThresh;
    cableLength = other.cableLength;
    cableCapPerUnit = other.cableCapPerUnit;
    filterManualEn = other.filterManualEn;
    filterManualType = other.filterManualType;
    filterManualOdr = other.filterManualOdr;
    filterParams = other.filterParams;
    channels = other.channels;
    sensors = other.sensors;
    sensorProblems = other.sensorProblems;
    m_singleChMode = other.m_singleChMode;
}

QString DeviceConfig::BgMeasGroup::displayName() const
{
    return QCoreApplication::translate("DeviceConfig", name.toUtf8().constData());
}

QList<const DeviceConfig::BgMeasGroup *> DeviceConfig::bgMeasGroups()
{
    // The names stay untranslated here: they are the keys of settings and
    // files, which must read the same in every language.
    static const BgMeasGroup presets[] = {
        {QString::fromUtf8(QT_TRANSLATE_NOOP("DeviceConfig", "Все измерения")), GRV480_BG_ALL},
        {QString::fromUtf8(QT_TRANSLATE_NOOP("DeviceConfig", "Без проверки обрыва")),
         GRV480_BG_ALL &
             ~(GRV480_BG_CHECK_OPEN_UREF | GRV480_BG_CHECK_OPEN_UNEG | GRV480_BG_CHECK_OPEN_UX)},
        {QString::fromUtf8(QT_TRANSLATE_NOOP("DeviceConfig", "Разбаланс и ноль")), GRV480_BG_OFFS},
        {QString::fromUtf8(QT_TRANSLATE_NOOP("DeviceConfig", "Только разбаланс")), 0},
    };
    static const QList<const BgMeasGroup *> list = {&presets[0], &presets[1], &presets[2],
                                                    &presets[3]};
    return list;
}

double DeviceConfig::iSrcValue() const
{
    double value = 0;
    GRV480_CalcISrcValue(nullptr, iSrcCode, &value);
    return value;
}

int DeviceConfig::enabledChannelCount() const
{
    return int(std::count_if(channels.cbegin(), channels.cend(),
                             [](const ChannelCfg &ch) { return ch.enabled; }));
}

void DeviceConfig::fillDeviceConfig(TGRV480 *hmodule) const
{
    if (!hmodule)
        return;
    TGRV480Config &cfg = hmodule->cfg;
    cfg.singleChMode = m_singleChMode ? 1 : 0;
    cfg.swTimeUs = swTimeUs;
    cfg.iSrcCode = iSrcCode;
    // In single-channel mode the ADC runs at the filter's own rate; the divider is unused.
    if (!m_singleChMode)
        GRV480_FindSyncFreqDiv(adcFreq, &cfg.syncFreqDiv, nullptr);
    cfg.filterOdrCode = filterParams.odrCode;
    cfg.filterType = filterParams.type;
    cfg.tareCoefEn = tareCoefEn ? 1 : 0;
    cfg.ch16ForUref = ch16ForUref ? 1 : 0;
    cfg.bgMeasMask = bgMeasMask;
    cfg.shortRThresh = shortRThresh;
    cfg.cableLength = cableLength;
    cfg.cableCapPerUnit = cableCapPerUnit;

    uint32_t count = 0;
    for (int i = 0; i < ChannelCount; ++i) {
        if (!channels[i].enabled)
            continue;
        TGRV480LogicalChannel &entry = cfg.logicalChannels[count++];
        entry.channelIndex = uint8_t(i);
        // A code that does not fit a byte must not wrap into a valid one.
        const int range = channels[i].range;
        entry.rangeCode = (range >= 0 && range <= 0xFF) ? uint8_t(range) : uint8_t(0xFF);
    }
    cfg.logicalChannelCount = count;
}

void DeviceConfig::setISrcValue(double value)
{
    int32_t code = iSrcCode;
    double achieved = 0;
    GRV480_FindISrcCode(nullptr, value, &code, &achieved);
    iSrcCode = code;
}

void DeviceConfig::setAdcFreq(double freq)
{
    // Later code divides by the frequency.
    if (!std::isfinite(freq) || freq <= 0)
        return;
    adcFreq = freq;
    if (!m_singleChMode)
        roundAdcFreq();
    updateFilterParams();
    emit frameParamsChanged();
}

void DeviceConfig::setSwTimeUs(double us)
{
    swTimeUs = us;
    updateFilterParams();
}

void DeviceConfig::setMeasTime(int ms)
{
    measTime = std::max(ms, MinMeasTimeMs);
}

void DeviceConfig::setSingleChMode(bool singleCh)
{
    if (singleCh == m_singleChMode)
        return;
    m_singleChMode = singleCh;
    if (!singleCh)
        roundAdcFreq();
    updateFilterParams();
    emit frameParamsChanged();
    emit singleChModeChanged(singleCh);
}

void DeviceConfig::setTareCoefEn(bool en)
{
    if (en == tareCoefEn)
        return;
    tareCoefEn = en;
    emit frameParamsChanged();
}

void DeviceConfig::setCh16ForUref(bool en)
{
    if (en == ch16ForUref)
        return;
    ch16ForUref = en;
    // Cleared either way: while the mode is on channel 16 cannot measure, and
    // after it the channel comes back disabled. Clearing it before the signal
    // also keeps frameParamsChanged() listeners from computing tables for a
    // configuration the module refuses.
    channels[ChannelCount - 1].enabled = false;
    emit frameParamsChanged();
    emit ch16ModeChanged();
}

void DeviceConfig::setFilterManualEnabled(bool en)
{
    if (en == filterManualEn)
        return;
    filterManualEn = en;
    updateFilterParams();
}

void DeviceConfig::setFilterManualParams(int type, int odr)
{
    filterManualType = type;
    filterManualOdr = odr;
    if (filterManualEn)
        updateFilterParams();
}

void DeviceConfig::setChannelRange(int ch, int range)
{
    if (ch < 0 || ch >= ChannelCount || channels[ch].range == range)
        return;
    channels[ch].range = range;
    emit frameParamsChanged();
}

void DeviceConfig::setChannelEnabled(int ch, bool en)
{
    if (ch < 0 || ch >= ChannelCount)
        return;
    if (ch == ChannelCount - 1 && ch16ForUref)
        en = false;
    if (channels[ch].enabled == en)
        return;
    channels[ch].enabled = en;
    emit frameParamsChanged();
}

void DeviceConfig::setShortCheckRTresh(double val)
{
    shortRThresh = val;
}

void DeviceConfig::setCableLengt(double len)
{
    if (len == cableLength)
        return;
    cableLength = len;
    emit frameParamsChanged();
}

void DeviceConfig::setCableCapPerUnit(double c)
{
    if (c == cableCapPerUnit)
        return;
    cableCapPerUnit = c;
    emit frameParamsChanged();
}

void DeviceConfig::setBgMeasGroup(const DeviceConfig::BgMeasGroup *group)
{
    // bgMeasGroup is never owned, so only the presets that live forever are taken.
    if (group == bgMeasGroup || (group && !bgMeasGroups().contains(group)))
        return;
    bgMeasGroup = group;
    if (group)
        bgMeasMask = group->mask;
    emit frameParamsChanged();
}

void DeviceConfig::setBgMeasBit(quint32 bit, bool en)
{
    if (bgMeasGroup || bool(bgMeasMask & bit) == en)
        return;
    if (en)
        bgMeasMask |= bit;
    else
        bgMeasMask &= ~bit;
    emit frameParamsChanged();
}

void DeviceConfig::setBgMeasOffs(bool en)
{
    setBgMeasBit(GRV480_BG_OFFS, en);
}
void DeviceConfig::setBgMeasUref(bool en)
{
    setBgMeasBit(GRV480_BG_UREF, en);
}
void DeviceConfig::setBgMeasUrefOffs(bool en)
{
    setBgMeasBit(GRV480_BG_UREF_OFFS, en);
}
void DeviceConfig::setBgMeasVadj(bool en)
{
    setBgMeasBit(GRV480_BG_VADJ, en);
}
void DeviceConfig::setBgMeasUneg(bool en)
{
    setBgMeasBit(GRV480_BG_UNEG, en);
}
void DeviceConfig::setBgMeasCheckShortUref(bool en)
{
    setBgMeasBit(GRV480_BG_CHECK_SHORT_UREF, en);
}
void DeviceConfig::setBgMeasCheckOpenUref(bool en)
{
    setBgMeasBit(GRV480_BG_CHECK_OPEN_UREF, en);
}
void DeviceConfig::setBgMeasCheckOpenUneg(bool en)
{
    setBgMeasBit(GRV480_BG_CHECK_OPEN_UNEG, en);
}
void DeviceConfig::setBgMeasCheckShortUx(bool en)
{
    setBgMeasBit(GRV480_BG_CHECK_SHORT_UX, en);
}
void DeviceConfig::setBgMeasCheckOpenUx(bool en)
{
    setBgMeasBit(GRV480_BG_CHECK_OPEN_UX, en);
}
void DeviceConfig::setBgMeasUx(bool en)
{
    setBgMeasBit(GRV480_BG_UX, en);
}
void DeviceConfig::setBgMeasUcm(bool en)
{
    setBgMeasBit(GRV480_BG_UCM, en);
}

void DeviceConfig::roundAdcFreq()
{
    double achievable = adcFreq;
    GRV480_FindSyncFreqDiv(adcFreq, nullptr, &achievable);
    adcFreq = achievable;
    emit adcFreqUpdated(adcFreq);
}

void DeviceConfig::updateFilterParams()
{
    const INT singleCh = m_singleChMode ? 1 : 0;
    if (filterManualEn) {
        GRV480_GetFilterOutParams(singleCh, filterManualType, filterManualOdr, &filterParams);
        if (m_singleChMode)
            swTimeResultUs = 0;
        else if (adcFreq > 0 && filterParams.odr > 0)
            swTimeResultUs = (1.0 / adcFreq - 1.0 / filterParams.odr) * 1e6;
        else
            swTimeResultUs = 0; // a selector the library refused leaves no rate to work with
    } else {
        GRV480_FindFilterParams(singleCh, adcFreq, swTimeUs, &filterParams, &swTimeResultUs);
    }
    emit filterParamsUpdated();

    if (m_singleChMode) {
        if (std::isfinite(filterParams.odr) && filterParams.odr > 0)
            adcFreq = filterParams.odr;
        emit adcFreqUpdated(adcFreq);
    }
}

QStringList DeviceConfig::loadSettings(QSettings &settings)
{
    settings.beginGroup(QLatin1String(SettingsGroup));
    SettingsReader in(settings);

    int32_t defaultISrcCode = 0;
    double defaultISrcValue = 0;
    GRV480_FindISrcCode(nullptr, DefaultISrcMa, &defaultISrcCode, &defaultISrcValue);

    iSrcCode =
        qint32(in.integer(QStringLiteral("iSrcCode"), defaultISrcCode,
                          std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
    adcFreq = in.real(QStringLiteral("AdcFreq"), DefaultAdcFreq, MinAdcFreq, MaxAdcFreq, true);
    swTimeUs = in.real(QStringLiteral("SwTimeUs"), DefaultSwTimeUs, 0, MaxSwTimeUs);
    measTime = std::trunc(
        in.real(QStringLiteral("MeasTime"), DefaultMeasTime, MinMeasTimeMs, MaxMeasTime));
    tareCoefEn = in.flag(QStringLiteral("TareCoefEn"), false);
    ch16ForUref = in.flag(QStringLiteral("Ch16ForUref"), false);
    m_singleChMode = in.flag(QStringLiteral("SingleChMode"), false);

    const QString maskKey = QStringLiteral("BgMeasMask");
    const qint64 mask = in.integer(maskKey, 0, 0, std::numeric_limits<quint32>::max());
    bgMeasMask = quint32(mask) & GRV480_BG_ALL;
    if (bgMeasMask != mask)
        in.note(maskKey);
    const QString groupName = settings.value(QStringLiteral("BgMeasGroup"), QString()).toString();

    shortRThresh =
        in.real(QStringLiteral("ShortRThreash"), DefaultShortRThresh, 0, MaxShortRThresh);
    cableLength =
        in.real(QStringLiteral("CableLength"), DefaultCableLength, MinCableLength, MaxCableLength);
    cableCapPerUnit = in.real(QStringLiteral("CableCapactiyPerUnit"), DefaultCableCapPerUnit, 0,
                              MaxCableCapPerUnit);
    filterManualEn = in.flag(QStringLiteral("FilterManualEn"), false);
    filterManualType = qint32(in.integer(QStringLiteral("FilterManualType"), DefaultFilterType,
                                         GRV480_FILTER_SINC5_SINC1, GRV480_FILTER_ENH_50_60));
    const QString odrKey = QStringLiteral("FilterManualOdr");
    const qint64 odr = in.integer(odrKey, DefaultFilterOdr, std::numeric_limits<qint32>::min(),
                                  std::numeric_limits<qint32>::max());
    filterManualOdr = validManualOdr(filterManualType, odr);
    if (filterManualOdr != odr && !in.corrected.contains(odrKey))
        in.note(odrKey);

    bgMeasGroup = nullptr;
    if (groupName.isEmpty()) {
        setBgMeasGroup(bgMeasGroups().constFirst());
    } else {
        for (const BgMeasGroup *group : bgMeasGroups()) {
            if (group->name == groupName) {
                setBgMeasGroup(group);
                break;
            }
        }
    }

    sensorProblems.clear();
    const int stored = settings.beginReadArray(QStringLiteral("AdcChannels"));
    for (int i = 0; i < ChannelCount; ++i) {
        ChannelCfg &ch = channels[i];
        ch = ChannelCfg();
        sensors[i] = ChannelSensor();
        if (i >= stored)
            continue;
        settings.setArrayIndex(i);
        const QStringList problems = sensors[i].load(settings);
        for (const QString &p : problems)
            sensorProblems << QCoreApplication::translate("DeviceConfig", "Канал %1: %2").arg(i + 1).arg(p);
        in.prefix = QStringLiteral("AdcChannels/%1/").arg(i + 1);
        ch.enabled = in.flag(QStringLiteral("Enabled"), false);
        ch.range = int(in.integer(QStringLiteral("Range"), GRV480_RANGE_35MV, GRV480_RANGE_35MV,
                                  GRV480_RANGE_70MV));
        if (i == ChannelCount - 1 && ch16ForUref && ch.enabled) {
            ch.enabled = false;
            in.note(QStringLiteral("Enabled"));
        }
    }
    in.prefix.clear();
    settings.endArray();
    settings.endGroup();

    updateFilterParams();
    return in.corrected;
}

void DeviceConfig::saveSettings(QSettings &settings) const
{
    settings.beginGroup(QLatin1String(SettingsGroup));
    settings.setValue(QStringLiteral("iSrcCode"), int(iSrcCode));
    settings.setValue(QStringLiteral("AdcFreq"), adcFreq);
    settings.setValue(QStringLiteral("SwTimeUs"), swTimeUs);
    settings.setValue(QStringLiteral("MeasTime"), measTime);
    settings.setValue(QStringLiteral("TareCoefEn"), tareCoefEn);
    settings.setValue(QStringLiteral("Ch16ForUref"), ch16ForUref);
    settings.setValue(QStringLiteral("SingleChMode"), m_singleChMode);
    settings.setValue(QStringLiteral("BgMeasMask"), uint(bgMeasMask));
    settings.setValue(QStringLiteral("BgMeasGroup"),
                      bgMeasGroup ? bgMeasGroup->name : QString::fromLatin1(CustomGroupName));
    settings.setValue(QStringLiteral("ShortRThreash"), shortRThresh);
    settings.setValue(QStringLiteral("CableLength"), cableLength);
    settings.setValue(QStringLiteral("CableCapactiyPerUnit"), cableCapPerUnit);
    settings.setValue(QStringLiteral("FilterManualEn"), filterManualEn);
    settings.setValue(QStringLiteral("FilterManualType"), int(filterManualType));
    settings.setValue(QStringLiteral("FilterManualOdr"), int(filterManualOdr));
    settings.beginWriteArray(QStringLiteral("AdcChannels"), ChannelCount);
    for (int i = 0; i < ChannelCount; ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Enabled"), channels[i].enabled);
        settings.setValue(QStringLiteral("Range"), channels[i].range);
        sensors[i].save(settings);
    }
    settings.endArray();
    settings.endGroup();
}

bool DeviceConfig::hasSettings(QSettings &settings)
{
    return settings.childGroups().contains(QLatin1String(SettingsGroup), Qt::CaseSensitive);
}
