#ifndef CONFIGSNAPSHOT_H
#define CONFIGSNAPSHOT_H

#include "deviceconfig.h"

#include <QString>
#include <QVariantMap>

// Every stored and derived field, so two configurations compare in one go.
inline QVariantMap snapshot(const DeviceConfig &c)
{
    QVariantMap m;
    m["iSrcCode"] = c.iSrcCode;
    m["singleChMode"] = c.singleChMode();
    m["adcFreq"] = c.adcFreq;
    m["swTimeUs"] = c.swTimeUs;
    m["swTimeResultUs"] = c.swTimeResultUs;
    m["measTime"] = c.measTime;
    m["tareCoefEn"] = c.tareCoefEn;
    m["ch16ForUref"] = c.ch16ForUref;
    m["bgMeasGroup"] = DeviceConfig::bgMeasGroups().indexOf(c.bgMeasGroup);
    m["bgMeasMask"] = c.bgMeasMask;
    m["shortRThresh"] = c.shortRThresh;
    m["cableLength"] = c.cableLength;
    m["cableCapPerUnit"] = c.cableCapPerUnit;
    m["filterManualEn"] = c.filterManualEn;
    m["filterManualType"] = c.filterManualType;
    m["filterManualOdr"] = c.filterManualOdr;
    m["filter.type"] = c.filterParams.type;
    m["filter.odrCode"] = c.filterParams.odrCode;
    m["filter.odr"] = c.filterParams.odr;
    m["filter.notchFreq"] = c.filterParams.notchFreq;
    m["filter.notchDb"] = c.filterParams.notchDb;
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        m[QString("ch%1.enabled").arg(i)] = c.channels[i].enabled;
        m[QString("ch%1.range").arg(i)] = c.channels[i].range;
    }
    return m;
}

#endif // CONFIGSNAPSHOT_H
