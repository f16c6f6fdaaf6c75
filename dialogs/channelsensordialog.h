#ifndef CHANNELSENSORDIALOG_H
#define CHANNELSENSORDIALOG_H

#include "channelsensor.h"
#include "pointaverager.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class NumberEdit;
class SensorLibrary;

// A channel's sensor settings while the module acquires: the sensor, its
// calibration from live readings ("Точка 1", "Точка 2", more points for a
// table), the software zero and the limits. Changes reach the channel with
// "Применить"; a calibration is written into the sensor of the library at
// once, with the day's date.
class ChannelSensorDialog : public QDialog
{
    Q_OBJECT

public:
    ChannelSensorDialog(int channel, const ChannelSensor &current, SensorLibrary *library,
                        const QString &libraryPath, QWidget *parent = nullptr);

    int channel() const { return ch; }
    ChannelSensor channelSensor() const { return work; }

    // For tests and the window: the controls.
    QComboBox *sensorBox() const { return sensorCombo; }
    QSpinBox *blocksBox() const { return blocks; }
    QPushButton *pointButton(int i) const { return points.value(i).button; }
    NumberEdit *pointValue(int i) const { return points.value(i).value; }
    PointAverager pointReading(int i) const { return points.value(i).reading; }
    QPushButton *morePointsButton() const { return morePoints; }
    QPushButton *calibrateButton() const { return calibrate; }
    NumberEdit *limitEdit(int which) const { return limitEdits[which]; }
    QCheckBox *limitBox(int which) const { return limitChecks[which]; }
    NumberEdit *hysteresisEdit() const { return hyst; }
    QSpinBox *holdBox() const { return hold; }
    QPushButton *applyButton() const { return apply; }

public slots:
    // The channel's DC of each block shown, in mV.
    void blockShown(double dcMv);
    void startPoint(int i);
    // Computes the scaling from the points taken; false (with a message) when
    // they give none.
    bool saveCalibration();
    bool applyChanges();
    void setZero();
    void resetZero();

signals:
    void applied(int channel, const ChannelSensor &sensor);
    void libraryChanged();

protected:
    void changeEvent(QEvent *event) override;

private:
    struct PointRow
    {
        QPushButton *button = nullptr;
        NumberEdit *value = nullptr;
        QLabel *readingLabel = nullptr;
        PointAverager reading;
    };

    void addPointRow();
    void sensorChosen();
    void showState();
    void retranslate();
    ChannelLimits limitsFromFields() const;

    int ch;
    ChannelSensor work;
    SensorLibrary *lib;
    QString libPath;
    double lastDc;
    int measuring = -1;

    QGroupBox *sensorGroup;
    QComboBox *sensorCombo;
    QLabel *sensorInfo;
    QGroupBox *calGroup;
    QLabel *blocksLabel;
    QSpinBox *blocks;
    QGridLayout *pointGrid;
    QList<PointRow> points;
    QPushButton *morePoints;
    QPushButton *calibrate;
    QLabel *calStatus;
    QGroupBox *zeroGroup;
    QLabel *zeroInfo;
    QPushButton *zeroBtn;
    QPushButton *zeroResetBtn;
    QGroupBox *limitGroup;
    QCheckBox *limitChecks[ChannelLimits::Count];
    NumberEdit *limitEdits[ChannelLimits::Count];
    QLabel *hystLabel;
    NumberEdit *hyst;
    QLabel *holdLabel;
    QSpinBox *hold;
    QPushButton *apply;
    QPushButton *closeBtn;
};

#endif // CHANNELSENSORDIALOG_H
