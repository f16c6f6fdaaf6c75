#include "reviewwindow.h"

#include "deviceconfig.h"
#include "envelopegraph.h"
#include "measurementactions.h"
#include "measurementsnapshot.h"
#include "plot.h"
#include "resultrules.h"
#include "resultstable.h"
#include "savedstate.h"
#include "statuspanel.h"
#include "trendplot.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QShowEvent>
#include <QSlider>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>
#include <climits>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Shared with the recording's own file dialog: a recording is opened where
// it was written.
const char FolderKey[] = "MeasurementRecording/Dir";
const char SettingsGroup[] = "ReviewWindow";
constexpr int PageBlocks = 10;
constexpr int ClickSlackPx = 3; // a press and release closer than this are a click, not a pan

QString timeText(qint64 ms)
{
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(ms),
                              QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz"));
}

} // namespace

ReviewWindow::ReviewWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    buildUi();
    showTimer.setSingleShot(true);
    showTimer.setInterval(0);
    connect(&showTimer, &QTimer::timeout, this, [this] {
        if (pending >= 0)
            showBlockAt(pending);
    });
    connect(&model, &RecordingReview::grown, this, &ReviewWindow::onGrown);
    connect(&model, &RecordingReview::runsChanged, this, [this] {
        addTrendLines();
        fillRunList();
    });
    connect(&model, &RecordingReview::growingChanged, this, [this](bool on) {
        liveLabel->setVisible(on);
        fillRunList();
    });
    retranslate();
}

ReviewWindow::~ReviewWindow()
{
    qDeleteAll(rows);
}

void ReviewWindow::buildUi()
{
    QSettings settings;
    trendPlot = new TrendPlot;
    trendPlot->setObjectName(QStringLiteral("reviewTrendPlot"));
    trendPlot->loadSettings(&settings, QStringLiteral("ReviewTrendPlot"));
    timePlot = new Plot;
    timePlot->setObjectName(QStringLiteral("reviewTimePlot"));
    fftPlot = new Plot;
    fftPlot->setObjectName(QStringLiteral("reviewFftPlot"));
    // The live window's defaults: the spectrum's value axis fixed, above 0 dB too.
    PlotAxesConfig timeAxes;
    timeAxes.x = {true, 0.0, 1000.0};
    timeAxes.y = {true, 0.0, 25.0};
    timePlot->loadSettings(&settings, QStringLiteral("ReviewTimePlot"), &timeAxes);
    PlotAxesConfig fftAxes;
    fftAxes.x = {true, 0.0, 50000.0};
    fftAxes.y = {false, -150.0, 10.0};
    fftPlot->loadSettings(&settings, QStringLiteral("ReviewFftPlot"), &fftAxes);
    marker = new QCPItemStraightLine(trendPlot);
    marker->setPen(QPen(palette().color(QPalette::Highlight), 1.5, Qt::DashLine));
    marker->setVisible(false);

    auto *plots = new QWidget;
    auto *plotLayout = new QVBoxLayout(plots);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    plotLayout->addWidget(trendPlot, 1);
    plotLayout->addWidget(timePlot, 1);
    plotLayout->addWidget(fftPlot, 1);

    statusPanel = new StatusPanel;
    statusPanel->setObjectName(QStringLiteral("reviewStatusPanel"));
    runs = new QTreeWidget;
    runs->setObjectName(QStringLiteral("runList"));
    runs->setRootIsDecorated(false);
    runs->setColumnCount(4);
    runs->header()->setStretchLastSection(true);
    auto *side = new QWidget;
    // The panel's texts whole, and room for the end reasons of the runs.
    side->setMinimumWidth(std::max(440, statusPanel->sizeHint().width()));
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(statusPanel);
    sideLayout->addWidget(runs, 1);

    slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QStringLiteral("positionSlider"));
    slider->setRange(0, 0);
    slider->setPageStep(PageBlocks);
    slider->setEnabled(false);
    positionLabel = new QLabel;
    positionLabel->setObjectName(QStringLiteral("positionLabel"));
    liveLabel = new QLabel;
    liveLabel->setObjectName(QStringLiteral("liveIndicator"));
    liveLabel->setStyleSheet(QStringLiteral("QLabel{color:white;background:#c62828;"
                                            "padding:1px 6px;border-radius:3px;}"));
    liveLabel->hide();
    auto *nav = new QHBoxLayout;
    nav->addWidget(slider, 1);
    nav->addWidget(positionLabel);
    nav->addWidget(liveLabel);

    auto *upper = new QWidget;
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    auto *sideBySide = new QHBoxLayout;
    sideBySide->addWidget(plots, 1);
    sideBySide->addWidget(side);
    upperLayout->addLayout(sideBySide, 1);
    upperLayout->addLayout(nav);

    table = new QTableWidget;
    table->setObjectName(QStringLiteral("reviewTable"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setDefaultSectionSize(std::max(26, fontMetrics().height() + 8));
    results = new ResultsTable(table);

    splitter = new QSplitter(Qt::Vertical);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(upper);
    splitter->addWidget(table);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    auto *central = new QWidget;
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(4, 2, 4, 2);
    centralLayout->addWidget(splitter);
    setCentralWidget(central);

    measurement = new MeasurementActions(this, timePlot, fftPlot,
                                         [this](MeasurementSnapshot &s) { describe(s); });
    closeAct = new QAction(this);
    closeAct->setShortcut(QKeySequence::Close);
    connect(closeAct, &QAction::triggered, this, &QWidget::close);
    fileMenu = menuBar()->addMenu(QString());
    fileMenu->addAction(measurement->saveAction());
    fileMenu->addSeparator();
    fileMenu->addAction(closeAct);

    connect(slider, &QSlider::valueChanged, this, &ReviewWindow::goTo);
    const std::array<std::pair<int, int>, 6> steps = {{{Qt::Key_Left, -1},
                                                       {Qt::Key_Right, 1},
                                                       {Qt::Key_PageUp, -PageBlocks},
                                                       {Qt::Key_PageDown, PageBlocks},
                                                       {Qt::Key_Home, INT_MIN},
                                                       {Qt::Key_End, INT_MAX}}};
    for (const auto &step : steps) {
        auto *key = new QShortcut(QKeySequence(step.first), this);
        const int by = step.second;
        connect(key, &QShortcut::activated, this, [this, by] {
            const int from = pending >= 0 ? pending : std::max(0, current);
            if (by == INT_MIN)
                slider->setValue(slider->minimum());
            else if (by == INT_MAX)
                slider->setValue(slider->maximum());
            else
                slider->setValue(from + by);
        });
    }
    connect(runs, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        const int run = runs->indexOfTopLevelItem(item);
        for (int i = 0; i < model.blockCount(); ++i) {
            if (model.runOfBlock(i) == run) {
                slider->setValue(i);
                return;
            }
        }
    });
    connect(trendPlot, &QCustomPlot::mousePress, this,
            [this](QMouseEvent *event) { pressPos = event->pos(); });
    connect(trendPlot, &QCustomPlot::mouseRelease, this, &ReviewWindow::chooseOnTrend);
    connect(table, &QTableWidget::itemChanged, this, &ReviewWindow::onChannelCellChanged);

    settings.beginGroup(QLatin1String(SettingsGroup));
    resize(settings.value(QStringLiteral("size"), QSize(1100, 850)).toSize());
    const QByteArray split = settings.value(QStringLiteral("splitter")).toByteArray();
    if (SavedState::isSplitterStateSane(split, splitter->count()))
        autoSplit = !splitter->restoreState(split);
    connect(splitter, &QSplitter::splitterMoved, this, [this] { autoSplit = false; });
}

QTableWidget *ReviewWindow::resultsView() const
{
    return table;
}

QString ReviewWindow::lastFolder()
{
    return QSettings()
        .value(QLatin1String(FolderKey),
               QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .toString();
}

ReviewWindow *ReviewWindow::chooseAndOpen(QWidget *parent)
{
    const QString path =
        QFileDialog::getOpenFileName(parent, tr("Открыть запись"), lastFolder(),
                                     tr("Запись измерения, HDF5 (*.h5);;Все файлы (*)"));
    if (path.isEmpty())
        return nullptr;
    QSettings().setValue(QLatin1String(FolderKey), QFileInfo(path).absolutePath());
    auto *window = new ReviewWindow(parent);
    QString error;
    if (!window->openFile(path, &error)) {
        delete window;
        QMessageBox::critical(parent, tr("Открыть запись"), tr("Запись не открыта.\n%1").arg(error),
                              QMessageBox::Ok);
        return nullptr;
    }
    window->show();
    return window;
}

bool ReviewWindow::openFile(const QString &path, QString *error)
{
    if (!model.open(path, error, &trendPlot->store()))
        return false;
    addTrendLines();
    trendPlot->markDirty();
    trendPlot->rebuild();
    trendPlot->updateAxisAutoScale();
    trendPlot->replot();
    setWindowFilePath(path);
    fillRunList();
    liveLabel->setVisible(model.isGrowing());
    model.setFollowing(true);
    const int n = model.blockCount();
    slider->setRange(0, std::max(0, n - 1));
    slider->setEnabled(n > 0);
    retranslate();
    if (n == 0) {
        updatePosition();
        return true;
    }
    // Being written, the newest block; else the first.
    const int first = model.isGrowing() ? n - 1 : 0;
    const QSignalBlocker quiet(slider);
    slider->setValue(first);
    showBlockAt(first);
    return true;
}

// One line for every channel that any run recorded, also a run that began since.
void ReviewWindow::addTrendLines()
{
    std::array<bool, TrendStore::ChannelCount> drawn{};
    for (int g = 0; g < trendPlot->graphCount(); ++g) {
        const int ch = TrendPlot::graphChannel(trendPlot->graph(g));
        if (ch >= 0 && ch < TrendStore::ChannelCount)
            drawn[size_t(ch)] = true;
    }
    for (const RecordingReader::Run &run : model.runs()) {
        for (int ch : run.channels) {
            if (ch >= 1 && ch <= TrendStore::ChannelCount && !drawn[size_t(ch - 1)]) {
                drawn[size_t(ch - 1)] = true;
                QCPGraph *graph = trendPlot->addTrendGraph(ch - 1);
                graph->setPen(QPen(ResultRules::channelColor(ch - 1)));
            }
        }
    }
}

void ReviewWindow::goTo(int index)
{
    pending = index;
    showTimer.start();
}

bool ReviewWindow::showBlockAt(int index)
{
    pending = -1;
    RecordingReview::Shown shown;
    QString error;
    if (!model.loadBlock(index, &shown, &error)) {
        statusBar()->showMessage(error);
        return false;
    }
    setRows(shown.run);
    const QSharedPointer<DeviceConfig> config = model.runConfig(shown.run);
    const DataBlockProcessor::DataBlock &block = *shown.block;
    const int n = results->showBlock(rows, block, ResultsTable::Checks::of(*config), nullptr);
    {
        // Wide enough for the numbers shown, and never narrower: no jumping columns.
        QVector<int> widths;
        for (int c = 0; c < table->columnCount(); ++c)
            widths.append(table->columnWidth(c));
        table->resizeColumnsToContents();
        for (int c = 0; c < table->columnCount(); ++c)
            table->setColumnWidth(c, std::max(widths.at(c), table->columnWidth(c)));
    }
    // The lamps as the live window lit them, from the recording.
    for (int r = 0; r < n && (r + 1) * ResultsTable::LampCount <= shown.lamps.size(); ++r)
        ResultsTable::setLamps(rows.at(r), shown.lamps.constData() + r * ResultsTable::LampCount);
    statusPanel->showFrameStatus(block.status, *config);
    statusPanel->setCurrentSet(QLocale().toString(config->iSrcValue(), 'f', 3));
    for (Plot *plot : {timePlot, fftPlot}) {
        plot->updateAxisAutoScale();
        plot->requestRelpot();
    }
    current = index;
    {
        const QSignalBlocker quiet(slider);
        slider->setValue(index);
    }
    const double t = model.blockTimeMs(index) / 1000.0;
    marker->point1->setCoords(t, 0.0);
    marker->point2->setCoords(t, 1.0);
    marker->setVisible(true);
    trendPlot->requestRelpot();
    measurement->blockShown(shown.block,
                            QDateTime::fromMSecsSinceEpoch(model.blockTimeMs(index), Qt::UTC));
    statusBar()->clearMessage();
    updatePosition();
#ifdef __GLIBC__
    // The samples read and the analysis' buffers are freed by now; their pages
    // go back to the system, or a review left open holds the peak of every
    // block ever chosen.
    malloc_trim(0);
#endif
    return true;
}

// Rows for the channels of a run; blocks of the same run keep them.
void ReviewWindow::setRows(int run)
{
    if (run == rowsRun)
        return;
    const QVector<int> channels = model.runs().value(run).channels;
    QVector<int> shownChannels;
    for (const ChannelRow *row : qAsConst(rows))
        shownChannels.append(row->channelCell->text().toInt());
    rowsRun = run;
    if (shownChannels == channels)
        return;
    const QSignalBlocker quiet(table);
    for (ChannelRow *row : qAsConst(rows)) {
        timePlot->removeGraph(row->timeGraph);
        fftPlot->removeGraph(row->fftGraph);
    }
    qDeleteAll(rows);
    rows.clear();
    table->setRowCount(0);
    for (int r = 0; r < channels.size(); ++r) {
        auto *row = new ChannelRow;
        row->timeGraph = timePlot->addEnvelopeGraph();
        row->fftGraph = fftPlot->addEnvelopeGraph();
        results->addRow(r, row);
        ResultsTable::setRowChannel(row, channels.at(r) - 1);
        row->channelCell->setCheckState(Qt::Checked);
        rows.append(row);
    }
    fitSplitter();
}

// The table gets the height of its rows, the plots keep the rest (at least half).
void ReviewWindow::fitSplitter()
{
    if (!autoSplit || !isVisible())
        return;
    const int total = splitter->height() - splitter->handleWidth();
    if (total <= 0)
        return;
    const int shown = std::min(results->heightForRows(std::max(2, int(rows.size()))), total / 2);
    const QSignalBlocker quiet(splitter);
    splitter->setSizes({total - shown, shown});
}

void ReviewWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Once the panes have their heights.
    QTimer::singleShot(0, this, &ReviewWindow::fitSplitter);
    slider->setFocus();
}

void ReviewWindow::onChannelCellChanged(QTableWidgetItem *item)
{
    if (!ResultsTable::showRowGraphs(rows, item))
        return;
    // The trend draws a line per channel of the whole file, not per row.
    const int channel = item->text().toInt() - 1;
    for (int g = 0; g < trendPlot->graphCount(); ++g) {
        if (TrendPlot::graphChannel(trendPlot->graph(g)) == channel)
            trendPlot->graph(g)->setVisible(item->checkState() == Qt::Checked);
    }
    for (Plot *plot : {timePlot, fftPlot, static_cast<Plot *>(trendPlot)}) {
        plot->updateAxisAutoScale();
        plot->requestRelpot();
    }
}

void ReviewWindow::chooseOnTrend(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton ||
        (event->pos() - pressPos).manhattanLength() > ClickSlackPx)
        return;
    const double t = trendPlot->xAxis->pixelToCoord(event->pos().x());
    const int index = model.blockNear(qint64(t * 1000.0));
    if (index >= 0)
        slider->setValue(index);
}

void ReviewWindow::onGrown(int firstNew)
{
    // At the newest block, the view follows the recording; elsewhere it stays.
    const bool atEnd = current < 0 || current >= firstNew - 1;
    const int n = model.blockCount();
    {
        const QSignalBlocker quiet(slider);
        slider->setRange(0, std::max(0, n - 1));
        slider->setEnabled(n > 0);
    }
    trendPlot->markDirty();
    trendPlot->updateAxisAutoScale();
    if (atEnd && pending < 0)
        showBlockAt(n - 1);
    else
        updatePosition();
}

void ReviewWindow::fillRunList()
{
    const QList<RecordingReader::Run> &list = model.runs();
    runs->clear();
    for (int k = 0; k < list.size(); ++k) {
        const RecordingReader::Run &run = list.at(k);
        QString end;
        if (run.ended)
            end = run.endCode != 0
                      ? tr("%1 (код %2)").arg(run.endReason, QString::number(run.endCode))
                      : run.endReason;
        else if (k + 1 == list.size() && model.isGrowing())
            end = tr("идёт запись");
        else
            end = tr("оборван: окончание не записано");
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(run.startTimeMs);
        auto *item = new QTreeWidgetItem({QString::number(run.number),
                                          QLocale().toString(start, QStringLiteral("HH:mm:ss")),
                                          QString::number(run.blocks), end});
        item->setToolTip(1, timeText(run.startTimeMs));
        item->setToolTip(3, end);
        runs->addTopLevelItem(item);
    }
    for (int c = 0; c < 3; ++c)
        runs->resizeColumnToContents(c);
}

void ReviewWindow::updatePosition()
{
    const int n = model.blockCount();
    if (n == 0 || current < 0) {
        positionLabel->setText(n == 0 ? tr("В записи нет ни одного блока") : QString());
        return;
    }
    const int run = model.runOfBlock(current);
    positionLabel->setText(tr("Блок %1 из %2, прогон %3, %4")
                               .arg(QLocale().toString(current + 1), QLocale().toString(n),
                                    QString::number(model.runs().value(run).number),
                                    timeText(model.blockTimeMs(current))));
}

void ReviewWindow::describe(MeasurementSnapshot &s) const
{
    const int run = model.runOfBlock(current);
    s.setConfig(*model.runConfig(run));
    s.channelNumbers = model.runs().value(run).channels;
    s.plottedRows.clear();
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r)->channelCell->checkState() == Qt::Checked)
            s.plottedRows.append(r);
    }
    s.moduleSerial = model.moduleSerial();
    s.crateSerial = model.crateSerial();
}

void ReviewWindow::retranslate()
{
    const QString name = model.path().isEmpty() ? QString() : QFileInfo(model.path()).fileName();
    setWindowTitle(tr("Просмотр записи: %1").arg(name));
    fileMenu->setTitle(tr("&Файл"));
    closeAct->setText(tr("Закрыть"));
    runs->setHeaderLabels({tr("Прогон"), tr("Начало"), tr("Блоков"), tr("Окончание")});
    liveLabel->setText(tr("в реальном времени"));
    timePlot->xAxis->setLabel(tr("Время, мс"));
    timePlot->yAxis->setLabel(tr("Амплитуда, мВ"));
    fftPlot->xAxis->setLabel(tr("Частота, Гц"));
    fftPlot->yAxis->setLabel(tr("Спектр амплитудный, dB"));
    results->retranslate();
    measurement->retranslate();
    fillRunList();
    updatePosition();
}

void ReviewWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::LanguageChange || !fileMenu)
        return;
    retranslate();
    // The numbers follow the new locale.
    if (current >= 0)
        showBlockAt(current);
}

void ReviewWindow::closeEvent(QCloseEvent *event)
{
    model.setFollowing(false);
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    if (!isMinimized() && !isMaximized())
        settings.setValue(QStringLiteral("size"), size());
    settings.setValue(QStringLiteral("splitter"), splitter->saveState());
    settings.endGroup();
    timePlot->saveSettings(&settings);
    fftPlot->saveSettings(&settings);
    trendPlot->saveSettings(&settings);
    event->accept();
}
