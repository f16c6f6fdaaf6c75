#include "channelsconfigwidget.h"
#include "ui_channelsconfigwidget.h"

#include "comboboxnowheel.h"
#include "deviceconfig.h"
#include "sensorlibrary.h"
#include "tableheightupdater.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>

#include <algorithm>
#include <iterator>

namespace {

const int Ch16Row = DeviceConfig::ChannelCount - 1;

const struct
{
    double mV;
    uint code;
} Ranges[] = {{35, GRV480_RANGE_35MV}, {70, GRV480_RANGE_70MV}};

QString rangeText(double mV)
{
    return ChannelsConfigWidget::tr("± %1 мВ").arg(QString::number(mV, 'g', 6));
}

bool isItemEnabled(const QTableWidgetItem *item)
{
    return item->flags().testFlag(Qt::ItemIsEnabled);
}

} // namespace

ChannelsConfigWidget::ChannelsConfigWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ChannelsConfigWidget)
{
    ui->setupUi(this);
}

ChannelsConfigWidget::~ChannelsConfigWidget()
{
    delete ui;
}

void ChannelsConfigWidget::addRangeItems(QComboBox *box)
{
    for (int i = 0; i < int(std::size(Ranges)); ++i)
        box->addItem(rangeText(Ranges[i].mV), Ranges[i].code);
}

void ChannelsConfigWidget::retranslateRangeItems(QComboBox *box)
{
    for (int i = 0; i < int(std::size(Ranges)) && i < box->count(); ++i)
        box->setItemText(i, rangeText(Ranges[i].mV));
}

void ChannelsConfigWidget::selectRange(QComboBox *box, int range)
{
    const int idx = box->findData(uint(range));
    box->setCurrentIndex(idx < 0 ? 0 : idx);
}

QTableWidget *ChannelsConfigWidget::channelTable() const
{
    return ui->adcChannels;
}

QTableWidget *ChannelsConfigWidget::allChannelsTable() const
{
    return ui->adcAllChannels;
}

QComboBox *ChannelsConfigWidget::rangeBox(int ch) const
{
    return chCtrls.value(ch).range;
}

QComboBox *ChannelsConfigWidget::allChannelsRangeBox() const
{
    return allCtrls.range;
}

ChannelsConfigWidget::ChannelCtrls ChannelsConfigWidget::createRow(QTableWidget *table, int row,
                                                                   const QString &label)
{
    ChannelCtrls c;
    c.item = new QTableWidgetItem(label);
    // The label is not for editing; the check box is the only input of the cell.
    c.item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    c.item->setCheckState(Qt::Unchecked);
    table->setItem(row, 0, c.item);
    auto *box = new ComboBoxNoWheel(table);
    addRangeItems(box);
    table->setCellWidget(row, 1, box);
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ChannelsConfigWidget::onRangeChanged);
    c.range = box;
    return c;
}

void ChannelsConfigWidget::setConfig(DeviceConfig *config)
{
    if (cfg)
        disconnect(cfg, nullptr, this, nullptr);
    cfg = config;
    if (chCtrls.isEmpty()) {
        updating = true;
        ui->adcChannels->setRowCount(DeviceConfig::ChannelCount);
        for (int i = 0; i < DeviceConfig::ChannelCount; ++i)
            chCtrls << createRow(ui->adcChannels, i, QString::number(i + 1));
        ui->adcAllChannels->setRowCount(1);
        ui->adcAllChannels->setColumnCount(ui->adcChannels->columnCount());
        allCtrls = createRow(ui->adcAllChannels, 0, tr("Все каналы"));
        // Wide enough for the check box and "Все каналы" as well.
        const int labelWidth = fontMetrics().horizontalAdvance(allCtrls.item->text()) +
                               style()->pixelMetric(QStyle::PM_IndicatorWidth) + 16;
        if (ui->adcChannels->columnWidth(0) < labelWidth)
            ui->adcChannels->setColumnWidth(0, labelWidth);
        for (int c = 0; c < ui->adcChannels->columnCount(); ++c)
            ui->adcAllChannels->setColumnWidth(c, ui->adcChannels->columnWidth(c));
        // Both columns in view, without a sideways scroll bar.
        const int tableWidth =
            ui->adcChannels->columnWidth(0) +
            std::max(allCtrls.range->sizeHint().width(), ui->adcChannels->columnWidth(1)) +
            2 * ui->adcChannels->frameWidth() + 2;
        ui->adcChannels->setMinimumWidth(tableWidth);
        ui->adcAllChannels->setMinimumWidth(tableWidth);
        updating = false;

        connect(ui->adcChannels->horizontalHeader(), &QHeaderView::sectionResized, this,
                &ChannelsConfigWidget::onChSectionResize);
        connect(ui->adcChannels, &QTableWidget::itemChanged, this,
                &ChannelsConfigWidget::onChannelItemChanged);
        connect(ui->adcAllChannels, &QTableWidget::itemChanged, this,
                &ChannelsConfigWidget::allChEnChanged);
        connect(allCtrls.range, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &ChannelsConfigWidget::allChRangeChanged);
        new TableHeightUpdater(ui->adcChannels, false);
    }
    if (cfg)
        connect(cfg, &DeviceConfig::ch16ModeChanged, this, &ChannelsConfigWidget::updateCh16Mode);
}

void ChannelsConfigWidget::showConfig()
{
    if (!cfg)
        return;
    updating = true;
    for (int i = 0; i < chCtrls.size(); ++i) {
        const DeviceConfig::ChannelCfg &ch = cfg->channels[i];
        chCtrls[i].item->setCheckState(ch.enabled ? Qt::Checked : Qt::Unchecked);
        selectRange(chCtrls[i].range, ch.range);
    }
    updating = false;
    fillSensorBoxes();
    updateCh16Mode();
    updateAllRow();
}

void ChannelsConfigWidget::setSensorLibrary(const SensorLibrary *library)
{
    lib = library;
    if (!lib || chCtrls.isEmpty())
        return;
    if (sensorBoxes.isEmpty()) {
        QTableWidget *t = ui->adcChannels;
        t->setColumnCount(3);
        t->setHorizontalHeaderItem(2, new QTableWidgetItem(tr("Датчик")));
        for (int i = 0; i < chCtrls.size(); ++i) {
            auto *box = new ComboBoxNoWheel(t);
            t->setCellWidget(i, 2, box);
            connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                    [this, i] { onSensorChosen(i); });
            sensorBoxes << box;
        }
        t->setColumnWidth(1, std::max(t->columnWidth(1), chCtrls[0].range->sizeHint().width()));
        t->setColumnWidth(2, 160);
        t->setMinimumWidth(t->minimumWidth() + 160);
        ui->adcAllChannels->setMinimumWidth(t->minimumWidth());
    }
    fillSensorBoxes();
}

void ChannelsConfigWidget::fillSensorBoxes()
{
    if (!lib || !cfg)
        return;
    const bool wasUpdating = updating;
    updating = true;
    for (int i = 0; i < sensorBoxes.size(); ++i) {
        QComboBox *box = sensorBoxes.at(i);
        box->clear();
        box->addItem(tr("— нет —"), QString());
        for (const Sensor &s : lib->sensors())
            box->addItem(s.name, s.name);
        const QString current = cfg->sensors[i].sensorName;
        int index = box->findData(current);
        if (index < 0) {
            // Carried in with a configuration from elsewhere: its copy is kept.
            box->addItem(tr("%1 (из конфигурации)").arg(current), current);
            index = box->count() - 1;
        }
        box->setCurrentIndex(index);
    }
    updating = wasUpdating;
}

void ChannelsConfigWidget::onSensorChosen(int ch)
{
    if (updating || !cfg || !lib || ch < 0 || ch >= DeviceConfig::ChannelCount)
        return;
    const QString name = sensorBoxes.at(ch)->currentData().toString();
    ChannelSensor &s = cfg->sensors[ch];
    if (name == s.sensorName)
        return;
    const QString oldUnit = s.valueUnit();
    ChannelSensor next;
    next.limits = s.limits;
    if (const Sensor *sensor = lib->find(name)) {
        next.sensorName = sensor->name;
        next.unit = sensor->unit;
        next.scaling = sensor->scaling;
        next.nextCalibrationDate = sensor->nextCalibrationDate;
    }
    // Limits in another unit would mean something else.
    if (next.valueUnit() != oldUnit)
        next.limits = ChannelLimits();
    s = next;
}

void ChannelsConfigWidget::updateConfig()
{
    if (!cfg)
        return;
    for (int i = 0; i < chCtrls.size(); ++i) {
        cfg->setChannelEnabled(i, chCtrls[i].item->checkState() == Qt::Checked);
        cfg->setChannelRange(i, chCtrls[i].range->currentData().toInt());
    }
}

void ChannelsConfigWidget::onRangeChanged()
{
    if (!cfg)
        return;
    for (int i = 0; i < chCtrls.size(); ++i) {
        if (chCtrls[i].range == sender()) {
            cfg->setChannelRange(i, chCtrls[i].range->currentData().toInt());
            updateAllRow();
            return;
        }
    }
    // The all-channels combo is handled by allChRangeChanged().
}

void ChannelsConfigWidget::onChannelItemChanged(QTableWidgetItem *item)
{
    if (!cfg)
        return;
    for (int i = 0; i < chCtrls.size(); ++i) {
        if (chCtrls[i].item == item) {
            cfg->setChannelEnabled(i, item->checkState() == Qt::Checked);
            if (!updating)
                updateAllRow();
            return;
        }
    }
}

void ChannelsConfigWidget::updateCh16Mode()
{
    if (!cfg || chCtrls.size() <= Ch16Row)
        return;
    const ChannelCtrls &c = chCtrls[Ch16Row];
    if (cfg->ch16ForUref) {
        // Unchecked while still enabled, so the change reaches the model.
        c.item->setCheckState(Qt::Unchecked);
        c.item->setFlags(c.item->flags() & ~Qt::ItemIsEnabled);
        c.range->setEnabled(false);
    } else {
        c.item->setFlags(c.item->flags() | Qt::ItemIsEnabled);
        c.range->setEnabled(true);
    }
    updateAllRow();
}

void ChannelsConfigWidget::allChEnChanged(QTableWidgetItem *item)
{
    if (item != allCtrls.item || updating || item->checkState() == Qt::PartiallyChecked)
        return;
    const Qt::CheckState state = item->checkState() == Qt::Checked ? Qt::Checked : Qt::Unchecked;
    updating = true;
    for (const ChannelCtrls &c : qAsConst(chCtrls)) {
        if (isItemEnabled(c.item))
            c.item->setCheckState(state);
    }
    updating = false;
    updateAllRow();
}

void ChannelsConfigWidget::allChRangeChanged()
{
    if (updating)
        return;
    updating = true;
    const QVariant data = allCtrls.range->currentData();
    if (data.isValid() && data.toInt() >= 0) {
        for (const ChannelCtrls &c : qAsConst(chCtrls))
            selectRange(c.range, data.toInt());
    }
    updating = false;
    updateAllRow();
}

void ChannelsConfigWidget::onChSectionResize(int logicalIndex, int oldSize, int newSize)
{
    Q_UNUSED(oldSize)
    if (logicalIndex == 0)
        ui->adcAllChannels->setColumnWidth(0, newSize);
}

void ChannelsConfigWidget::updateAllRow()
{
    if (updating || chCtrls.isEmpty() || !allCtrls.item)
        return;
    updating = true;
    Qt::CheckState state = chCtrls[0].item->checkState();
    int range = chCtrls[0].range->currentData().toInt();
    for (int i = 1; i < chCtrls.size(); ++i) {
        const ChannelCtrls &c = chCtrls[i];
        if (!isItemEnabled(c.item))
            continue;
        if (c.item->checkState() != state)
            state = Qt::PartiallyChecked;
        if (c.range->currentData().toInt() != range)
            range = -1;
    }
    allCtrls.item->setCheckState(state);
    if (range < 0)
        allCtrls.range->setCurrentIndex(-1);
    else
        selectRange(allCtrls.range, range);
    updating = false;
}

void ChannelsConfigWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        if (allCtrls.item) {
            updating = true;
            allCtrls.item->setText(tr("Все каналы"));
            retranslateRangeItems(allCtrls.range);
            for (const ChannelCtrls &c : qAsConst(chCtrls))
                retranslateRangeItems(c.range);
            updating = false;
            if (!sensorBoxes.isEmpty()) {
                ui->adcChannels->setHorizontalHeaderItem(2, new QTableWidgetItem(tr("Датчик")));
                fillSensorBoxes();
            }
        }
    }
}
