// Renders each user-interface component in its main states to PNG files in
// <build>/gallery, for a person to look at. The checks here only make sure
// that every picture was drawn and written.

#include <QtTest>

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

#include <memory>

#include "comboboxnowheel.h"
#include "condledindicator.h"
#include "deviceconfig.h"
#include "deviceconfigdialog.h"
#include "hierarchicalheaderview.h"
#include "mesvalstatewidget.h"
#include "plot.h"
#include "plotconfigdialog.h"
#include "qledindicator.h"
#include "qttranslationswitch.h"
#include "tablesviewdialog.h"
#include "tableviewsettings.h"
#include "tarechannelsdialog.h"
#include "taredialog.h"

#include <QCheckBox>

static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

class TestGallery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void leds();
    void measuredValues();
    void hierarchicalHeader();
    void channelTable();
    void plot();
    void plotDialog();
    void configDialog();
    void tareDialogs();
    void icons();
    void languageActions();

private:
    void save(QWidget *w, const QString &name, int zoom = 1);
    QDir dir;
};

void TestGallery::initTestCase()
{
    initIcons();
    dir.setPath(QStringLiteral(GRV480_BIN_DIR "/../gallery"));
    QVERIFY(dir.mkpath("."));
}

void TestGallery::save(QWidget *w, const QString &name, int zoom)
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::qWait(30);
    QImage img = w->grab().toImage();
    QVERIFY(!img.isNull());
    if (zoom > 1)
        img = img.scaled(img.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QString path = dir.filePath(name + ".png");
    QVERIFY2(img.save(path), qPrintable(path));
    qInfo("wrote %s", qPrintable(path));
}

void TestGallery::leds()
{
    QWidget w;
    auto *grid = new QGridLayout(&w);
    const QStringList names = {"0 green", "1 red", "2 off", "3 grey", "4 blue"};
    for (int s = 0; s < names.size(); ++s) {
        auto *led = new CondLedIndicator;
        led->setState(s);
        grid->addWidget(new QLabel(names.at(s)), 0, s, Qt::AlignCenter);
        grid->addWidget(led, 1, s);
    }
    auto *on = new QLedIndicator(nullptr, 24);
    on->setChecked(true);
    auto *off = new QLedIndicator(nullptr, 24);
    auto *wide = new QLedIndicator(nullptr, 22);
    wide->setFixedSize(40, 22);
    wide->setChecked(true);
    wide->setAutoFillBackground(true);
    QPalette pal = wide->palette();
    pal.setColor(wide->backgroundRole(), QColor(255, 240, 200)); // shows the widget's extent
    wide->setPalette(pal);
    grid->addWidget(new QLabel("24 lit"), 2, 0, Qt::AlignCenter);
    grid->addWidget(new QLabel("24 unlit"), 2, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel("40 x 22"), 2, 2, Qt::AlignCenter);
    grid->addWidget(on, 3, 0, Qt::AlignCenter);
    grid->addWidget(off, 3, 1, Qt::AlignCenter);
    grid->addWidget(wide, 3, 2, Qt::AlignCenter);
    save(&w, "leds");
    save(&w, "leds_x4", 4);
}

static TGRV480MeasValue value(int state, bool valid, double v)
{
    TGRV480MeasValue m;
    memset(&m, 0, sizeof m);
    m.state = uint8_t(state);
    m.valid = valid;
    m.value = v;
    return m;
}

void TestGallery::measuredValues()
{
    QWidget w;
    auto *grid = new QGridLayout(&w);
    struct Row
    {
        const char *label;
        int state;
        bool valid;
        double v;
        bool checks;
    };
    const Row rows[] = {
        {"1 valid", 1, true, 2.50012, true},   {"3 fault", 3, true, 2.61, true},
        {"4 short", 4, true, 0.0003, true},    {"5 open", 5, false, 0, true},
        {"7 undetermined", 7, false, 0, true}, {"0 not measured", 0, false, 0, true},
        {"1, checks off", 1, true, -1.2345, false},
    };
    int r = 0;
    for (const Row &row : rows) {
        auto *mv = new MesValStateWidget;
        mv->setValueEnabled(true);
        mv->setOpenCheck(row.checks);
        mv->setShortCheck(row.checks);
        const TGRV480MeasValue v = value(row.state, row.valid, row.v);
        mv->showValue(&v, true, QString(), 3);
        grid->addWidget(new QLabel(row.label), r, 0);
        grid->addWidget(mv, r, 1);
        ++r;
    }
    auto *hidden = new MesValStateWidget;
    hidden->setValueEnabled(true);
    hidden->setOpenVisible(false);
    const TGRV480MeasValue v = value(1, true, 1.23456);
    hidden->showValue(&v, true, " V", 3);
    grid->addWidget(new QLabel("open lamp hidden"), r, 0);
    grid->addWidget(hidden, r, 1);
    save(&w, "mesvalstatewidget");
}

static QStandardItem *cell(const QString &text, bool rotated = false)
{
    auto *item = new QStandardItem(text);
    if (rotated)
        item->setData(true, Qt::UserRole);
    return item;
}

static QStandardItem *group(const QString &text, const QList<QStandardItem *> &children)
{
    auto *item = new QStandardItem(text);
    for (int j = 0; j < children.size(); ++j)
        item->setChild(0, j, children.at(j));
    return item;
}

void TestGallery::hierarchicalHeader()
{
    QStandardItemModel tree;
    tree.setColumnCount(5);
    tree.setItem(0, 0, cell("Канал"));
    tree.setItem(0, 1, group("Состояние", {cell("Диап.", true), cell("КЗ", true), cell("Обрыв", true)}));
    tree.setItem(0, 2, group("Значение, мВ", {cell("DC"), cell("AC")}));
    auto *spectrum = group("Спектр", {cell("F, Гц"), cell("A, dB"), cell("SNR")});
    spectrum->setData(QBrush(QColor(220, 235, 255)), Qt::BackgroundRole);
    tree.setItem(0, 3, spectrum);
    tree.setItem(0, 4, cell("Без группы"));

    QStandardItemModel model(5, 11); // one section more than leaves: plain header text
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 11; ++c)
            model.setItem(r, c, new QStandardItem(QString::number(r * 11 + c)));

    QTableView view;
    auto *header = new HierarchicalHeaderView(Qt::Horizontal, &view);
    header->setHeaderTree(&tree);
    header->setSectionsClickable(true);
    header->setHighlightSections(true);
    view.setHorizontalHeader(header);
    view.setModel(&model);
    header->setMinimumSectionSize(10);
    header->resizeSections(QHeaderView::ResizeToContents);
    // Group titles need their leaves wide enough, as the owner sets them.
    for (int section : {4, 5})
        header->resizeSection(section, 60);
    view.resize(760, 260);
    view.selectColumn(6);
    save(&view, "header_horizontal");

    QStandardItemModel rowTree;
    rowTree.setColumnCount(2);
    rowTree.setItem(0, 0, group("Группа A", {cell("a1"), cell("a2"), cell("a3")}));
    rowTree.setItem(0, 1, group("B", {cell("b1"), cell("b2")}));
    QStandardItemModel rowModel(5, 3);
    QTableView rows;
    auto *vheader = new HierarchicalHeaderView(Qt::Vertical, &rows);
    vheader->setHeaderTree(&rowTree);
    rows.setVerticalHeader(vheader);
    rows.setModel(&rowModel);
    rows.resize(360, 220);
    save(&rows, "header_vertical");
}

void TestGallery::channelTable()
{
    QTableWidget table(6, 3);
    table.setHorizontalHeaderLabels({"Канал", "Диапазон", "Вкл."});
    QSettings settings(dir.filePath("gallery.ini"), QSettings::IniFormat);
    TableViewSettings::instance()->initTableView(&table, "ChannelsTable", &settings);
    for (int r = 0; r < 6; ++r) {
        table.setItem(r, 0, new QTableWidgetItem(QString("Канал %1").arg(r + 1)));
        auto *combo = new ComboBoxNoWheel;
        combo->addItems({"±35 мВ", "±70 мВ"});
        combo->setCurrentIndex(r % 2);
        table.setCellWidget(r, 1, combo);
        auto *enabled = new QTableWidgetItem;
        enabled->setCheckState(r == 3 ? Qt::Unchecked : Qt::Checked);
        if (r == 3)
            enabled->setBackground(TableViewSettings::instance()->disabledBrush);
        table.setItem(r, 2, enabled);
    }
    table.resize(360, 240);
    save(&table, "table_helpers");
}

void TestGallery::plot()
{
    Plot plot;
    QSettings settings(dir.filePath("gallery.ini"), QSettings::IniFormat);
    PlotAxesConfig defaults;
    defaults.x = {true, 0, 1000};
    defaults.y = {true, 0, 25};
    plot.loadSettings(&settings, "TimePlot", &defaults);
    plot.xAxis->setLabel("Время, мс");
    plot.yAxis->setLabel("Амплитуда, мВ");
    const QColor colours[] = {Qt::red, Qt::darkGreen, Qt::blue};
    for (int g = 0; g < 3; ++g) {
        QVector<double> x, y;
        for (int i = 0; i <= 500; ++i) {
            x << i * 2.0;
            y << 10 * (g + 1) * std::sin(2 * M_PI * i / (100.0 + 40 * g));
        }
        QCPGraph *graph = plot.addGraph();
        graph->setPen(QPen(colours[g]));
        graph->setData(x, y, true);
    }
    plot.updateAxisAutoScale();
    plot.replot();
    plot.resize(640, 360);
    save(&plot, "plot");
}

void TestGallery::plotDialog()
{
    PlotAxesConfig axes;
    axes.x = {true, 0, 50000};
    axes.y = {false, -150, 0};
    PlotConfigDialog dialog(nullptr, axes, 5, 5);
    save(&dialog, "plotconfigdialog");
}

void TestGallery::configDialog()
{
    TGRV480 handle;
    QCOMPARE(GRV480_Init(&handle), 0);
    QSettings empty(dir.filePath("empty.ini"), QSettings::IniFormat);
    empty.clear();
    DeviceConfig cfg;
    cfg.loadSettings(empty);
    for (int i : {0, 1, 2, 3, 5})
        cfg.setChannelEnabled(i, true);
    cfg.setChannelRange(2, GRV480_RANGE_70MV);
    cfg.setBgMeasGroup(DeviceConfig::bgMeasGroups().at(1));

    DeviceConfigDialog dialog(nullptr, &handle, &cfg);
    dialog.resize(1000, 640);
    save(&dialog, "deviceconfigdialog");
    {
        // The tables of the configuration just shown.
        TablesViewDialog tables(&dialog, &handle);
        save(&tables, "tablesviewdialog");
    }
    dialog.findChild<QCheckBox *>("filterManualEn")->setChecked(true);
    dialog.findChild<QCheckBox *>("singleChMode")->setChecked(true);
    save(&dialog, "deviceconfigdialog_single");
}

void TestGallery::tareDialogs()
{
    std::unique_ptr<TGRV480> h(new TGRV480);
    memset(h.get(), 0, sizeof *h);
    // a module after a zero tare of channels 1..5 (channel 3 failed) and a scale tare of 1..2
    for (int ch = 0; ch < 5; ++ch) {
        TGRV480TareInfo &t = h->tare[ch];
        t.dacOffsetValid = t.offsetValid = ch != 2;
        t.dacOffset = 0.001 * (ch + 1) - 0.0003;
        t.offsetCoef = 0.001 * (ch + 1) + 0.0000123 * ch;
        t.scaleValid = ch < 2;
        t.scaleCoef = ch < 2 ? 0.99876 + 0.001 * ch : 0.0;
    }
    QSettings settings(dir.filePath("gallery.ini"), QSettings::IniFormat);
    DeviceConfig cfg;
    cfg.loadSettings(settings);
    for (int ch : {0, 1, 2, 3, 4})
        cfg.setChannelEnabled(ch, true);
    cfg.setChannelRange(4, GRV480_RANGE_70MV);
    TareDialog dialog(nullptr, h.get(), &cfg);
    dialog.resize(1000, 600); // the size it opens at the first time
    save(&dialog, "taredialog");
    TareChannelsDialog channels(nullptr, dialog.config());
    save(&channels, "tarechannelsdialog");
}

void TestGallery::icons()
{
    QToolBar bar;
    bar.setIconSize(QSize(32, 32));
    bar.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QStringList names = {"configure", "clear",     "refresh",         "file_save",
                               "file_load", "measurement_save", "record"};
    for (const QString &name : names) {
        const QString path = ":/icons/" + name + ".png";
        QVERIFY2(QFile::exists(path), qPrintable(path));
        bar.addAction(QIcon(path), name);
    }
    // every icon on view, none behind the extension button
    bar.resize(int(names.size()) * 110, bar.sizeHint().height());
    save(&bar, "icons");
    bar.setIconSize(QSize(16, 16));
    save(&bar, "icons_16");
}

void TestGallery::languageActions()
{
    QtTranslationSwitch *sw = QtTranslationSwitch::instance();
    sw->setTranslationsPath("translations");
    sw->addTranslation("grv480monitor");
    sw->setLanguage("ru");
    QToolBar bar;
    bar.setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar.setIconSize(QSize(24, 24));
    bar.addActions(sw->actions());
    save(&bar, "language_actions");

    // Forms already on screen retranslate themselves.
    PlotAxesConfig axes;
    PlotConfigDialog dialog(nullptr, axes, 5, 5);
    MesValStateWidget value;
    TGRV480 handle;
    QCOMPARE(GRV480_Init(&handle), 0);
    DeviceConfig cfg;
    cfg.setBgMeasGroup(DeviceConfig::bgMeasGroups().constFirst());
    for (int i : {0, 1, 4})
        cfg.setChannelEnabled(i, true);
    DeviceConfigDialog config(nullptr, &handle, &cfg);
    config.resize(1000, 640);
    dialog.show();
    value.show();
    config.show();
    sw->setLanguage("en");
    QTest::qWait(20);
    save(&bar, "language_actions_en");
    save(&dialog, "plotconfigdialog_en");
    save(&value, "mesvalstatewidget_en");
    save(&config, "deviceconfigdialog_en");
    sw->setLanguage("ru");
}

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
