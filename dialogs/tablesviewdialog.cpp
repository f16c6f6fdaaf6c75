#include "tablesviewdialog.h"
#include "ui_tablesviewdialog.h"

#include "condledindicator.h"
#include "savedstate.h"

#include <QEvent>
#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QSettings>

#include <algorithm>

namespace {

const char SettingsGroup[] = "TablesViewDialog";

struct ModeInfo
{
    quint32 mode;
    const char *text;
    bool hasChannel;
};

const ModeInfo Modes[] = {
    {GRV480_MODE_UNBALANCE, QT_TRANSLATE_NOOP("TablesViewDialog", "Разбаланс"), true},
    {GRV480_MODE_ZERO_UREF, QT_TRANSLATE_NOOP("TablesViewDialog", "Ноль (Uref)"), false},
    {GRV480_MODE_UX_AGND, QT_TRANSLATE_NOOP("TablesViewDialog", "Ux (AGND)"), true},
    {GRV480_MODE_UREF_AGND, QT_TRANSLATE_NOOP("TablesViewDialog", "Uref (AGND)"), false},
    {GRV480_MODE_UNEG_AGND, QT_TRANSLATE_NOOP("TablesViewDialog", "U- (AGND)"), false},
    {GRV480_MODE_VADJ, QT_TRANSLATE_NOOP("TablesViewDialog", "Vadj"), false},
    {GRV480_MODE_UX_UNEG, QT_TRANSLATE_NOOP("TablesViewDialog", "Ux (U-)"), true},
    {GRV480_MODE_UREF_UNEG, QT_TRANSLATE_NOOP("TablesViewDialog", "Uref (U-)"), false},
    {GRV480_MODE_ZERO_UNEG, QT_TRANSLATE_NOOP("TablesViewDialog", "Ноль (U-)"), false},
};

// Per gain index: amplifier gain and the range shown, mV.
const int Gains[8] = {128, 64, 32, 16, 8, 4, 2, 1};
const int RangesMv[8] = {9, 18, 35, 70, 150, 300, 600, 1200};

const ModeInfo *findMode(quint32 entry)
{
    const quint32 mode = entry & GRV480_ENTRY_MODE_MASK;
    for (const ModeInfo &m : Modes) {
        if (m.mode == mode)
            return &m;
    }
    return nullptr;
}

} // namespace

TablesViewDialog::TablesViewDialog(QWidget *parent, TGRV480 *hmodule)
    : QDialog(parent)
    , ui(new Ui::TablesViewDialog)
{
    ui->setupUi(this);
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    resize(SavedState::windowSize(settings.value(QStringLiteral("DialogSize")), QSize(850, 600)));
    settings.endGroup();

    setupTable(ui->mainTableWidget);
    setupTable(ui->bgTableWidget);
    if (hmodule) {
        const TGRV480RawTables &raw = hmodule->raw;
        // The counts come from the library; never read past the tables.
        const int mainSize = int(std::min<quint32>(raw.mainTableSize, GRV480_MAX_TABLE_SIZE));
        const int bgSize = int(std::min<quint32>(raw.bgTableSize, GRV480_MAX_TABLE_SIZE));
        const QBrush secondary(Qt::darkGray, Qt::SolidPattern);
        const QBrush correction(Qt::lightGray, Qt::SolidPattern);
        for (int i = 0; i < mainSize; ++i) {
            const quint32 row = quint32(i);
            const QBrush brush = row >= raw.secondaryRowStart  ? secondary
                                 : row >= raw.unbalanceChCount ? correction
                                                               : QBrush();
            addEntryRow(ui->mainTableWidget, i, raw.mainTable[i], 3, brush);
        }
        for (int i = 0; i < bgSize; ++i)
            addEntryRow(ui->bgTableWidget, i, raw.bgTable[i], 0, QBrush());
    }
    for (QTableWidget *table : {ui->mainTableWidget, ui->bgTableWidget}) {
        // The stretched mode column would otherwise get only what the others
        // leave and elide the mode texts: the table is made wide enough for all.
        QHeaderView *header = table->horizontalHeader();
        header->setSectionResizeMode(0, QHeaderView::Interactive);
        table->resizeColumnsToContents();
        int width = table->verticalHeader()->sizeHint().width() + 2 * table->frameWidth() +
                    table->verticalScrollBar()->sizeHint().width();
        for (int c = 0; c < table->columnCount(); ++c)
            width += table->columnWidth(c);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        table->setMinimumWidth(width);
    }
}

TablesViewDialog::~TablesViewDialog()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    settings.setValue(QStringLiteral("DialogSize"), size());
    settings.endGroup();
    delete ui;
}

QTableWidget *TablesViewDialog::mainTable() const
{
    return ui->mainTableWidget;
}

QTableWidget *TablesViewDialog::bgTable() const
{
    return ui->bgTableWidget;
}

void TablesViewDialog::setupTable(QTableWidget *table)
{
    table->setColumnCount(5);
    setHeaderLabels(table);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
}

void TablesViewDialog::setHeaderLabels(QTableWidget *table)
{
    table->setHorizontalHeaderLabels(
        {tr("Режим"), tr("Диапазон"), tr("Канал"), tr("ЦАП"), tr("Bout")});
}

void TablesViewDialog::addEntryRow(QTableWidget *table, int row, quint32 entry, int decimals,
                                   const QBrush &brush)
{
    table->setRowCount(row + 1);
    if (entry & GRV480_ENTRY_BG_SLOT) {
        auto *item = new QTableWidgetItem(tr("Фоновая таблица"));
        item->setTextAlignment(Qt::AlignCenter);
        item->setBackground(QBrush(Qt::lightGray, Qt::SolidPattern));
        table->setItem(row, 0, item);
        table->setSpan(row, 0, 1, table->columnCount());
        return;
    }

    const ModeInfo *mode = findMode(entry);
    const int gain = int((entry & GRV480_ENTRY_GAIN_MASK) >> GRV480_ENTRY_GAIN_SHIFT);
    const int channel = int((entry & GRV480_ENTRY_CHANNEL_MASK) >> GRV480_ENTRY_CHANNEL_SHIFT);
    const quint32 code = entry & GRV480_ENTRY_DAC_MASK;
    const double dacMv = ((2.0 * code / 16384.0) - 1.0) * (2.5 / Gains[gain]) * 1000.0;

    const QString suffix = QStringLiteral("(%1,%2,%3)")
                               .arg(entry >> 28)
                               .arg((entry >> 24) & 0xF)
                               .arg((entry >> 23) & 0x1);
    const QString modeText = mode ? tr(mode->text) + QLatin1Char(' ') + suffix : suffix;
    const QString texts[5] = {
        modeText,
        tr("± %1 мВ").arg(RangesMv[gain]),
        mode && mode->hasChannel ? QString::number(channel + 1) : QString(),
        tr("%1 мВ").arg(QLocale().toString(dacMv, 'f', decimals)),
        QString(),
    };
    for (int c = 0; c < 5; ++c) {
        auto *item = new QTableWidgetItem(texts[c]);
        item->setBackground(brush);
        table->setItem(row, c, item);
    }
    auto *led = new CondLedIndicator;
    led->setState((entry & GRV480_ENTRY_BOUT) ? CondLedIndicator::Red : CondLedIndicator::Grey);
    table->setCellWidget(row, 4, led);
}

void TablesViewDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setHeaderLabels(ui->mainTableWidget);
        setHeaderLabels(ui->bgTableWidget);
    }
}
