#include "measurementsnapshot.h"

#include "deviceconfig.h"
#include "resultrules.h"

#include <charconv>
#include <cmath>

using namespace ResultRules;

void MeasurementSnapshot::setConfig(const DeviceConfig &c)
{
    shortCheck = c.bgMeasCheckShortUxEn();
    openCheck = c.bgMeasCheckOpenUxEn();
    uxOrUcm = c.bgMeasUxEn() || c.bgMeasUcmEn();
    ucm = c.bgMeasUcmEn();
    ch16ForUref = c.ch16ForUref;
    iSrcMa = c.iSrcValue();

    channelNumbers.clear();
    channelSensors.clear();
    QStringList channels;
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        if (!c.channels[i].enabled)
            continue;
        channelNumbers.append(i + 1);
        channelSensors.append(c.sensors[i]);
        const int rangeMv = c.channels[i].range == GRV480_RANGE_70MV ? 70 : 35;
        channels << QStringLiteral("%1 (±%2 мВ)").arg(i + 1).arg(rangeMv);
    }
    const QByteArray freq = MeasurementTable::definedText(c.adcFreq);
    const QByteArray current = MeasurementTable::definedText(iSrcMa);
    configSummary = QStringLiteral("Частота АЦП %1 Гц; время измерения %2 мс; ток %3 мА; "
                                   "режим %4; фоновые измерения 0x%5; тарировочные коэф-ты %6; "
                                   "каналы %7")
                        .arg(QString::fromLatin1(freq))
                        .arg(c.measTime)
                        .arg(QString::fromLatin1(current))
                        .arg(c.singleChMode() ? QStringLiteral("одноканальный")
                                              : QStringLiteral("многоканальный"))
                        .arg(c.bgMeasMask, 4, 16, QLatin1Char('0'))
                        .arg(c.tareCoefEn ? QStringLiteral("вкл.") : QStringLiteral("выкл."))
                        .arg(channels.join(QStringLiteral(", ")));
}

int MeasurementSnapshot::channelCount() const
{
    return block ? block->channels.size() : 0;
}

qint64 MeasurementSnapshot::sampleCount() const
{
    qint64 n = 0;
    if (block) {
        for (const auto &c : block->channels)
            n += c ? c->values.size() : 0;
    }
    return n;
}

namespace MeasurementTable {

namespace {

QString num(double v)
{
    return QString::fromLatin1(numberText(v));
}

// A value the window shows only when it is a finite number.
QString shown(double v)
{
    return std::isfinite(v) ? num(v) : QString();
}

QString shown(const TGRV480MeasValue &v)
{
    return v.valid ? shown(v.value) : QString();
}

QString defined(double v)
{
    return std::isfinite(v) ? QString::fromLatin1(definedText(v)) : QString();
}

QString defined(const TGRV480MeasValue &v)
{
    return v.valid ? defined(v.value) : QString();
}

QString channelNumber(const MeasurementSnapshot &s, int r)
{
    return r < s.channelNumbers.size() ? QString::number(s.channelNumbers.at(r)) : QString();
}

// The lamps and the values of one channel result, in table order after the
// channel number.
QStringList channelFields(const MeasurementSnapshot &s, const DataBlockProcessor::ChResult &c)
{
    const TGRV480ChStatus &st = c.status;
    const TGRV480FrameStatus &f = s.block->status;
    QStringList out;
    out << shown(c.dc) << shown(c.ac);
    out << lampText((st.flags & GRV480_CH_OUT_OF_RANGE) ? LedRed : LedGreen);
    out << lampText(s.shortCheck ? shortLedState(st.ux.state) : LedGrey);
    out << lampText(s.openCheck ? openLedState(st.ux.state) : LedGrey);

    const Udiff d = udiff(st.ux, f.uref, c.rangeMv);
    out << lampText(s.uxOrUcm ? conditionLedState(d.value.state, d.pass) : LedGrey);
    out << lampText(s.ucm ? conditionLedState(st.ucm.state, st.ucm.state != GRV480_MV_COND_VIOLATED)
                          : LedGrey);
    out << (s.uxOrUcm ? shown(st.ux) : QString());
    out << (s.uxOrUcm ? shown(d.value) : QString());
    const bool ucm = s.uxOrUcm && s.ucm;
    out << (ucm ? shown(st.ucm) : QString());
    out << (ucm ? defined(withValue(d.value, st.ucmMin)) : QString());
    out << (ucm ? defined(withValue(d.value, st.ucmMax)) : QString());
    out << (c.peakValid ? shown(c.peakFreq) : QString());
    out << (c.peakValid ? shown(c.peakAmplitude) : QString());
    out << (c.harmValid ? shown(c.snr) : QString());
    out << (c.harmValid ? shown(c.sinad) : QString());
    out << (c.harmValid ? shown(c.enob) : QString());
    return out;
}

} // namespace

QVector<QStringList> headerRows(const MeasurementSnapshot &s)
{
    return {{QStringLiteral("Модуль"), s.moduleSerial},
            {QStringLiteral("Крейт"), s.crateSerial},
            {QStringLiteral("Слот"), QString::number(s.slot)},
            {QStringLiteral("Конфигурация"), s.configSummary}};
}

QStringList resultColumnTitles()
{
    // The table's header, a top section and its leaf joined on one line.
    const QString sine = QStringLiteral("Характеристики синусоидального сигнала / ");
    return {QStringLiteral("№ канала"),
            QStringLiteral("Разбаланс / DC, мВ"),
            QStringLiteral("Разбаланс / AC, мВ"),
            QStringLiteral("Диапазон"),
            QStringLiteral("Линия / КЗ"),
            QStringLiteral("Линия / Обр."),
            QStringLiteral("Условия / Udiff"),
            QStringLiteral("Условия / Ucm"),
            QStringLiteral("Промежуточные измерения / Ux, В"),
            QStringLiteral("Промежуточные измерения / Udiff, В"),
            QStringLiteral("Промежуточные измерения / Ucm, В"),
            QStringLiteral("Рабочие границы / Ucm min, В"),
            QStringLiteral("Рабочие границы / Ucm max, В"),
            sine + QStringLiteral("Част. пика"),
            sine + QStringLiteral("Амп. пика"),
            sine + QStringLiteral("SNR"),
            sine + QStringLiteral("SINAD"),
            sine + QStringLiteral("ENOB"),
            QStringLiteral("Значение / DC"),
            QStringLiteral("Значение / AC"),
            QStringLiteral("Ед.")};
}

QStringList tableColumnTitles()
{
    const QStringList all = resultColumnTitles();
    QStringList t = all.mid(0, 18);
    t << QStringLiteral("Значение") << all.constLast();
    return t;
}

PhysicalValue physicalValue(const MeasurementSnapshot &s, int r)
{
    PhysicalValue v{qQNaN(), qQNaN(), QString()};
    if (!s.block || r < 0 || r >= s.block->channels.size() || r >= s.channelSensors.size())
        return v;
    const DataBlockProcessor::ChResult *c = s.block->channels.at(r).data();
    const ChannelSensor &sensor = s.channelSensors.at(r);
    if (!c || !sensor.hasSensor())
        return v;
    v.dc = sensor.value(c->dc);
    v.ac = sensor.acValue(c->dc, c->ac);
    v.unit = sensor.unit;
    return v;
}

QVector<QStringList> sensorRows(const MeasurementSnapshot &s)
{
    QVector<QStringList> rows;
    for (int r = 0; r < s.channelSensors.size() && r < s.channelNumbers.size(); ++r) {
        const ChannelSensor &c = s.channelSensors.at(r);
        if (!c.hasSensor())
            continue;
        rows << QStringList{QStringLiteral("Датчик, канал %1").arg(s.channelNumbers.at(r)),
                            c.sensorName, c.unit, c.scaling.toText(),
                            c.zeroSet ? num(c.zero) : QString()};
    }
    return rows;
}

QVector<QStringList> resultRows(const MeasurementSnapshot &s)
{
    QVector<QStringList> rows;
    if (!s.block)
        return rows;
    for (int r = 0; r < s.block->channels.size(); ++r) {
        const DataBlockProcessor::ChResult *c = s.block->channels.at(r).data();
        if (!c)
            continue;
        const PhysicalValue v = physicalValue(s, r);
        rows.append(QStringList{channelNumber(s, r)} + channelFields(s, *c) +
                    QStringList{shown(v.dc), shown(v.ac), v.unit});
    }
    return rows;
}

QVector<QStringList> statusRows(const MeasurementSnapshot &s)
{
    QVector<QStringList> rows;
    if (!s.block)
        return rows;
    const TGRV480FrameStatus &f = s.block->status;
    const double currentA = s.iSrcMa / 1000.0;
    QString rref, pref, rec, rrefR, prefR;
    if (f.uref.state == GRV480_MV_VALID) {
        const RefFigures ref = refFigures(f.uref.value, currentA);
        rref = shown(ref.resistance);
        pref = shown(ref.power);
        const double r = bridgeResistance(f.uneg.value, f.uref.value, currentA);
        rec = shown(recommendedCurrent(r, s.ch16ForUref) * 1000.0);
    }
    if (f.urefR.state == GRV480_MV_VALID) {
        const RefFigures ref = refFigures(f.urefR.value, currentA);
        rrefR = shown(ref.resistance);
        prefR = shown(ref.power);
    }
    rows << QStringList{QStringLiteral("Uref, В"), shown(f.uref)}
         << QStringList{QStringLiteral("Rref, Ом"), rref}
         << QStringList{QStringLiteral("Pref, Вт"), pref}
         << QStringList{QStringLiteral("Uref R, В"), shown(f.urefR)}
         << QStringList{QStringLiteral("Rref R, Ом"), rrefR}
         << QStringList{QStringLiteral("Pref R, Вт"), prefR}
         << QStringList{QStringLiteral("Iref рекомендуемый, мА"), rec}
         << QStringList{QStringLiteral("Iref заданный, мА"), defined(s.iSrcMa)}
         << QStringList{QStringLiteral("Vadj, В"), shown(f.vadj)}
         << QStringList{QStringLiteral("U-, мВ"), shown(withValue(f.uneg, f.uneg.value * 1000.0))}
         << QStringList{QStringLiteral("Превышение мощности нагрузки"),
                        lampText((f.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED) ? LedRed : LedGreen)};
    return rows;
}

QStringList recordColumnTitles()
{
    QStringList t = resultColumnTitles();
    // The working bounds are not recorded.
    t.removeAt(12);
    t.removeAt(11);
    t.prepend(QStringLiteral("Время блока"));
    return t;
}

QVector<QStringList> recordRows(const MeasurementSnapshot &s)
{
    QVector<QStringList> rows = resultRows(s);
    const QString time = timeText(s.blockTime);
    for (QStringList &row : rows) {
        row.removeAt(12);
        row.removeAt(11);
        row.prepend(time);
    }
    return rows;
}

QString lampText(int ledState)
{
    switch (ledState) {
    case LedGreen:
        return QStringLiteral("зелёный");
    case LedRed:
        return QStringLiteral("красный");
    case LedOff:
        return QStringLiteral("не горит");
    case LedGrey:
        return QStringLiteral("серый");
    case LedBlue:
        return QStringLiteral("синий");
    }
    return QString::number(ledState);
}

QString timeText(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

QByteArray numberText(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, int(res.ptr - buf));
}

QByteArray definedText(double v)
{
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return QByteArray(buf, int(res.ptr - buf));
}

} // namespace MeasurementTable
