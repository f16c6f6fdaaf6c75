#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "condledindicator.h"
#include "crbapi.h"
#include "cursorreadout.h"
#include "device/apierror.h"
#include "device/deviceconfig.h"
#include "deviceconfigdialog.h"
#include "envelopegraph.h"
#include "grv480recvthread.h"
#include "hierarchicalheaderview.h"
#include "measurementactions.h"
#include "recordingactions.h"
#include "resultrules.h"
#include "runstatelabel.h"
#include "savedstate.h"
#include "sensorcolumns.h"
#include "settingsfilecheck.h"
#include "tablecopyaction.h"
#include "timinglog.h"
#include "trendplot.h"
#include "viewhold.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableWidgetItem>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cmath>

// Resources of the static library are kept only if someone initialises them.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

using namespace ResultRules;

namespace {

// The crate server runs on this machine.
constexpr quint32 ServerAddress = 0x7F000001; // 127.0.0.1, host byte order
constexpr quint16 DefaultServerPort = 11111;

constexpr int ColumnCount = 18;
constexpr int ChannelColumnWidth = 60;
constexpr int LedColumnWidth = 55;
constexpr int DefaultColumnWidth = 85;
constexpr int PanelMinimumWidth = 300;

quint16 serverPortFromEnvironment()
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("GRV480_SERVER_PORT", &ok);
    return ok && port > 0 && port <= 65535 ? quint16(port) : DefaultServerPort;
}

// A value the module reports as valid but that is not a number is not shown.
TGRV480MeasValue shownValue(TGRV480MeasValue v)
{
    if (!std::isfinite(v.value))
        v.valid = 0;
    return v;
}

// Replaces a graph's data; points that are not finite (a spectrum line of
// exactly zero gives -inf dB) become gaps instead of upsetting the autoscale.
// The channel graphs keep the block's vectors themselves, with no copy.
// Keys i * scale * step, as the block's axes are built.
void setGraphData(QCPGraph *graph, double scale, double step, const QVector<double> &values)
{
    if (auto *envelope = qobject_cast<EnvelopeGraph *>(graph)) {
        envelope->setSource(scale, step, values);
        return;
    }
    const int n = values.size();
    const double *v = values.constData();
    QCPGraphDataContainer *container = graph->data().data();
    auto fill = [&](auto it) {
        for (int i = 0; i < n; ++i, ++it) {
            it->key = i * scale * step;
            it->value = std::isfinite(v[i]) ? v[i] : qQNaN();
        }
    };
    if (container->size() == n) {
        // Blocks of a run have one length: rewriting in place saves an allocation.
        fill(container->begin());
    } else {
        QVector<QCPGraphData> data(n);
        fill(data.begin());
        container->set(data, true);
    }
}

void clearGraphData(QCPGraph *graph)
{
    if (auto *envelope = qobject_cast<EnvelopeGraph *>(graph))
        envelope->clearSource();
    else
        graph->data()->clear();
}

QString settingsKeyOfRow(int r)
{
    return QStringLiteral("Ch%1/Visible").arg(r);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , handle{}
    , stopping(false)
    , recvThread(nullptr)
    , config(QSharedPointer<DeviceConfig>::create())
    , serverPort(serverPortFromEnvironment())
{
    initIconResources();
    procThread.setObjectName(QStringLiteral("GRV480 processing"));

    ui->setupUi(this);
    setStyleSheet(
        QStringLiteral("QGroupBox{border:1px solid black;margin-top: 0.5em;}"
                       "QGroupBox::title{subcontrol-origin: margin; subcontrol-position:top left;"
                       "padding:0 3px 0 3px; left: 10px;}"));
    buildResultsArea();

    GRV480_Init(&handle);

    // Before the first value is read: one crafted value would abort every start.
    const SettingsFileCheck::Outcome mend = SettingsFileCheck::mendUserSettings();
    if (!mend.ok) {
        // Not modal: the window comes up all the same, with the settings of the mended copy.
        QTimer::singleShot(0, this, [this, mend]() {
            auto *box = new QMessageBox(
                    QMessageBox::Warning, tr("Настройки программы"),
                    tr("Файл настроек %1 не удалось исправить: %2.\nПрограмма работает с "
                       "исправленной копией настроек; изменения настроек в этом сеансе не "
                       "сохранятся.")
                            .arg(QDir::toNativeSeparators(SettingsFileCheck::userSettingsFileName()),
                                 mend.error),
                    QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    }
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainWindow"));
    const bool firstStart = !settings.contains(QStringLiteral("state"));
    if (!firstStart) {
        const QByteArray state = settings.value(QStringLiteral("state")).toByteArray();
        // One dock widget: the event log, made with the sensor columns below.
        // A state that would leave no tool bar and no menu bar is no way to
        // start: nothing would lead to the actions.
        if (SavedState::isMainWindowStateSane(state, 0, findChildren<QToolBar *>().size(), 1)
            && SavedState::keepsWayIn(state, menuBar()->isVisibleTo(this)))
            restoreState(state, 0);
    }
    const QSize size =
        SavedState::windowSize(settings.value(QStringLiteral("size")), QSize(700, 700));
    resize(size);
    move(SavedState::windowPos(settings.value(QStringLiteral("pos")), size, QPoint(200, 100)));
    // After the geometry, which would otherwise undo it; the size becomes the
    // normal geometry that un-maximising returns to.
    if (firstStart)
        setWindowState(windowState() | Qt::WindowMaximized);
    const QByteArray splitState = settings.value(QStringLiteral("ChSplitState")).toByteArray();
    if (!SavedState::isSplitterStateSane(splitState, ui->splitter->count())
        || !ui->splitter->restoreState(splitState)) {
        ui->splitter->setSizes({700, 200});
        autoSplit = true; // fitted to the rows once the window has its size
    }
    settings.endGroup();

    buildTableHeader();

    // Before the plots' settings, which hold the cursors too.
    cursorReadout = new CursorReadout(ui->timePlot, ui->fftPlot, ui->widget_2);
    ui->verticalLayout_2->addWidget(cursorReadout);
    PlotAxesConfig timeAxes;
    timeAxes.x = {true, 0.0, 1000.0};
    timeAxes.y = {true, 0.0, 25.0};
    ui->timePlot->loadSettings(&settings, QStringLiteral("TimePlot"), &timeAxes);
    PlotAxesConfig fftAxes;
    fftAxes.x = {true, 0.0, 50000.0};
    // Above 0 dB: a channel beyond its range shows its line above the range.
    fftAxes.y = {false, -150.0, 10.0};
    ui->fftPlot->loadSettings(&settings, QStringLiteral("FftPlot"), &fftAxes);
    retranslateAxes();
    trendPlot = new TrendPlot(ui->widget_2);
    trendPlot->setObjectName(QStringLiteral("trendPlot"));
    ui->verticalLayout_2->addWidget(trendPlot);
    trendPlot->loadSettings(&settings, QStringLiteral("TrendPlot"));
    showTrendAct = new QAction(this);
    showTrendAct->setCheckable(true);
    showTrendAct->setChecked(
        settings.value(QStringLiteral("MainWindow/TrendVisible"), true).toBool());
    trendPlot->setVisible(showTrendAct->isChecked());
    connect(showTrendAct, &QAction::toggled, trendPlot, &QWidget::setVisible);

    ui->uneg->setShortVisible(false);
    ui->vadj->setOpenVisible(false);
    ui->vadj->setShortVisible(false);

    sensorColumns = new SensorColumns(this, ui->paramsTable, ui->timePlot, ui->formLayout_2);
    config->loadSettings(settings);
    for (const QString &problem : qAsConst(config->sensorProblems))
        sensorColumns->logEvent(EventLog::Config, problem);
    updateConfigUi();

    ui->actionClearSamples->setEnabled(false);
    ui->refreshDevsBtn->setDefaultAction(ui->actionRefreshDeviceList);
    measurement =
        new MeasurementActions(this, ui->timePlot, ui->fftPlot,
                               [this](MeasurementSnapshot &s) { describeMeasurement(s); });
    ui->toolBar->addAction(measurement->saveAction());
    ui->toolBar->addAction(measurement->recordAction());
    hold = new ViewHold(this);
    ui->toolBar->addAction(hold->action());
    ui->toolBar->addAction(cursorReadout->toggleAction());
    connect(hold, &ViewHold::released, this, &MainWindow::showBlock);
    ui->toolBar->addAction(sensorColumns->libraryAction());
    sensorColumns->watchRecording(measurement);
    recording = new RecordingActions(this, &processor, [this] {
        RecordingRun run = RecordingRun::fromConfig(*config);
        MeasurementSnapshot where;
        describeMeasurement(where);
        run.moduleSerial = where.moduleSerial;
        run.crateSerial = where.crateSerial;
        run.slot = where.slot;
        return run;
    });
    ui->toolBar->addAction(recording->action());
    sensorColumns->watchRecording(recording);
    ui->toolBar->addAction(showTrendAct);
    showTrendAct->setText(tr("Тренд"));
    buildMenus();

    connect(ui->actionConfigure, &QAction::triggered, this, &MainWindow::configure);
    connect(ui->actionClearSamples, &QAction::triggered, this, &MainWindow::clearData);
    connect(ui->actionClearSamples, &QAction::triggered, trendPlot, [this] {
        trendPlot->store().clear();
        trendPlot->markDirty();
    });
    connect(ui->actionRefreshDeviceList, &QAction::triggered, this, &MainWindow::refreshDevList);
    connect(ui->paramsTable, &QTableWidget::itemChanged, this,
            &MainWindow::onParamTableItemChanged);
    connect(&processor, &DataBlockProcessor::newBlock, this, &MainWindow::showBlock);
    connect(this, &MainWindow::procParamsUpdated, &processor,
            &DataBlockProcessor::processParamsUpdate);

    procThread.start(QThread::InheritPriority);
    processor.moveToThread(&procThread);

    refreshDevList();
}

MainWindow::~MainWindow()
{
    // A window destroyed without being closed must not leave threads behind.
    shutDown();
    qDeleteAll(rows);
    delete ui;
}

bool MainWindow::isModuleOpen()
{
    return GRV480_IsOpened(&handle) == 0;
}

void MainWindow::retranslateAxes()
{
    ui->timePlot->xAxis->setLabel(tr("Время, мс"));
    ui->timePlot->yAxis->setLabel(tr("Амплитуда, мВ"));
    ui->fftPlot->xAxis->setLabel(tr("Частота, Гц"));
    ui->fftPlot->yAxis->setLabel(tr("Спектр амплитудный, dB"));
}

// Fills the header tree with the texts of the current language; the first
// call creates its items.
void MainWindow::retranslateTableHeader()
{
    struct Section
    {
        QString title;
        QStringList leaves;
    };
    const QList<Section> sections = {
        {tr("№\nканала"), {}},
        {tr("Разбаланс"), {tr("DC, мВ"), tr("AC, мВ")}},
        {tr("Диа-\nпазон"), {}},
        {tr("Линия"), {tr("КЗ"), tr("Обр.")}},
        {tr("Условия"), {QStringLiteral("Udiff"), QStringLiteral("Ucm")}},
        {tr("Промежуточные измерения"), {tr("Ux, В"), tr("Udiff, В"), tr("Ucm, В")}},
        {tr("Рабочие границы"), {tr("Ucm min, В"), tr("Ucm max, В")}},
        {tr("Характеристики синусоидального сигнала"),
         {tr("Част. пика"), tr("Амп. пика"), QStringLiteral("SNR"), QStringLiteral("SINAD"),
          QStringLiteral("ENOB")}},
    };
    for (int i = 0; i < sections.size(); ++i) {
        QStandardItem *top = headerTree->item(0, i);
        if (!top) {
            top = new QStandardItem;
            headerTree->setItem(0, i, top);
        }
        top->setText(sections.at(i).title);
        for (int j = 0; j < sections.at(i).leaves.size(); ++j) {
            QStandardItem *leaf = top->child(0, j);
            if (!leaf) {
                leaf = new QStandardItem;
                top->setChild(0, j, leaf);
            }
            leaf->setText(sections.at(i).leaves.at(j));
        }
    }
}

void MainWindow::buildTableHeader()
{
    auto *header = new HierarchicalHeaderView(Qt::Horizontal, this);
    headerTree = new QStandardItemModel(header);
    retranslateTableHeader();
    header->setHeaderTree(headerTree);
    header->setSectionsClickable(true);
    // The replaced header took the form's section size with it.
    header->setDefaultSectionSize(DefaultColumnWidth);
    ui->paramsTable->setHorizontalHeader(header);
    ui->paramsTable->setColumnCount(ColumnCount);
    ui->paramsTable->setColumnWidth(0, ChannelColumnWidth);
    for (int c = 3; c <= 7; ++c)
        ui->paramsTable->setColumnWidth(c, LedColumnWidth);
    // Lamps go to the clipboard by colour, under the titles, as the export writes them.
    auto *copy = new TableCopyAction(ui->paramsTable);
    copy->setColumnTitles(MeasurementTable::tableColumnTitles());
    copy->setCellText([table = ui->paramsTable](const QModelIndex &index) {
        const auto *lamp =
            qobject_cast<CondLedIndicator *>(table->cellWidget(index.row(), index.column()));
        return lamp ? MeasurementTable::lampText(lamp->state()) : QString();
    });
    ui->paramsTable->addAction(copy);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainWindow"));
    if (!isMinimized()) {
        settings.setValue(QStringLiteral("state"), saveState(0));
        settings.setValue(QStringLiteral("size"), size());
        settings.setValue(QStringLiteral("pos"), pos());
        settings.setValue(QStringLiteral("ChSplitState"), ui->splitter->saveState());
    }
    settings.setValue(QStringLiteral("TrendVisible"), showTrendAct->isChecked());
    settings.beginGroup(QStringLiteral("Channels"));
    for (int r = 0; r < rows.size(); ++r)
        saveChannelVisibility(settings, r);
    settings.endGroup();
    settings.endGroup();

    ui->timePlot->saveSettings(&settings);
    ui->fftPlot->saveSettings(&settings);
    trendPlot->saveSettings(&settings);
    config->saveSettings(settings);

    shutDown();
    event->accept();
}

// Acquisition first, then the module, the processing thread last: the
// acquisition thread uses the handle, and the processor may still hold frames.
void MainWindow::shutDown()
{
    if (recvThread) {
        disconnect(recvThread, &GRV480RecvThread::dataReceived, &processor,
                   &DataBlockProcessor::processFrame);
        stopping = true;
        recvThread->requestStop();
        recvThread->wait();
        recvThread = nullptr;
        updateUiState();
    }
    recording->windowClosing();
    if (isModuleOpen())
        GRV480_Close(&handle);
    procThread.quit();
    procThread.wait();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::LanguageChange)
        return;
    ui->retranslateUi(this);
    retranslateTableHeader();
    ui->paramsTable->horizontalHeader()->viewport()->update();
    retranslateAxes();
    for (int i = 0; i < modules.size() && i < ui->modulesList->count(); ++i)
        ui->modulesList->setItemText(i, moduleTitle(modules.at(i)));
    if (measurement)
        measurement->retranslate();
    if (recording)
        recording->retranslate();
    // The numbers on screen follow the new locale.
    updateUiState();
    if (lastBlock)
        showBlockValues(*lastBlock);
    for (Plot *plot : {ui->timePlot, ui->fftPlot})
        plot->replot(QCustomPlot::rpQueuedReplot);
    retranslateGuide();
    if (showTrendAct)
        showTrendAct->setText(tr("Тренд"));
}

void MainWindow::updateUiState()
{
    const bool open = isModuleOpen();
    ui->moduleLed->setChecked(open && !linkLost);
    ui->isrcSet->setText(open ? QLocale().toString(config->iSrcValue(), 'f', 3) : QString());
    if (linkLost)
        setStale(true);
    updateRunState();
    updateResultsArea();
}

// --- discovery and connection ---------------------------------------------

void MainWindow::refreshDevList()
{
    clearData();
    stopDevice();
    recording->runEnded(RunEnd{0, QStringLiteral("Обновление списка модулей")});
    if (isModuleOpen())
        GRV480_Close(&handle);

    modules.clear();
    disconnect(ui->modulesList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &MainWindow::moduleChanged);
    ui->modulesList->clear();

    TCRB svc;
    CRB_Init(&svc);
    INT err = CRB_OpenSvcControl(&svc, ServerAddress, serverPort);
    serverAnswered = err == 0;
    if (err != 0) {
        showError(tr("Не удалось установить связь с сервером"), err);
    } else {
        char serials[CRB_MAX_CRATES][CRB_SERIAL_SIZE] = {};
        err = CRB_GetCrates(&svc, serials);
        CRB_Close(&svc);
        if (err != 0) {
            showError(tr("Не удалось получить список крейтов"), err);
        } else {
            for (const auto &entry : serials) {
                if (entry[0] == 0)
                    continue;
                // A serial that fills its 16 bytes has no terminating NUL.
                const QString serial =
                    QString::fromLocal8Bit(entry, int(qstrnlen(entry, CRB_SERIAL_SIZE)));
                TCRB crate;
                CRB_Init(&crate);
                if (CRB_OpenCrate(&crate, ServerAddress, serverPort, 0,
                                  serial.toLocal8Bit().constData()) != 0)
                    continue;
                uint16_t ids[CRB_SLOT_COUNT] = {};
                if (CRB_GetCrateModules(&crate, ids) == 0) {
                    for (int i = 0; i < CRB_SLOT_COUNT; ++i) {
                        if (ids[i] != GRV480_MODULE_ID)
                            continue;
                        const quint16 slot = quint16(i + 1);
                        modules.append({serial, slot});
                        ui->modulesList->addItem(moduleTitle(modules.constLast()));
                    }
                }
                CRB_Close(&crate);
            }
            if (!modules.isEmpty())
                ui->modulesList->setCurrentIndex(chooseModule());
        }
    }
    fitPanelWidth();

    listingModules = true;
    moduleChanged();
    listingModules = false;
    connect(ui->modulesList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::moduleChanged, Qt::UniqueConnection);
}

// QScrollArea keeps the size hint of its contents from the first layout, so a
// list that has grown wider would be cut: widen the panel to the contents.
void MainWindow::fitPanelWidth()
{
    QScrollArea *area = ui->scrollArea;
    const int width = area->widget()->sizeHint().width() + 2 * area->frameWidth() +
                      area->verticalScrollBar()->sizeHint().width();
    area->setMinimumWidth(std::max(PanelMinimumWidth, width));
}

void MainWindow::moduleChanged()
{
    stopDevice();
    recording->runEnded(RunEnd{0, QStringLiteral("Выбран другой модуль")});
    if (isModuleOpen())
        GRV480_Close(&handle);

    const int index = ui->modulesList->currentIndex();
    if (!listingModules)
        rememberModule(index);
    if (index >= 0 && index < modules.size()) {
        const ModuleEntry &entry = modules.at(index);
        const QByteArray crate = entry.crateSerial.toLocal8Bit();
        const INT err =
            GRV480_Open(&handle, ServerAddress, serverPort, crate.constData(), entry.slot);
        linkLost = err != 0 && ResultRules::isLinkError(err);
        if (err != 0) {
            showError(tr("Не удалось установить связь с модулем"), err);
            GRV480_Close(&handle);
        } else {
            ui->fpgaVer->setText(QString::number(handle.info.fpgaVersion));
            const char *sn = handle.info.moduleSerial;
            ui->serial->setText(
                QString::fromLocal8Bit(sn, int(qstrnlen(sn, sizeof(handle.info.moduleSerial)))));
            sensorColumns->logEvent(EventLog::Link, tr("Модуль открыт: %1").arg(ui->modulesList->currentText()));
            startDevice();
        }
    }
    updateUiState();
}

QString MainWindow::moduleTitle(const ModuleEntry &entry) const
{
    return tr("Крейт %1, Слот %2").arg(entry.crateSerial, QString::number(entry.slot));
}

void MainWindow::closeModule()
{
    stopDevice();
    if (isModuleOpen())
        GRV480_Close(&handle);
    updateUiState();
}

// --- acquisition control ---------------------------------------------------

void MainWindow::showError(QString msg, INT err)
{
    // One arg() call, so that a % in the message or the error text stays as it is.
    const QString text = tr("%1. Ошибка %2: %3").arg(msg, QString::number(err), apiErrorText(err));
    sensorColumns->logEvent(EventLog::Link, text);
    QMessageBox::critical(this, tr("Ошибка"), text, QMessageBox::Ok);
}

void MainWindow::configure()
{
    stopDevice();
    {
        // The dialog edits its own copy; nothing in the window is connected to
        // the configuration object, so the accepted copy simply replaces it.
        DeviceConfigDialog dlg(this, &handle, config.data());
        dlg.setSensorLibrary(sensorColumns->library(), sensorColumns->libraryPath());
        const bool accepted = dlg.exec() == QDialog::Accepted;
        if (accepted) {
            config = dlg.config();
            updateConfigUi();
        }
        recording->runEnded(RunEnd{0, accepted ? QStringLiteral("Настройка модуля: OK")
                                               : QStringLiteral("Настройка модуля: Отмена")});
    }
    startDevice();
}

void MainWindow::startDevice()
{
    // Two runs must never share the handle.
    stopDevice();

    if (isModuleOpen()) {
        config->fillDeviceConfig(&handle);
        const INT err = GRV480_SetADC(&handle);
        if (err != 0) {
            showError(tr("Не удалось записать конфигурацию модуля"), err);
        } else if (config->enabledChannelCount() > 0) {
            // without an enabled channel the module stays configured and idle
            const unsigned blockTimeMs = unsigned(std::max(0.0, config->measTime));
            clearData();
            recvThread = new GRV480RecvThread(&handle, blockTimeMs);
            // Normally onRecvThreadFinished deletes it; a window that goes away
            // before that queued call arrives takes its finished threads along.
            recvThread->setParent(this);
            connect(recvThread, &QThread::finished, this, &MainWindow::onRecvThreadFinished);
            connect(recvThread, &GRV480RecvThread::dataReceived, &processor,
                    &DataBlockProcessor::processFrame);
            recording->runStarted(recvThread->runId());
            recvThread->start(QThread::InheritPriority);
            trendPlot->store().addBreak(); // a restart is a gap, never a joined line
        }
    }
    updateUiState();
}

void MainWindow::stopDeviceReq()
{
    if (!recvThread)
        return;
    disconnect(recvThread, &GRV480RecvThread::dataReceived, &processor,
               &DataBlockProcessor::processFrame);
    stopping = true;
    recvThread->requestStop();
}

void MainWindow::stopDevice()
{
    if (!recvThread)
        return;
    stopDeviceReq();
    recvThread->wait();
    recvThread = nullptr;
    updateUiState();
}

void MainWindow::onRecvThreadFinished()
{
    stopping = false;
    auto *thread = qobject_cast<GRV480RecvThread *>(sender());
    if (!thread)
        return;
    // finished() is emitted just before the thread ends; deleting it earlier would abort.
    thread->wait();

    const int err = thread->lastError();
    if (ResultRules::isLinkError(err)) {
        linkLost = true;
        updateUiState(); // the lamp goes out before the box holds the window
    }
    if (err != 0) {
        recording->runEnded(RunEnd{err, QStringLiteral("Ошибка приема данных. Ошибка %1: %2")
                                            .arg(QString::number(err), apiErrorText(err))});
        showError(tr("Ошибка приема данных"), err);
    }
    // The box runs an event loop: a stop requested meanwhile, or a newer run,
    // owns recvThread now.
    if (!stopping && thread == recvThread) {
        recvThread = nullptr;
        updateUiState();
    }
    delete thread;
}

// --- results ------------------------------------------------------------------

void MainWindow::updateConfigUi()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainWindow"));
    settings.beginGroup(QStringLiteral("Channels"));
    const int wanted = config->enabledChannelCount();
    while (rows.size() < wanted)
        addChannelRow(settings);
    while (rows.size() > wanted)
        removeLastChannelRow(settings);

    int k = 0;
    for (int i = 0; i < DeviceConfig::ChannelCount && k < rows.size(); ++i) {
        if (!config->channels[i].enabled)
            continue;
        ChannelRow *row = rows.at(k++);
        row->channelCell->setText(QString::number(i + 1));
        // The colour belongs to the channel, not to the row that shows it.
        const QColor color = channelColor(i);
        row->timeGraph->setPen(QPen(color));
        row->fftGraph->setPen(QPen(color));
        row->channelCell->setForeground(QBrush(color));
        row->channelCell->setData(Qt::DecorationRole, color);
        row->trendGraph->setPen(QPen(color));
        trendPlot->setGraphChannel(row->trendGraph, i);
    }
    sensorColumns->setConfig(config);
    fitSplitterToRows();
}

void MainWindow::addChannelRow(QSettings &settings)
{
    const int r = rows.size();
    auto *row = new ChannelRow;
    // updateConfigUi colours the row once it knows the row's channel.
    row->timeGraph = ui->timePlot->addEnvelopeGraph();
    row->fftGraph = ui->fftPlot->addEnvelopeGraph();
    row->trendGraph = trendPlot->addTrendGraph(-1);

    QTableWidget *table = ui->paramsTable;
    table->setRowCount(r + 1);
    table->setColumnWidth(0, ChannelColumnWidth);

    row->channelCell = new QTableWidgetItem;
    table->setItem(r, 0, row->channelCell);
    for (int c = 1; c <= 2; ++c) {
        row->valueCells[c - 1] = new QTableWidgetItem;
        table->setItem(r, c, row->valueCells[c - 1]);
    }
    CondLedIndicator **leds[] = {&row->rangeLed, &row->shortLed, &row->openLed, &row->udiffLed,
                                 &row->ucmLed};
    for (int c = 3; c <= 7; ++c) {
        table->setColumnWidth(c, LedColumnWidth);
        *leds[c - 3] = new CondLedIndicator;
        table->setCellWidget(r, c, *leds[c - 3]);
    }
    row->rangeLed->setMeaning("MainWindow", QT_TRANSLATE_NOOP("MainWindow", "Диапазон"));
    row->shortLed->setMeaning("MainWindow",
                              QT_TRANSLATE_NOOP("MainWindow", "Короткое замыкание линии"));
    row->openLed->setMeaning("MainWindow", QT_TRANSLATE_NOOP("MainWindow", "Обрыв линии"));
    row->udiffLed->setMeaning("MainWindow", QT_TRANSLATE_NOOP("MainWindow", "Условие Udiff"));
    row->ucmLed->setMeaning("MainWindow", QT_TRANSLATE_NOOP("MainWindow", "Условие Ucm"));
    for (int c = 8; c <= 17; ++c) {
        row->valueCells[c - 6] = new QTableWidgetItem;
        table->setItem(r, c, row->valueCells[c - 6]);
    }

    const bool visible = settings.value(settingsKeyOfRow(r), true).toBool();
    row->channelCell->setCheckState(visible ? Qt::Checked : Qt::Unchecked);
    row->timeGraph->setVisible(visible);
    row->fftGraph->setVisible(visible);
    row->trendGraph->setVisible(visible);

    rows.append(row);
}

void MainWindow::removeLastChannelRow(QSettings &settings)
{
    if (rows.isEmpty())
        return;
    const int r = rows.size() - 1;
    saveChannelVisibility(settings, r);
    ChannelRow *row = rows.at(r);
    ui->paramsTable->removeRow(r);
    ui->timePlot->removeGraph(row->timeGraph);
    ui->fftPlot->removeGraph(row->fftGraph);
    trendPlot->removeGraph(row->trendGraph);
    rows.removeLast();
    delete row;
}

void MainWindow::saveChannelVisibility(QSettings &settings, int r)
{
    settings.setValue(settingsKeyOfRow(r), rows.at(r)->channelCell->checkState() == Qt::Checked);
}

void MainWindow::onParamTableItemChanged(QTableWidgetItem *item)
{
    // Every value written by showBlock lands here too; only a channel cell
    // changes what the plots show, so only then are they rescaled.
    bool channelCell = false;
    for (ChannelRow *row : qAsConst(rows)) {
        if (row->channelCell != item)
            continue;
        const bool visible = item->checkState() == Qt::Checked;
        row->timeGraph->setVisible(visible);
        row->fftGraph->setVisible(visible);
        row->trendGraph->setVisible(visible);
        channelCell = true;
    }
    if (!channelCell)
        return;
    cursorReadout->setBlock(cursorReadout->shownBlock(), plottedRows(), rowChannelNumbers());
    trendPlot->markDirty();
    for (Plot *plot : {ui->timePlot, ui->fftPlot}) {
        plot->updateAxisAutoScale();
        plot->requestRelpot();
    }
}

void MainWindow::resetValueCell(QTableWidgetItem *cell, bool usable)
{
    cell->setData(Qt::ForegroundRole, QVariant());
    cell->setData(Qt::BackgroundRole, usable ? QVariant() : QVariant(QBrush(Qt::darkGray)));
    cell->setText(QString());
}

void MainWindow::setValueCell(QTableWidgetItem *cell, const TGRV480MeasValue &v, bool pass,
                              int decimals)
{
    switch (valueCellLook(v.state, pass)) {
    case CellLook::Normal:
        cell->setData(Qt::ForegroundRole, QVariant());
        cell->setData(Qt::BackgroundRole, QVariant());
        break;
    case CellLook::NotMeasured:
        cell->setData(Qt::ForegroundRole, QVariant());
        cell->setData(Qt::BackgroundRole, QBrush(Qt::darkGray));
        break;
    case CellLook::Alarm:
        cell->setData(Qt::ForegroundRole, QBrush(Qt::red));
        cell->setData(Qt::BackgroundRole, QVariant());
        break;
    }
    cell->setText(v.valid ? formatFixed(v.value, decimals) : QString());
}

void MainWindow::setConditionLed(CondLedIndicator *led, int state, bool pass)
{
    led->setState(conditionLedState(state, pass));
}

void MainWindow::clearData()
{
    const DeviceConfig &c = *config;
    ui->uref->setValueEnabled(c.bgMeasUrefEn());
    ui->uref->setOpenCheck(c.bgMeasCheckOpenUrefEn());
    ui->uref->setShortCheck(c.bgMeasCheckShortUrefEn());
    ui->uref_r->setValueEnabled(c.bgMeasUrefEn() && c.ch16ForUref);
    ui->uref_r->setOpenCheck(c.bgMeasCheckOpenUrefEn() && c.ch16ForUref);
    ui->uref_r->setShortCheck(c.bgMeasCheckShortUrefEn() && c.ch16ForUref);
    ui->rref_r->setEnabled(c.bgMeasUrefEn() && c.ch16ForUref);
    ui->pref_r->setEnabled(c.bgMeasUrefEn() && c.ch16ForUref);
    ui->uneg->setValueEnabled(c.bgMeasUnegEn());
    ui->uneg->setOpenCheck(c.bgMeasCheckOpenUnegEn());
    ui->vadj->setValueEnabled(c.bgMeasVadjEn());

    const bool uxOrUcm = c.bgMeasUxEn() || c.bgMeasUcmEn();
    const bool ucm = c.bgMeasUcmEn();
    for (ChannelRow *row : qAsConst(rows)) {
        clearGraphData(row->timeGraph);
        clearGraphData(row->fftGraph);

        row->rangeLed->setState(LedOff);
        row->shortLed->setState(c.bgMeasCheckShortUxEn() ? LedOff : LedGrey);
        row->openLed->setState(c.bgMeasCheckOpenUxEn() ? LedOff : LedGrey);
        row->udiffLed->setState(uxOrUcm ? LedOff : LedGrey);
        row->ucmLed->setState(ucm ? LedOff : LedGrey);

        for (int col : {1, 2, 13, 14, 15, 16, 17}) {
            QTableWidgetItem *cell = row->cell(col);
            cell->setData(Qt::ForegroundRole, QVariant());
            cell->setData(Qt::BackgroundRole, QVariant());
            cell->setText(QString());
        }
        resetValueCell(row->cell(8), uxOrUcm);
        resetValueCell(row->cell(9), uxOrUcm);
        resetValueCell(row->cell(10), ucm);
        resetValueCell(row->cell(11), ucm);
        resetValueCell(row->cell(12), ucm);
    }
    ui->timePlot->replot(QCustomPlot::rpRefreshHint);
    ui->fftPlot->replot(QCustomPlot::rpRefreshHint);

    ui->loadPowExcLed->setState(LedOff);
    ui->uref->clear();
    ui->uref_r->clear();
    ui->vadj->clear();
    ui->uneg->clear();
    ui->rref->clear();
    ui->rref_r->clear();
    ui->pref_r->clear();
    ui->rrefPow->clear();
    ui->isrcRec->clear();

    ui->actionClearSamples->setEnabled(false);
    lastBlock.reset();
    setStale(false);
    measurement->blockCleared();
    cursorReadout->clear();
    hold->viewCleared();
    sensorColumns->clear();
}

void MainWindow::showBlock(QSharedPointer<DataBlockProcessor::DataBlock> block)
{
    // Blocks still queued when the window closed the module are not shown.
    if (!block || !procThread.isRunning())
        return;
    // The trend goes on whether the view is held or not.
    QVector<int> channels;
    for (int i = 0; i < DeviceConfig::ChannelCount; ++i) {
        if (config->channels[i].enabled)
            channels.append(i);
    }
    trendPlot->store().append(QDateTime::currentMSecsSinceEpoch() / 1000.0,
                              TrendStore::valuesOf(*block, channels));
    trendPlot->markDirty();
    // Held, the view stays as it is; recording and the limit watch go on
    // with every block.
    if (hold->isHeld()) {
        hold->blockArrived(block);
        sensorColumns->showBlock(*block, true);
        measurement->blockReceived(block);
        return;
    }
    lastBlock = block;
    showBlockValues(*block);
    sensorColumns->showBlock(*block);
    if (stale)
        setStale(false);
    runState->blockShown();
    measurement->blockShown(block);
    cursorReadout->setBlock(block, plottedRows(), rowChannelNumbers());
}

void MainWindow::showBlockValues(const DataBlockProcessor::DataBlock &b)
{
    const DataBlockProcessor::DataBlock *block = &b;
    const DeviceConfig &cfg = *config;
    const bool shortCheck = cfg.bgMeasCheckShortUxEn();
    const bool openCheck = cfg.bgMeasCheckOpenUxEn();
    const bool uxOrUcm = cfg.bgMeasUxEn() || cfg.bgMeasUcmEn();
    const bool ucm = cfg.bgMeasUcmEn();
    const TGRV480FrameStatus &f = block->status;

    const int n = std::min(rows.size(), block->channels.size());
    for (int r = 0; r < n; ++r) {
        const DataBlockProcessor::ChResult *c = block->channels.at(r).data();
        if (!c)
            continue;
        ChannelRow *row = rows.at(r);
        const TGRV480ChStatus &s = c->status;

        row->rangeLed->setState((s.flags & GRV480_CH_OUT_OF_RANGE) ? LedRed : LedGreen);
        setGraphData(row->timeGraph, 1000.0, c->sampleInterval,
                     sensorColumns->plotValues(r, c->values));
        if (!c->spectrum.isEmpty())
            setGraphData(row->fftGraph, 1.0, c->freqStep, c->spectrum);

        row->cell(1)->setText(formatFixed(c->dc, 6));
        row->cell(2)->setText(formatFixed(c->ac, 6));

        if (shortCheck)
            row->shortLed->setState(shortLedState(s.ux.state));
        if (openCheck)
            row->openLed->setState(openLedState(s.ux.state));

        if (uxOrUcm) {
            setValueCell(row->cell(8), s.ux, true, 6);
            const Udiff d = udiff(s.ux, f.uref, c->rangeMv);
            setValueCell(row->cell(9), d.value, d.pass, 6);
            setConditionLed(row->udiffLed, d.value.state, d.pass);
            if (ucm) {
                setValueCell(row->cell(10), s.ucm, true, 6);
                setValueCell(row->cell(11), withValue(d.value, s.ucmMin), true, 6);
                setValueCell(row->cell(12), withValue(d.value, s.ucmMax), true, 6);
                setConditionLed(row->ucmLed, s.ucm.state, s.ucm.state != GRV480_MV_COND_VIOLATED);
            }
        }

        if (c->peakValid) {
            row->cell(13)->setText(formatFixed(c->peakFreq, 3));
            row->cell(14)->setText(formatFixed(c->peakAmplitude, 6));
        } else {
            row->cell(13)->setText(QString());
            row->cell(14)->setText(QString());
        }
        if (c->harmValid) {
            row->cell(15)->setText(formatFixed(c->snr, 2));
            row->cell(16)->setText(formatFixed(c->sinad, 2));
            row->cell(17)->setText(formatFixed(c->enob, 2));
        } else {
            for (int col = 15; col <= 17; ++col)
                row->cell(col)->setText(QString());
        }
    }
    // The axes follow the last data given; one rescale per block does what one
    // per channel would, at a sixteenth of the cost.
    if (n > 0) {
        for (Plot *plot : {ui->timePlot, ui->fftPlot}) {
            plot->updateAxisAutoScale();
            plot->requestRelpot();
        }
        const DataBlockProcessor::ChResult *first = block->channels.first().data();
        logBlockShown(ui->timePlot, n, first ? first->values.size() : 0);
    }

    showStatusPanel(f);
}

QVector<int> MainWindow::plottedRows() const
{
    QVector<int> shown;
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r)->channelCell->checkState() == Qt::Checked)
            shown.append(r);
    }
    return shown;
}

QVector<int> MainWindow::rowChannelNumbers() const
{
    QVector<int> numbers;
    for (const ChannelRow *row : rows)
        numbers.append(row->channelCell->text().toInt());
    return numbers;
}

void MainWindow::describeMeasurement(MeasurementSnapshot &s) const
{
    s.setConfig(*config);
    s.plottedRows = plottedRows();
    s.moduleSerial = ui->serial->text();
    const int m = ui->modulesList->currentIndex();
    if (m >= 0 && m < modules.size()) {
        s.crateSerial = modules.at(m).crateSerial;
        s.slot = modules.at(m).slot;
    }
}

void MainWindow::showStatusPanel(const TGRV480FrameStatus &f)
{
    const double currentA = config->iSrcValue() / 1000.0;

    const TGRV480MeasValue uref = shownValue(f.uref);
    ui->uref->showValue(&uref, true, QString(), 3);
    if (f.uref.state == GRV480_MV_VALID) {
        const RefFigures ref = refFigures(f.uref.value, currentA);
        ui->rref->setText(formatFixed(ref.resistance, 3));
        ui->rrefPow->setText(formatFixed(ref.power, 3));
        const double r = bridgeResistance(f.uneg.value, f.uref.value, currentA);
        ui->isrcRec->setText(formatFixed(recommendedCurrent(r, config->ch16ForUref) * 1000.0, 3));
    } else {
        ui->rref->clear();
        ui->rrefPow->clear();
        ui->isrcRec->clear();
    }

    const TGRV480MeasValue urefR = shownValue(f.urefR);
    ui->uref_r->showValue(&urefR, true, QString(), 3);
    ui->rref_r->setEnabled(f.urefR.state != GRV480_MV_NOT_MEASURED);
    ui->pref_r->setEnabled(f.urefR.state != GRV480_MV_NOT_MEASURED);
    if (f.urefR.state == GRV480_MV_VALID) {
        const RefFigures ref = refFigures(f.urefR.value, currentA);
        ui->rref_r->setText(formatFixed(ref.resistance, 3));
        ui->pref_r->setText(formatFixed(ref.power, 3));
    } else {
        ui->rref_r->clear();
        ui->pref_r->clear();
    }

    const TGRV480MeasValue vadj = shownValue(f.vadj);
    ui->vadj->showValue(&vadj, true, QString(), 3);
    const TGRV480MeasValue uneg = shownValue(withValue(f.uneg, f.uneg.value * 1000.0));
    ui->uneg->showValue(&uneg, true, QString(), 3);

    ui->loadPowExcLed->setState((f.flags & GRV480_FRAME_LOAD_POWER_EXCEEDED) ? LedRed : LedGreen);
    ui->actionClearSamples->setEnabled(true);
}
