// The main window's ways in: the menu bar, the first-start panel in the
// results area, the status bar's account of the run, the remembered module
// and the room given to the results table.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "condledindicator.h"
#include "cursorreadout.h"
#include "device/deviceconfig.h"
#include "deviceconfigdialog.h"
#include "firststartpanel.h"
#include "grv480recvthread.h"
#include "helpdialog.h"
#include "lastlocations.h"
#include "measurementactions.h"
#include "qttranslationswitch.h"
#include "recordingactions.h"
#include "resultrules.h"
#include "runstatelabel.h"
#include "sensorcolumns.h"
#include "tablesviewdialog.h"
#include "taredialog.h"
#include "viewhold.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

namespace {

const char ModuleCrateKey[] = "MainWindow/ModuleCrate";
const char ModuleSlotKey[] = "MainWindow/ModuleSlot";
const char TimePlotShownKey[] = "MainWindow/TimePlotShown";
const char FftPlotShownKey[] = "MainWindow/FftPlotShown";
const int MinimumTableRows = 3;
const int MinimumPlotsHeight = 300; // both plots together

QAction *newAction(QObject *parent, const char *name, const QKeySequence &shortcut = {})
{
    auto *action = new QAction(parent);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    return action;
}

} // namespace

// --- menus --------------------------------------------------------------------

void MainWindow::buildMenus()
{
    Menus &m = menus;
    m.loadConfig = newAction(this, "actionLoadConfig", QKeySequence::Open);
    m.saveConfig = newAction(this, "actionSaveConfig", QKeySequence::Save);
    m.quit = newAction(this, "actionQuit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    m.showTimePlot = newAction(this, "actionShowTimePlot");
    m.showFftPlot = newAction(this, "actionShowFftPlot");
    m.fullScreen = newAction(this, "actionFullScreen", QKeySequence(Qt::Key_F11));
    m.tare = newAction(this, "actionTare");
    m.tables = newAction(this, "actionTables");
    m.helpPage = newAction(this, "actionHelp", QKeySequence::HelpContents);
    m.about = newAction(this, "actionAbout");
    m.quit->setMenuRole(QAction::QuitRole);
    m.about->setMenuRole(QAction::AboutRole);

    QMenuBar *bar = menuBar();
    m.file = bar->addMenu(QString());
    m.file->setObjectName(QStringLiteral("menuFile"));
    m.file->addAction(m.loadConfig);
    m.file->addAction(m.saveConfig);
    m.file->addSeparator();
    m.file->addAction(measurement->saveAction());
    m.file->addAction(measurement->recordAction());
    m.file->addAction(recording->action());
    m.file->addSeparator();
    m.file->addAction(m.quit);

    m.view = bar->addMenu(QString());
    m.view->setObjectName(QStringLiteral("menuView"));
    // The tool bar's own toggle, named after its translated title.
    m.view->addAction(ui->toolBar->toggleViewAction());
    m.view->addSeparator();
    m.view->addAction(m.showTimePlot);
    m.view->addAction(m.showFftPlot);
    m.view->addAction(showTrendAct);
    m.view->addAction(cursorReadout->toggleAction());
    m.view->addAction(sensorColumns->eventDock()->toggleViewAction());
    m.view->addAction(hold->action());
    m.view->addSeparator();
    m.view->addAction(m.fullScreen);
    m.view->addSeparator();
    m.language = m.view->addMenu(QString());
    m.language->setObjectName(QStringLiteral("menuLanguage"));
    m.language->addActions(QtTranslationSwitch::instance()->actions());

    m.module = bar->addMenu(QString());
    m.module->setObjectName(QStringLiteral("menuModule"));
    m.module->addAction(ui->actionRefreshDeviceList);
    m.module->addAction(ui->actionConfigure);
    m.module->addAction(m.tare);
    m.module->addAction(m.tables);
    m.module->addAction(sensorColumns->libraryAction());
    m.module->addSeparator();
    m.module->addAction(ui->actionClearSamples);

    m.helpMenu = bar->addMenu(QString());
    m.helpMenu->setObjectName(QStringLiteral("menuHelp"));
    m.helpMenu->addAction(m.helpPage);
    m.helpMenu->addAction(m.about);

    QSettings settings;
    for (auto [action, plot, key] :
         {std::make_tuple(m.showTimePlot, static_cast<QWidget *>(ui->timePlot), TimePlotShownKey),
          std::make_tuple(m.showFftPlot, static_cast<QWidget *>(ui->fftPlot), FftPlotShownKey)}) {
        action->setCheckable(true);
        const bool shown = settings.value(QLatin1String(key), true).toBool();
        action->setChecked(shown);
        plot->setVisible(shown);
        const char *k = key;
        connect(action, &QAction::toggled, this, [plot, k](bool on) {
            plot->setVisible(on);
            QSettings().setValue(QLatin1String(k), on);
        });
    }
    m.fullScreen->setCheckable(true);
    connect(m.fullScreen, &QAction::toggled, this,
            [this](bool on) { setWindowState(windowState().setFlag(Qt::WindowFullScreen, on)); });
    connect(m.loadConfig, &QAction::triggered, this, &MainWindow::loadConfigurationFile);
    connect(m.saveConfig, &QAction::triggered, this, &MainWindow::saveConfigurationFile);
    connect(m.quit, &QAction::triggered, this, &QWidget::close);
    connect(m.tare, &QAction::triggered, this, &MainWindow::runTareDialog);
    connect(m.tables, &QAction::triggered, this, &MainWindow::runTablesDialog);
    connect(m.helpPage, &QAction::triggered, this, &MainWindow::showHelp);
    connect(m.about, &QAction::triggered, this, &MainWindow::showAbout);
    retranslateGuide();
}

void MainWindow::retranslateGuide()
{
    Menus &m = menus;
    if (m.file) {
        m.file->setTitle(tr("&Файл"));
        m.view->setTitle(tr("&Вид"));
        m.language->setTitle(tr("Язык"));
        m.module->setTitle(tr("&Модуль"));
        m.helpMenu->setTitle(tr("&Справка"));
        m.loadConfig->setText(tr("Загрузить конфигурацию..."));
        m.saveConfig->setText(tr("Сохранить конфигурацию..."));
        m.quit->setText(tr("Выход"));
        m.showTimePlot->setText(tr("График сигнала"));
        m.showFftPlot->setText(tr("График спектра"));
        m.fullScreen->setText(tr("Во весь экран"));
        m.tare->setText(tr("Тарировка..."));
        m.tables->setText(tr("Просмотр таблиц..."));
        m.helpPage->setText(tr("Справка"));
        m.about->setText(tr("О программе"));
    }
    ui->loadPowExcLed->setToolTip(QString()); // named by its meaning
    updateRunState();
}

// --- results area and status bar ---------------------------------------------

void MainWindow::buildResultsArea()
{
    // The table keeps its place in the splitter (whose stored state counts
    // two panes); the panel shares that place when there is nothing to show.
    resultsArea = new QStackedWidget;
    resultsArea->setObjectName(QStringLiteral("resultsArea"));
    const QList<int> sizes = ui->splitter->sizes();
    ui->splitter->replaceWidget(ui->splitter->indexOf(ui->paramsTable), resultsArea);
    resultsArea->addWidget(ui->paramsTable);
    firstStart = new FirstStartPanel(resultsArea);
    resultsArea->addWidget(firstStart);
    ui->splitter->setSizes(sizes);
    // The replaced table had not been shown yet, and the splitter hands its
    // hidden state on to the area that takes its place.
    resultsArea->show();
    connect(firstStart, &FirstStartPanel::configureRequested, this, &MainWindow::configure);

    // Rows of the height of their lamps: sixteen channels fit a full-HD screen.
    ui->paramsTable->verticalHeader()->setMinimumSectionSize(1);
    ui->paramsTable->verticalHeader()->setDefaultSectionSize(
        std::max(26, fontMetrics().height() + 8));

    // The status panel takes the window's whole height beside the plots and
    // the table, so that it needs no scroll bar of its own on a 1280 x 720
    // screen and leaves the table the height of sixteen rows on a full-HD
    // one; its rows are closer together.
    ui->horizontalLayout->removeWidget(ui->scrollArea);
    ui->verticalLayout->removeWidget(ui->splitter);
    auto *sideBySide = new QHBoxLayout;
    sideBySide->setContentsMargins(0, 0, 0, 0);
    sideBySide->addWidget(ui->splitter, 1);
    sideBySide->addWidget(ui->scrollArea);
    ui->verticalLayout->addLayout(sideBySide);
    for (QFormLayout *form : {ui->formLayout, ui->formLayout_2})
        form->setVerticalSpacing(2);
    ui->formLayout_3->setVerticalSpacing(2);
    ui->verticalLayout_3->setSpacing(4);
    ui->verticalLayout_3->setContentsMargins(4, 0, 4, 0);
    ui->verticalLayout->setContentsMargins(4, 2, 4, 2);
    ui->horizontalLayout->setContentsMargins(0, 0, 0, 0);

    runState = new RunStateLabel(this);
    statusBar()->addPermanentWidget(runState);
    ui->loadPowExcLed->setMeaning("MainWindow",
                                  QT_TRANSLATE_NOOP("MainWindow", "Превышение мощности нагрузки"));

    ui->splitter->installEventFilter(this);
    connect(ui->splitter, &QSplitter::splitterMoved, this, [this]() { autoSplit = false; });
}

void MainWindow::updateResultsArea()
{
    if (!resultsArea)
        return;
    if (!serverAnswered) {
        firstStart->showReason(FirstStartPanel::NoServer,
                               QStringLiteral("127.0.0.1:%1").arg(serverPort));
        resultsArea->setCurrentWidget(firstStart);
    } else if (config->enabledChannelCount() == 0) {
        firstStart->showReason(FirstStartPanel::NoChannel);
        resultsArea->setCurrentWidget(firstStart);
    } else {
        resultsArea->setCurrentWidget(ui->paramsTable);
    }
}

void MainWindow::updateRunState()
{
    if (!runState)
        return;
    RunStateLabel::State s;
    const bool open = isModuleOpen();
    s.module = open ? moduleText(ui->modulesList->currentIndex()) : QString();
    s.blockSeconds = config->measTime / 1000.0;
    s.channels = config->enabledChannelCount();
    if (linkLost) {
        s.mode = RunStateLabel::State::LinkLost;
    } else if (!open) {
        s.mode = RunStateLabel::State::NoModule;
    } else if (recvThread) {
        s.mode = RunStateLabel::State::Acquiring;
        // The same run keeps counting; a new one starts at zero.
        if (shownRun == recvThread)
            s.block = runState->runState().block;
        shownRun = recvThread;
    } else {
        s.mode = s.channels == 0 ? RunStateLabel::State::NoChannel : RunStateLabel::State::Idle;
    }
    if (s.mode != RunStateLabel::State::Acquiring)
        shownRun = nullptr;
    if (menus.tare) {
        // Both need the module's handle.
        menus.tare->setEnabled(open);
        menus.tables->setEnabled(open);
    }
    runState->setRunState(s);

    ui->moduleLed->setToolTip(tr("Подключение к модулю: %1")
                                  .arg(linkLost ? tr("связь потеряна")
                                       : open   ? tr("установлено")
                                                : tr("нет")));
}

void MainWindow::setStale(bool on)
{
    if (stale == on)
        return;
    stale = on;
    // The numbers of the last block stay readable, in the colour of
    // disabled text, so that nobody takes them for current ones.
    QPalette pal;
    if (on) {
        pal = palette();
        pal.setColor(QPalette::Text, pal.color(QPalette::Disabled, QPalette::Text));
    }
    for (QWidget *w :
         {static_cast<QWidget *>(ui->paramsTable), static_cast<QWidget *>(ui->groupBox_2)})
        w->setPalette(pal);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->splitter && event->type() == QEvent::Resize)
        fitSplitterToRows();
    return QMainWindow::eventFilter(watched, event);
}

// Without stored pane sizes, the table gets the height of all its rows (at
// least a few), as long as the plots keep a readable height.
void MainWindow::fitSplitterToRows()
{
    // Before the window is shown its panes have no real height to share.
    if (!autoSplit || !resultsArea || !isVisible())
        return;
    const int total = ui->splitter->height() - ui->splitter->handleWidth();
    if (total <= 0)
        return;
    QTableWidget *table = ui->paramsTable;
    const int rowsShown = std::max(MinimumTableRows, table->rowCount());
    const int wanted = table->horizontalHeader()->sizeHint().height() +
                       rowsShown * table->verticalHeader()->defaultSectionSize() +
                       table->horizontalScrollBar()->sizeHint().height() + 2 * table->frameWidth();
    const int tableHeight = std::max(0, std::min(wanted, total - MinimumPlotsHeight));
    const int minimum = table->horizontalHeader()->sizeHint().height() +
                        2 * table->verticalHeader()->defaultSectionSize();
    const int shown = std::max(tableHeight, std::min(minimum, total / 2));
    const QSignalBlocker block(ui->splitter);
    ui->splitter->setSizes({total - shown, shown});
}

QColor MainWindow::shownChannelColor(int r) const
{
    QColor color(ResultRules::channelColor(r));
    // Black on a dark plot would vanish: there it takes the text colour.
    if (color == QColor(Qt::black) && palette().color(QPalette::Base).lightness() < 128)
        color = palette().color(QPalette::Text);
    return color;
}

// --- the remembered module -----------------------------------------------------

QString MainWindow::moduleText(int index) const
{
    return index >= 0 && index < ui->modulesList->count() ? ui->modulesList->itemText(index)
                                                          : QString();
}

int MainWindow::chooseModule()
{
    QSettings settings;
    const QString crate = settings.value(QLatin1String(ModuleCrateKey)).toString();
    bool slotOk = false;
    const int slot = settings.value(QLatin1String(ModuleSlotKey)).toInt(&slotOk);
    int index = -1;
    for (int i = 0; i < modules.size() && !crate.isEmpty() && slotOk; ++i) {
        if (modules.at(i).crateSerial == crate && modules.at(i).slot == slot) {
            index = i;
            break;
        }
    }
    QString message;
    if (index >= 0) {
        message = tr("Открыт модуль, выбранный ранее: %1").arg(moduleText(index));
    } else if (!crate.isEmpty() && slotOk) {
        message = tr("Модуль, выбранный ранее (крейт %1, слот %2), не найден; открыт первый: %3")
                      .arg(crate)
                      .arg(slot)
                      .arg(moduleText(0));
    } else {
        message = tr("Открыт первый найденный модуль: %1").arg(moduleText(0));
    }
    statusBar()->showMessage(message);
    return std::max(0, index);
}

void MainWindow::rememberModule(int index)
{
    if (index < 0 || index >= modules.size())
        return;
    QSettings settings;
    settings.setValue(QLatin1String(ModuleCrateKey), modules.at(index).crateSerial);
    settings.setValue(QLatin1String(ModuleSlotKey), modules.at(index).slot);
    statusBar()->clearMessage();
}

// --- actions of the menus ------------------------------------------------------

void MainWindow::loadConfigurationFile()
{
    const QString title = tr("Загрузка конфигурации модуля");
    const QString path = QFileDialog::getOpenFileName(
        this, title,
        LastLocations::proposedPath(LastLocations::Kind::Configuration, ui->serial->text(),
                                    QDateTime(), QStringLiteral("gm480cfg")),
        tr("Настройки GRV480 (*.gm480cfg)"));
    if (path.isEmpty())
        return;
    auto loaded = QSharedPointer<DeviceConfig>::create(*config);
    switch (DeviceConfigDialog::readConfigFile(path, loaded.data())) {
    case DeviceConfigDialog::ConfigFileUnreadable:
        QMessageBox::critical(this, title, tr("Ошибка открытия файла"));
        return;
    case DeviceConfigDialog::ConfigFileNotConfig:
        QMessageBox::critical(this, title, tr("Неверный формат файла конфигурации"));
        return;
    case DeviceConfigDialog::ConfigFileRead:
        break;
    }
    LastLocations::remember(LastLocations::Kind::Configuration, path);
    stopDevice();
    config = loaded;
    updateConfigUi();
    startDevice();
    statusBar()->showMessage(
        tr("Конфигурация загружена из файла %1").arg(QDir::toNativeSeparators(path)));
}

void MainWindow::saveConfigurationFile()
{
    const QString title = tr("Сохранение настроек модуля");
    QFileDialog dlg(this, title,
                    LastLocations::proposedPath(LastLocations::Kind::Configuration,
                                                ui->serial->text(), QDateTime(),
                                                QStringLiteral("gm480cfg")),
                    tr("Настройки GRV480 (*.gm480cfg)"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("gm480cfg"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    const QString path = DeviceConfigDialog::withConfigSuffix(dlg.selectedFiles().constFirst());
    if (!DeviceConfigDialog::writeConfigFile(*config, path)) {
        QMessageBox::critical(this, title, tr("Ошибка записи настроек в файл"));
        return;
    }
    LastLocations::remember(LastLocations::Kind::Configuration, path);
    statusBar()->showMessage(
        tr("Настройки сохранены в файл %1").arg(QDir::toNativeSeparators(path)));
}

void MainWindow::runTareDialog()
{
    // The tare writes its own configuration into the handle: the run stops
    // for it and starts again with the window's configuration.
    stopDevice();
    {
        TareDialog dlg(this, &handle, config.data());
        dlg.exec();
    }
    startDevice();
}

void MainWindow::runTablesDialog()
{
    stopDevice();
    {
        TablesViewDialog dlg(this, &handle);
        dlg.exec();
    }
    startDevice();
}

void MainWindow::showHelp()
{
    // One help window, kept open beside the main window.
    auto *dlg = findChild<HelpDialog *>();
    if (!dlg) {
        dlg = new HelpDialog(this);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
    }
    dlg->show();
    dlg->raise();
    dlg->activateWindow();
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, tr("О программе"), aboutText());
}
