#ifndef DEVICECONFIG_H
#define DEVICECONFIG_H

/*
 * DeviceConfig: everything the operator sets for a GRV480 module, the values
 * the module API's search functions derive from it, and its persistence.
 *
 * Usage:
 *   auto cfg = QSharedPointer<DeviceConfig>::create();
 *   cfg->loadSettings(settings);          // QSettings &, group "GRV480MonitorDeviceConfig"
 *   cfg->setAdcFreq(25000);               // change only through the slots...
 *   if (cfg->channels[2].enabled) ...     // ...read the public fields directly
 *   cfg->fillDeviceConfig(&hmodule);      // then GRV480_SetADC(&hmodule)
 *   auto copy = QSharedPointer<DeviceConfig>::create(*cfg);  // dialogs' working copy
 *
 * The public data fields are for reading. Writing them directly bypasses the
 * derived values (filterParams, swTimeResultUs) and the signals. Single-channel
 * mode is the one field behind an accessor, singleChMode(), because the name
 * is taken by it; it changes only through setSingleChMode().
 *
 * GUI thread only. The persistence functions neither open, sync nor check the
 * QSettings store: the caller does.
 */

#include "channelsensor.h"
#include "grv480api.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class QSettings;

class DeviceConfig : public QObject
{
    Q_OBJECT

public:
    struct ChannelCfg
    {
        bool enabled = false;
        int range = GRV480_RANGE_35MV; // 0 = ±35 mV, 1 = ±70 mV
    };

    // A named preset of bgMeasMask; the four presets live for the whole program.
    struct BgMeasGroup
    {
        QString name; // as stored in settings and files, whatever the language
        quint32 mask;
        QString displayName() const; // the name in the interface's language
    };

    static constexpr int ChannelCount = GRV480_CHANNEL_COUNT;
    static constexpr int MinMeasTimeMs = 100;

    // All fields zero, false or null; loadSettings() applies the working defaults.
    DeviceConfig();
    // Copies every field; the QObject part starts fresh (no parent, no connections).
    DeviceConfig(const DeviceConfig &other);
    ~DeviceConfig() override = default;
    // Takes every field of other in place (for objects that others hold a
    // pointer to); emits nothing, so the owner refreshes whatever shows it.
    void assignFrom(const DeviceConfig &other);

    // The four presets, in order: all, no open-wire checks, unbalance and zero,
    // unbalance only. Null (not in this list) means the custom set.
    static QList<const BgMeasGroup *> bgMeasGroups();

    bool singleChMode() const { return m_singleChMode; }
    double iSrcValue() const; // mA, the current achievable with iSrcCode
    int enabledChannelCount() const;

    // False in single-channel mode whatever the mask holds.
    bool bgMeasOffsEn() const { return bgMeasBitEn(GRV480_BG_OFFS); }
    bool bgMeasUrefEn() const { return bgMeasBitEn(GRV480_BG_UREF); }
    bool bgMeasUrefOffsEn() const { return bgMeasBitEn(GRV480_BG_UREF_OFFS); }
    bool bgMeasVadjEn() const { return bgMeasBitEn(GRV480_BG_VADJ); }
    bool bgMeasUnegEn() const { return bgMeasBitEn(GRV480_BG_UNEG); }
    bool bgMeasCheckShortUrefEn() const { return bgMeasBitEn(GRV480_BG_CHECK_SHORT_UREF); }
    bool bgMeasCheckOpenUrefEn() const { return bgMeasBitEn(GRV480_BG_CHECK_OPEN_UREF); }
    bool bgMeasCheckOpenUnegEn() const { return bgMeasBitEn(GRV480_BG_CHECK_OPEN_UNEG); }
    bool bgMeasCheckShortUxEn() const { return bgMeasBitEn(GRV480_BG_CHECK_SHORT_UX); }
    bool bgMeasCheckOpenUxEn() const { return bgMeasBitEn(GRV480_BG_CHECK_OPEN_UX); }
    bool bgMeasUxEn() const { return bgMeasBitEn(GRV480_BG_UX); }
    bool bgMeasUcmEn() const { return bgMeasBitEn(GRV480_BG_UCM); }

    // Reads the group "GRV480MonitorDeviceConfig". Unusable or out-of-bounds
    // values are brought into range or replaced by their default (the table in
    // deviceconfig.cpp; the excitation code is left for the module to judge).
    // The result names the keys so treated, e.g. "AdcFreq" or
    // "AdcChannels/3/Range"; empty for a clean store. Callers may ignore it.
    QStringList loadSettings(QSettings &settings);
    void saveSettings(QSettings &settings) const;
    // True when the store's top level has the group (case-sensitive).
    static bool hasSettings(QSettings &settings);

    // Fields, in the order of the configuration (read them, change them through
    // the slots). Single-channel mode sits between iSrcCode and adcFreq: see
    // singleChMode() and m_singleChMode below.
    qint32 iSrcCode = 0;       // excitation-current code
    double adcFreq = 0;        // Hz; in single-channel mode the filter's output rate
    double swTimeUs = 0;       // requested switching time
    double swTimeResultUs = 0; // derived: switching time the frequency and filter leave
    double measTime = 0;       // ms, whole, at least MinMeasTimeMs
    bool tareCoefEn = false;
    bool ch16ForUref = false;                 // channel 16 measures Uref; it is never enabled then
    const BgMeasGroup *bgMeasGroup = nullptr; // null: custom set; never owned
    quint32 bgMeasMask = 0;                   // GRV480_BG_* bits
    double shortRThresh = 0;                  // ohms
    double cableLength = 0;                   // metres
    double cableCapPerUnit = 0;               // pF per metre
    bool filterManualEn = false;
    qint32 filterManualType = 0;        // GRV480_FILTER_*
    qint32 filterManualOdr = 0;         // ODR code; the decimation divider for SINC3
    TGRV480FilterParams filterParams{}; // derived: the filter that will run
    std::array<ChannelCfg, ChannelCount> channels{};
    // Sensor, software zero and limits of each channel, in channel order.
    std::array<ChannelSensor, ChannelCount> sensors{};
    // Set by loadSettings(): sensor settings that could not be taken, one
    // line per channel, for the operator. The channel then has none.
    QStringList sensorProblems;

signals:
    void filterParamsUpdated();
    void adcFreqUpdated(double val);
    void frameParamsChanged();
    void ch16ModeChanged();
    void singleChModeChanged(bool singleCh);

public slots:
    void fillDeviceConfig(TGRV480 *hmodule) const;
    void setISrcValue(double value); // mA
    void setAdcFreq(double freq);    // ignores NaN, infinities and values <= 0
    void setSwTimeUs(double us);
    void setMeasTime(int ms);
    void setSingleChMode(bool singleCh);
    void setTareCoefEn(bool en);
    void setCh16ForUref(bool en); // either way channel 16 ends up disabled
    void setFilterManualEnabled(bool en);
    void setFilterManualParams(int type, int odr);
    void setChannelRange(int ch, int range);
    void setChannelEnabled(int ch, bool en);
    void setShortCheckRTresh(double val);
    void setCableLengt(double len);
    void setCableCapPerUnit(double c);
    // Only null or a pointer from bgMeasGroups() is taken.
    void setBgMeasGroup(const DeviceConfig::BgMeasGroup *group);
    // Refused (silently) while a preset is selected.
    void setBgMeasOffs(bool en);
    void setBgMeasUref(bool en);
    void setBgMeasUrefOffs(bool en);
    void setBgMeasVadj(bool en);
    void setBgMeasUneg(bool en);
    void setBgMeasCheckShortUref(bool en);
    void setBgMeasCheckOpenUref(bool en);
    void setBgMeasCheckOpenUneg(bool en);
    void setBgMeasCheckShortUx(bool en);
    void setBgMeasCheckOpenUx(bool en);
    void setBgMeasUx(bool en);
    void setBgMeasUcm(bool en);

private:
    bool m_singleChMode = false;

    bool bgMeasBitEn(quint32 bit) const { return !m_singleChMode && (bgMeasMask & bit); }
    void setBgMeasBit(quint32 bit, bool en);
    void roundAdcFreq();
    void updateFilterParams();
};

Q_DECLARE_METATYPE(const DeviceConfig::BgMeasGroup *)

#endif // DEVICECONFIG_H
