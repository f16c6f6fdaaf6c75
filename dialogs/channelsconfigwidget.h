#ifndef CHANNELSCONFIGWIDGET_H
#define CHANNELSCONFIGWIDGET_H

#include <QList>
#include <QWidget>

class QComboBox;
class QTableWidget;
class QTableWidgetItem;
class DeviceConfig;
class SensorLibrary;

namespace Ui {
class ChannelsConfigWidget;
}

// The multi-channel editor of a DeviceConfig: sixteen rows with an enable box
// and a range selector, and below them an "all channels" row that sets every
// channel at once and otherwise summarises them (partially checked, blank
// range when they differ). Every change goes into the model at once.
//
// Usage: construct, then setConfig(cfg) once; showConfig() after the model was
// changed behind the widget's back.
class ChannelsConfigWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ChannelsConfigWidget(QWidget *parent = nullptr);
    ~ChannelsConfigWidget() override;

    // Not owned; must outlive the widget or be replaced before it goes.
    void setConfig(DeviceConfig *config);
    // Adds (once) a sensor column whose choice goes into the configuration's
    // channel sensors; called again after the library has changed.
    void setSensorLibrary(const SensorLibrary *library);
    QComboBox *sensorBox(int ch) const { return sensorBoxes.value(ch); }

    // The two range items (35 mV with code 0, 70 mV with code 1), shared with
    // the single-channel editor.
    static void addRangeItems(QComboBox *box);
    static void retranslateRangeItems(QComboBox *box);
    // The item of that range code, the first item when none carries it.
    static void selectRange(QComboBox *box, int range);

    // For tests and the tare channel dialog.
    QTableWidget *channelTable() const;
    QTableWidget *allChannelsTable() const;
    QComboBox *rangeBox(int ch) const;
    QComboBox *allChannelsRangeBox() const;

public slots:
    void showConfig();
    // Pushes the whole visible state into the model.
    void updateConfig();

private slots:
    void onRangeChanged();
    void onChannelItemChanged(QTableWidgetItem *item);
    void updateCh16Mode();
    void allChEnChanged(QTableWidgetItem *item);
    void allChRangeChanged();
    void onChSectionResize(int logicalIndex, int oldSize, int newSize);

protected:
    void changeEvent(QEvent *event) override;

private:
    struct ChannelCtrls
    {
        QTableWidgetItem *item = nullptr;
        QComboBox *range = nullptr;
    };

    ChannelCtrls createRow(QTableWidget *table, int row, const QString &label);
    void updateAllRow();
    void fillSensorBoxes();
    void onSensorChosen(int ch);

    Ui::ChannelsConfigWidget *ui;
    DeviceConfig *cfg = nullptr;
    QList<ChannelCtrls> chCtrls;
    ChannelCtrls allCtrls;
    bool updating = false; // set while the widget changes its own controls
    const SensorLibrary *lib = nullptr;
    QList<QComboBox *> sensorBoxes;
};

#endif // CHANNELSCONFIGWIDGET_H
