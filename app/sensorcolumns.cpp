#include "sensorcolumns.h"

#include "channelsensordialog.h"
#include "condledindicator.h"
#include "device/deviceconfig.h"
#include "hierarchicalheaderview.h"
#include "measurementactions.h"
#include "plot.h"
#include "recordingactions.h"
#include "resultrules.h"
#include "sensorlibrarydialog.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <cmath>

namespace {

constexpr int ValueColumnWidth = 210;
constexpr int UnitColumnWidth = 70;
constexpr int ValueDecimals = 4;
const QColor WarningColor(255, 235, 60);
const QColor AlarmColor(255, 90, 80);

QString levelText(LimitMonitor::State s)
{
    if (s.level == LimitMonitor::Normal)
        return SensorColumns::tr("в пределах");
    const QString side = s.side == LimitMonitor::High ? SensorColumns::tr("выше верхнего предела")
                                                      : SensorColumns::tr("ниже нижнего предела");
    return (s.level == LimitMonitor::Alarm ? SensorColumns::tr("авария, %1")
                                           : SensorColumns::tr("предупреждение, %1"))
        .arg(side);
}

} // namespace

SensorColumns::SensorColumns(QMainWindow *w, QTableWidget *t, Plot *plot, QFormLayout *statusForm)
    : QObject(w)
    , window(w)
    , table(t)
    , timePlot(plot)
    , libPath(SensorLibrary::defaultPath())
    , log(new EventLog(EventLog::defaultDirectory(), this))
{
    log->makeCurrent();
    const SensorLibrary::LoadResult loaded = lib.load(libPath);
    if (!loaded.ok) {
        // Said once the window is up, not from inside its construction.
        const QString message = loaded.message;
        QTimer::singleShot(0, this, [this, message] {
            logEvent(EventLog::Other, message);
            QMessageBox::warning(window, tr("Датчики"), message);
        });
    }

    // Two columns after the unbalance: logical 18 and 19, so that every
    // other column keeps its number, moved on screen to 3 and 4.
    auto *header = qobject_cast<HierarchicalHeaderView *>(table->horizontalHeader());
    if (header) {
        if (auto *tree = qobject_cast<QStandardItemModel *>(header->headerTree())) {
            tree->setItem(0, tree->columnCount(), new QStandardItem);
            tree->setItem(0, tree->columnCount(), new QStandardItem);
        }
    }
    table->setColumnCount(UnitColumn + 1);
    table->horizontalHeader()->moveSection(ValueColumn, 3);
    table->horizontalHeader()->moveSection(UnitColumn, 4);
    table->setColumnWidth(ValueColumn, ValueColumnWidth);
    table->setColumnWidth(UnitColumn, UnitColumnWidth);

    libraryAct = new QAction(this);
    connect(libraryAct, &QAction::triggered, this, &SensorColumns::showLibrary);

    unitsAct = new QAction(this);
    unitsAct->setCheckable(true);
    plotLabelMv = timePlot->yAxis->label();
    timePlot->setContextMenuPolicy(Qt::ActionsContextMenu);
    timePlot->addAction(unitsAct);
    connect(unitsAct, &QAction::toggled, this, &SensorColumns::updatePlotAxis);

    channelAct = new QAction(this);
    zeroAct = new QAction(this);
    resetZeroAct = new QAction(this);
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    table->addActions({separator, channelAct, zeroAct, resetZeroAct});
    connect(channelAct, &QAction::triggered, this, [this] { openChannelDialog(currentRow()); });
    connect(zeroAct, &QAction::triggered, this, [this] { zeroRow(currentRow()); });
    connect(resetZeroAct, &QAction::triggered, this, [this] { resetZeroRow(currentRow()); });
    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (column == ValueColumn || column == UnitColumn)
            openChannelDialog(row);
    });

    lampLabel = new QLabel;
    lamp = new CondLedIndicator;
    lamp->setState(CondLedIndicator::Grey);
    auto *lampRow = new QWidget;
    auto *lampLayout = new QHBoxLayout(lampRow);
    lampLayout->setContentsMargins(0, 0, 0, 0);
    lampLayout->addStretch();
    lampLayout->addWidget(lampLabel);
    lampLayout->addWidget(lamp);
    statusForm->addRow(lampRow);

    dock = new QDockWidget(window);
    dock->setObjectName(QStringLiteral("eventLogDock"));
    logView = new QTableView(dock);
    logView->setModel(log);
    logView->verticalHeader()->setVisible(false);
    logView->horizontalHeader()->setStretchLastSection(true);
    logView->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Room for a whole time and the longest kind, the rest for the text.
    const QFontMetrics fm = logView->fontMetrics();
    logView->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("2026-12-31 23:59:59")) + 16);
    int kindWidth = 0;
    for (int k = EventLog::Limit; k <= EventLog::Other; ++k)
        kindWidth =
            std::max(kindWidth, fm.horizontalAdvance(EventLog::kindName(EventLog::Kind(k))));
    logView->setColumnWidth(1, kindWidth + 16);
    logView->verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    dock->setWidget(logView);
    connect(log, &QAbstractItemModel::rowsInserted, logView, &QTableView::scrollToBottom);
    connect(log, &EventLog::fileFailed, this,
            [this](const QString &reason) { qWarning("%s", qPrintable(reason)); });
    // Where the window's saved state had it; below everything the first time.
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    window->restoreDockWidget(dock);

    window->installEventFilter(this);
    retranslate();
    logEvent(EventLog::Other, tr("Программа запущена"));
}

SensorColumns::~SensorColumns() = default;

void SensorColumns::retranslate()
{
    if (auto *header = qobject_cast<HierarchicalHeaderView *>(table->horizontalHeader())) {
        if (auto *tree = qobject_cast<QStandardItemModel *>(header->headerTree())) {
            const int n = tree->columnCount();
            if (n >= 2) {
                tree->item(0, n - 2)->setText(tr("Значение"));
                tree->item(0, n - 1)->setText(tr("Ед."));
            }
        }
        header->viewport()->update();
    }
    libraryAct->setText(tr("Датчики..."));
    libraryAct->setToolTip(tr("Библиотека датчиков"));
    unitsAct->setText(tr("Значения в единицах датчиков"));
    channelAct->setText(tr("Датчик и пределы канала..."));
    zeroAct->setText(tr("Обнулить"));
    resetZeroAct->setText(tr("Сбросить ноль"));
    lampLabel->setText(tr("Пределы"));
    dock->setWindowTitle(tr("Журнал событий"));
    updatePlotAxis();
}

bool SensorColumns::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::LanguageChange)
        retranslate();
    return QObject::eventFilter(watched, event);
}

void SensorColumns::setConfig(const QSharedPointer<DeviceConfig> &config)
{
    if (cfg && config && cfg != config) {
        QStringList channels;
        for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
            if (config->channels[i].enabled)
                channels << QString::number(i + 1);
        }
        logEvent(
            EventLog::Config,
            tr("Конфигурация модуля изменена: каналы %1").arg(channels.join(QStringLiteral(", "))));
    }
    cfg = config;
    syncRows();
}

void SensorColumns::syncRows()
{
    if (!cfg)
        return;
    const int n = table->rowCount();
    rows.resize(n);
    int k = 0;
    for (int i = 0; i < DeviceConfig::ChannelCount && k < n; ++i) {
        if (!cfg->channels[i].enabled)
            continue;
        RowState &row = rows[k];
        if (row.channel != i) {
            row.channel = i;
            row.monitor.setLimits(cfg->sensors[i].limits);
            row.lastDc = qQNaN();
        } else if (row.monitor.limits() != cfg->sensors[i].limits) {
            row.monitor.setLimits(cfg->sensors[i].limits);
        }
        for (int c : {ValueColumn, UnitColumn}) {
            if (!table->item(k, c)) {
                auto *item = new QTableWidgetItem;
                item->setTextAlignment(c == ValueColumn ? Qt::AlignRight | Qt::AlignVCenter
                                                        : Qt::AlignLeft | Qt::AlignVCenter);
                table->setItem(k, c, item);
            }
        }
        ++k;
    }
    updatePlotAxis();
}

LimitMonitor::State SensorColumns::limitState(int row) const
{
    return row >= 0 && row < rows.size() ? rows.at(row).monitor.state() : LimitMonitor::State();
}

int SensorColumns::currentRow() const
{
    return table->currentRow();
}

void SensorColumns::clear()
{
    bool anyLimits = false;
    for (int r = 0; r < rows.size() && r < table->rowCount(); ++r) {
        rows[r].monitor.reset();
        rows[r].lastDc = qQNaN();
        anyLimits = anyLimits || rows.at(r).monitor.limits().isActive();
        colourRow(r, LimitMonitor::State());
        for (int c : {ValueColumn, UnitColumn}) {
            if (QTableWidgetItem *item = table->item(r, c)) {
                item->setText(QString());
                item->setToolTip(QString());
            }
        }
    }
    lamp->setState(anyLimits ? CondLedIndicator::Off : CondLedIndicator::Grey);
}

void SensorColumns::colourRow(int row, LimitMonitor::State state)
{
    QVariant background;
    if (state.level == LimitMonitor::Warning)
        background = QBrush(WarningColor);
    else if (state.level == LimitMonitor::Alarm)
        background = QBrush(AlarmColor);
    for (int c : {ValueColumn, UnitColumn}) {
        if (QTableWidgetItem *item = table->item(row, c))
            item->setData(Qt::BackgroundRole, background);
    }
}

void SensorColumns::showBlock(const DataBlockProcessor::DataBlock &block, bool held)
{
    if (!cfg)
        return;
    const QDate today = QDate::currentDate();
    int worst = -1; // no channel with limits
    const int n = std::min(rows.size(), block.channels.size());
    for (int r = 0; r < n && r < table->rowCount(); ++r) {
        const DataBlockProcessor::ChResult *c = block.channels.at(r).data();
        RowState &row = rows[r];
        if (!c || row.channel < 0)
            continue;
        const ChannelSensor &s = cfg->sensors[row.channel];
        row.lastDc = c->dc;
        QTableWidgetItem *valueCell = table->item(r, ValueColumn);
        QTableWidgetItem *unitCell = table->item(r, UnitColumn);
        // Held, the cells stay as they are; the limits are watched all the same.
        if (!held) {
            if (s.hasSensor()) {
                bool outside = false;
                const double v = s.value(c->dc, &outside);
                const double ac = s.acValue(c->dc, c->ac);
                QString text = ResultRules::formatFixed(v, ValueDecimals) + QStringLiteral(" / ") +
                               ResultRules::formatFixed(ac, ValueDecimals);
                if (outside)
                    text += QStringLiteral(" *");
                valueCell->setText(text);
                valueCell->setToolTip(outside ? tr("Вне диапазона градуировки: значение продолжено "
                                                   "по крайнему участку таблицы")
                                              : tr("DC / AC"));
                const bool due = s.nextCalibrationDate.isValid() && s.nextCalibrationDate < today;
                unitCell->setText(due ? s.unit + QStringLiteral(" (!)") : s.unit);
                unitCell->setToolTip(due ? tr("Срок градуировки датчика «%1» истёк %2")
                                                   .arg(s.sensorName,
                                                        s.nextCalibrationDate.toString(Qt::ISODate))
                                         : s.sensorName);
            } else {
                valueCell->setText(QString());
                unitCell->setText(QString());
            }
        }
        if (row.monitor.limits().isActive()) {
            const LimitMonitor::State before = row.monitor.state();
            const double value = s.limitValue(c->dc);
            const LimitMonitor::State after = row.monitor.update(value);
            if (after != before)
                reportLimit(r, before, after, value);
            if (!held)
                colourRow(r, after);
            worst = std::max(worst, int(after.level));
        }
    }
    if (held) {
        // the lamp belongs to the view
    } else if (worst < 0) {
        lamp->setState(CondLedIndicator::Grey);
    } else {
        lamp->setState(worst == LimitMonitor::Alarm     ? CondLedIndicator::Red
                       : worst == LimitMonitor::Warning ? CondLedIndicator::Yellow
                                                        : CondLedIndicator::Green);
    }

    if (channelDialog) {
        for (int r = 0; r < n; ++r) {
            if (rows.at(r).channel == channelDialog->channel())
                channelDialog->blockShown(rows.at(r).lastDc);
        }
    }
}

void SensorColumns::reportLimit(int row, LimitMonitor::State from, LimitMonitor::State to,
                                double value)
{
    const ChannelSensor &s = cfg->sensors[rows.at(row).channel];
    Q_UNUSED(from)
    logEvent(
        EventLog::Limit,
        tr("Канал %1: %2 (%3 %4)")
            .arg(rows.at(row).channel + 1)
            .arg(levelText(to), ResultRules::formatFixed(value, ValueDecimals), s.valueUnit()));
}

QVector<double> SensorColumns::plotValues(int row, const QVector<double> &mv) const
{
    if (!unitsAct->isChecked() || !cfg || row < 0 || row >= rows.size() || rows.at(row).channel < 0)
        return mv;
    const ChannelSensor &s = cfg->sensors[rows.at(row).channel];
    if (!s.hasSensor())
        return mv;
    QVector<double> out(mv.size());
    const double *in = mv.constData();
    double *o = out.data();
    for (int i = 0; i < mv.size(); ++i)
        o[i] = s.value(in[i]);
    return out;
}

void SensorColumns::updatePlotAxis()
{
    if (!unitsAct->isChecked() || !cfg) {
        timePlot->yAxis->setLabel(plotLabelMv);
    } else {
        // The unit when every shown channel has it, otherwise no unit.
        QString unit;
        bool same = true;
        for (int r = 0; r < rows.size() && r < table->rowCount(); ++r) {
            QTableWidgetItem *cell = table->item(r, 0);
            if (rows.at(r).channel < 0 || (cell && cell->checkState() != Qt::Checked))
                continue;
            const QString u = cfg->sensors[rows.at(r).channel].valueUnit();
            if (unit.isEmpty())
                unit = u;
            same = same && u == unit;
        }
        timePlot->yAxis->setLabel(same && !unit.isEmpty() ? unit : tr("значение"));
    }
    timePlot->requestRelpot();
}

void SensorColumns::applyChannel(int channel, const ChannelSensor &sensor)
{
    if (!cfg || channel < 0 || channel >= DeviceConfig::ChannelCount)
        return;
    const ChannelSensor before = cfg->sensors[channel];
    cfg->sensors[channel] = sensor;
    for (RowState &row : rows) {
        if (row.channel == channel && row.monitor.limits() != sensor.limits)
            row.monitor.setLimits(sensor.limits);
    }
    QStringList what;
    if (before.sensorName != sensor.sensorName)
        what << tr("датчик «%1»").arg(sensor.sensorName.isEmpty() ? tr("нет") : sensor.sensorName);
    if (before.scaling != sensor.scaling && !sensor.sensorName.isEmpty())
        what << tr("градуировка %1").arg(sensor.scaling.toText());
    if (before.zeroSet != sensor.zeroSet || before.zero != sensor.zero)
        what << (sensor.zeroSet ? tr("ноль %1 %2").arg(QLocale().toString(sensor.zero), sensor.unit)
                                : tr("ноль сброшен"));
    if (before.limits != sensor.limits)
        what << tr("пределы %1")
                    .arg(sensor.limits.isActive() ? sensor.limits.toText() : tr("сняты"));
    if (!what.isEmpty())
        logEvent(EventLog::Config,
                 tr("Канал %1: %2").arg(channel + 1).arg(what.join(QStringLiteral("; "))));
    updatePlotAxis();
}

ChannelSensorDialog *SensorColumns::openChannelDialog(int row)
{
    if (!cfg || row < 0 || row >= rows.size() || rows.at(row).channel < 0)
        return nullptr;
    const int channel = rows.at(row).channel;
    if (channelDialog && channelDialog->channel() != channel)
        channelDialog->close();
    if (!channelDialog) {
        channelDialog =
            new ChannelSensorDialog(channel, cfg->sensors[channel], &lib, libPath, window);
        channelDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(channelDialog, &ChannelSensorDialog::applied, this, &SensorColumns::applyChannel);
        connect(channelDialog, &ChannelSensorDialog::libraryChanged, this,
                &SensorColumns::libraryChanged);
        channelDialog->blockShown(rows.at(row).lastDc);
    }
    channelDialog->show();
    channelDialog->raise();
    return channelDialog;
}

void SensorColumns::zeroRow(int row)
{
    if (!cfg || row < 0 || row >= rows.size() || rows.at(row).channel < 0)
        return;
    ChannelSensor s = cfg->sensors[rows.at(row).channel];
    if (!s.hasSensor() || !std::isfinite(rows.at(row).lastDc)) {
        QMessageBox::information(window, tr("Обнулить"),
                                 tr("Обнулить можно канал с датчиком, показывающий значение"));
        return;
    }
    s.zero = s.scaling.apply(rows.at(row).lastDc);
    s.zeroSet = true;
    applyChannel(rows.at(row).channel, s);
}

void SensorColumns::resetZeroRow(int row)
{
    if (!cfg || row < 0 || row >= rows.size() || rows.at(row).channel < 0)
        return;
    ChannelSensor s = cfg->sensors[rows.at(row).channel];
    s.zeroSet = false;
    s.zero = 0;
    applyChannel(rows.at(row).channel, s);
}

void SensorColumns::showLibrary()
{
    SensorLibraryDialog dlg(&lib, libPath, window);
    connect(&dlg, &SensorLibraryDialog::libraryChanged, this, &SensorColumns::libraryChanged);
    dlg.exec();
}

void SensorColumns::logEvent(EventLog::Kind kind, const QString &text)
{
    log->add(kind, text);
}

void SensorColumns::watchRecording(RecordingActions *recording)
{
    connect(recording, &RecordingActions::recordingStarted, this, [this](const QString &path) {
        logEvent(EventLog::Recording,
                 tr("Запись измерения начата: %1").arg(QDir::toNativeSeparators(path)));
    });
    connect(recording, &RecordingActions::recordingEnded, this, [this](const QString &reason) {
        logEvent(EventLog::Recording, tr("Запись измерения завершена: %1").arg(reason));
    });
}

void SensorColumns::watchRecording(MeasurementActions *measurement)
{
    connect(measurement, &MeasurementActions::recordingStarted, this, [this](const QString &path) {
        logEvent(EventLog::Recording,
                 tr("Запись результатов начата: %1").arg(QDir::toNativeSeparators(path)));
    });
    connect(measurement, &MeasurementActions::recordingStopped, this,
            [this](const QString &reason) {
                logEvent(EventLog::Recording,
                         reason.isEmpty() ? tr("Запись результатов остановлена")
                                          : tr("Запись результатов прервана: %1").arg(reason));
            });
}
