#ifndef MEASUREMENTSNAPSHOT_H
#define MEASUREMENTSNAPSHOT_H

#include "channelsensor.h"
#include "datablockprocessor.h"

#include <QDateTime>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVector>

class DeviceConfig;

// The block on screen together with what is needed to describe it on its own:
// where it came from, how the module was set up and the configuration flags
// that decide which of its values the window shows. The block is shared, not
// copied, and nobody changes it after emission, so a snapshot may be read on
// any thread while the window goes on showing newer blocks.
struct MeasurementSnapshot
{
    QString moduleSerial;
    QString crateSerial;
    int slot = 0;
    QString configSummary;
    QDateTime blockTime;         // UTC, when the window received the block
    QVector<int> channelNumbers; // physical channel 1 to 16 of each result, in block order
    QVector<int> plottedRows;    // the results whose graphs are shown, for pictures
    // The sensor, software zero and limits of each result's channel, in block order.
    QVector<ChannelSensor> channelSensors;

    // The configuration's view of the block, as the window applies it.
    bool shortCheck = false;
    bool openCheck = false;
    bool uxOrUcm = false;
    bool ucm = false;
    bool ch16ForUref = false;
    double iSrcMa = 0.0;

    QSharedPointer<const DataBlockProcessor::DataBlock> block;

    // Everything above except the block and its time, from the configuration.
    void setConfig(const DeviceConfig &config);

    int channelCount() const;
    qint64 sampleCount() const; // time samples of all channels together
};

// The values of the results table and the status panel as the window shows
// them, but unrounded: numbers in the shortest text that reads back to the same
// double, lamps as words, empty where the window shows nothing.
namespace MeasurementTable {

// What a file says about the block before its values: module, crate, slot
// and the configuration (with each channel's range), as name and value.
QVector<QStringList> headerRows(const MeasurementSnapshot &s);

// Leaf titles of the results table, a top section's title before its leaves.
QStringList resultColumnTitles();
// The results table's own columns as Ctrl+C copies them: the export's titles
// up to ENOB, then the sensor value (DC / AC in one cell) and its unit.
QStringList tableColumnTitles();
// One row per channel result, in the order of resultColumnTitles().
QVector<QStringList> resultRows(const MeasurementSnapshot &s);

// Name and value of each status-panel field.
QVector<QStringList> statusRows(const MeasurementSnapshot &s);

// "Датчик, канал N" and its sensor, unit, scaling and zero, for every channel
// with a sensor: the metadata that turns the file's mV into the unit.
QVector<QStringList> sensorRows(const MeasurementSnapshot &s);
// The DC and AC of result r in its sensor's unit; NaN without a sensor.
struct PhysicalValue
{
    double dc;
    double ac;
    QString unit;
};
PhysicalValue physicalValue(const MeasurementSnapshot &s, int r);

// The recorder's columns: block time, channel, DC, AC, the five lamps, Ux,
// Udiff, Ucm, peak frequency and amplitude, SNR, SINAD, ENOB.
QStringList recordColumnTitles();
QVector<QStringList> recordRows(const MeasurementSnapshot &s);

QString lampText(int ledState);
QString timeText(const QDateTime &t); // ISO 8601, milliseconds, UTC
// Shortest text that reads back (strtod, Python float) to exactly v; "nan",
// "inf" and "-inf" for the values that are not finite.
QByteArray numberText(double v);
// A value that comes from a decimal definition, not from a measurement (a
// setting, a working bound the module derives from the range): at 15
// significant digits, which drops the binary noise of the arithmetic that made
// it (0.5 + 0.07 gives 0.5700000000000001, written 0.57).
QByteArray definedText(double v);

} // namespace MeasurementTable

#endif // MEASUREMENTSNAPSHOT_H
