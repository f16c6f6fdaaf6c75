#include "resultstable.h"

#include "condledindicator.h"
#include "deviceconfig.h"
#include "hierarchicalheaderview.h"
#include "measurementsnapshot.h"
#include "plot.h"
#include "resultrules.h"
#include "tablecopyaction.h"

#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableWidget>

using namespace ResultRules;

namespace {

constexpr int ChannelColumnWidth = 60;
constexpr int LedColumnWidth = 55;
constexpr int DefaultColumnWidth = 85;

void resetValueCell(QTableWidgetItem *cell, bool usable)
{
    cell->setData(Qt::ForegroundRole, QVariant());
    cell->setData(Qt::BackgroundRole, usable ? QVariant() : QVariant(QBrush(Qt::darkGray)));
    cell->setText(QString());
}

void setValueCell(QTableWidgetItem *cell, const TGRV480MeasValue &v, bool pass, int decimals)
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

} // namespace

ResultsTable::Checks ResultsTable::Checks::of(const DeviceConfig &config)
{
    Checks c;
    c.shortCheck = config.bgMeasCheckShortUxEn();
    c.openCheck = config.bgMeasCheckOpenUxEn();
    c.uxOrUcm = config.bgMeasUxEn() || config.bgMeasUcmEn();
    c.ucm = config.bgMeasUcmEn();
    return c;
}

ResultsTable::ResultsTable(QTableWidget *table)
    : QObject(table)
    , view(table)
{
    auto *header = new HierarchicalHeaderView(Qt::Horizontal, table);
    headerTree = new QStandardItemModel(header);
    retranslate();
    header->setHeaderTree(headerTree);
    header->setSectionsClickable(true);
    // The replaced header took the form's section size with it.
    header->setDefaultSectionSize(DefaultColumnWidth);
    table->setHorizontalHeader(header);
    table->setColumnCount(ColumnCount);
    table->setColumnWidth(0, ChannelColumnWidth);
    for (int c = 3; c <= 7; ++c)
        table->setColumnWidth(c, LedColumnWidth);
    // Lamps go to the clipboard by colour, under the titles, as the export writes them.
    auto *copy = new TableCopyAction(table);
    copy->setColumnTitles(MeasurementTable::tableColumnTitles());
    copy->setCellText([table](const QModelIndex &index) {
        const auto *lamp =
            qobject_cast<CondLedIndicator *>(table->cellWidget(index.row(), index.column()));
        return lamp ? MeasurementTable::lampText(lamp->state()) : QString();
    });
    table->addAction(copy);
}

// Fills the header tree with the texts of the current language; the first
// call creates its items.
void ResultsTable::retranslate()
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
    view->horizontalHeader()->viewport()->update();
}

void ResultsTable::addRow(int r, ChannelRow *row)
{
    QTableWidget *table = view;
    table->setRowCount(std::max(table->rowCount(), r + 1));
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
    row->rangeLed->setMeaning("ResultsTable", QT_TRANSLATE_NOOP("ResultsTable", "Диапазон"));
    row->shortLed->setMeaning("ResultsTable",
                              QT_TRANSLATE_NOOP("ResultsTable", "Короткое замыкание линии"));
    row->openLed->setMeaning("ResultsTable", QT_TRANSLATE_NOOP("ResultsTable", "Обрыв линии"));
    row->udiffLed->setMeaning("ResultsTable", QT_TRANSLATE_NOOP("ResultsTable", "Условие Udiff"));
    row->ucmLed->setMeaning("ResultsTable", QT_TRANSLATE_NOOP("ResultsTable", "Условие Ucm"));
    for (int c = 8; c <= 17; ++c) {
        row->valueCells[c - 6] = new QTableWidgetItem;
        table->setItem(r, c, row->valueCells[c - 6]);
    }
}

void ResultsTable::clearRow(ChannelRow *row, const Checks &checks)
{
    row->rangeLed->setState(LedOff);
    row->shortLed->setState(checks.shortCheck ? LedOff : LedGrey);
    row->openLed->setState(checks.openCheck ? LedOff : LedGrey);
    row->udiffLed->setState(checks.uxOrUcm ? LedOff : LedGrey);
    row->ucmLed->setState(checks.ucm ? LedOff : LedGrey);

    for (int col : {1, 2, 13, 14, 15, 16, 17}) {
        QTableWidgetItem *cell = row->cell(col);
        cell->setData(Qt::ForegroundRole, QVariant());
        cell->setData(Qt::BackgroundRole, QVariant());
        cell->setText(QString());
    }
    resetValueCell(row->cell(8), checks.uxOrUcm);
    resetValueCell(row->cell(9), checks.uxOrUcm);
    resetValueCell(row->cell(10), checks.ucm);
    resetValueCell(row->cell(11), checks.ucm);
    resetValueCell(row->cell(12), checks.ucm);
}

void ResultsTable::showChannel(ChannelRow *row, const DataBlockProcessor::ChResult &c,
                               const TGRV480FrameStatus &f, const Checks &checks)
{
    const TGRV480ChStatus &s = c.status;
    row->rangeLed->setState((s.flags & GRV480_CH_OUT_OF_RANGE) ? LedRed : LedGreen);
    row->cell(1)->setText(formatFixed(c.dc, 6));
    row->cell(2)->setText(formatFixed(c.ac, 6));

    if (checks.shortCheck)
        row->shortLed->setState(shortLedState(s.ux.state));
    if (checks.openCheck)
        row->openLed->setState(openLedState(s.ux.state));

    if (checks.uxOrUcm) {
        setValueCell(row->cell(8), s.ux, true, 6);
        const Udiff d = udiff(s.ux, f.uref, c.rangeMv);
        setValueCell(row->cell(9), d.value, d.pass, 6);
        row->udiffLed->setState(conditionLedState(d.value.state, d.pass));
        if (checks.ucm) {
            setValueCell(row->cell(10), s.ucm, true, 6);
            setValueCell(row->cell(11), withValue(d.value, s.ucmMin), true, 6);
            setValueCell(row->cell(12), withValue(d.value, s.ucmMax), true, 6);
            row->ucmLed->setState(
                conditionLedState(s.ucm.state, s.ucm.state != GRV480_MV_COND_VIOLATED));
        }
    }

    if (c.peakValid) {
        row->cell(13)->setText(formatFixed(c.peakFreq, 3));
        row->cell(14)->setText(formatFixed(c.peakAmplitude, 6));
    } else {
        row->cell(13)->setText(QString());
        row->cell(14)->setText(QString());
    }
    if (c.harmValid) {
        row->cell(15)->setText(formatFixed(c.snr, 2));
        row->cell(16)->setText(formatFixed(c.sinad, 2));
        row->cell(17)->setText(formatFixed(c.enob, 2));
    } else {
        for (int col = 15; col <= 17; ++col)
            row->cell(col)->setText(QString());
    }
}

void ResultsTable::setLamps(ChannelRow *row, const quint8 *lamps)
{
    CondLedIndicator *leds[] = {row->rangeLed, row->shortLed, row->openLed, row->udiffLed,
                                row->ucmLed};
    for (int k = 0; k < LampCount; ++k) {
        if (lamps[k] <= LedBlue)
            leds[k]->setState(lamps[k]);
    }
}

void ResultsTable::setRowChannel(ChannelRow *row, int channel)
{
    row->channelCell->setText(QString::number(channel + 1));
    // The colour belongs to the channel, not to the row that shows it.
    const QColor color = channelColor(channel);
    row->timeGraph->setPen(QPen(color));
    row->fftGraph->setPen(QPen(color));
    row->channelCell->setForeground(QBrush(color));
    row->channelCell->setData(Qt::DecorationRole, color);
    if (row->trendGraph)
        row->trendGraph->setPen(QPen(color));
}

int ResultsTable::showBlock(const QList<ChannelRow *> &rows,
                            const DataBlockProcessor::DataBlock &block, const Checks &checks,
                            const PlotValues &plotValues)
{
    const int n = std::min(rows.size(), block.channels.size());
    for (int r = 0; r < n; ++r) {
        const DataBlockProcessor::ChResult *c = block.channels.at(r).data();
        if (!c)
            continue;
        ChannelRow *row = rows.at(r);
        Plot::setGraphValues(row->timeGraph, 1000.0, c->sampleInterval,
                             plotValues ? plotValues(r, c->values) : c->values);
        if (!c->spectrum.isEmpty())
            Plot::setGraphValues(row->fftGraph, 1.0, c->freqStep, c->spectrum);
        showChannel(row, *c, block.status, checks);
    }
    return n;
}

ChannelRow *ResultsTable::showRowGraphs(const QList<ChannelRow *> &rows, QTableWidgetItem *item)
{
    for (ChannelRow *row : rows) {
        if (row->channelCell != item)
            continue;
        const bool visible = item->checkState() == Qt::Checked;
        for (QCPGraph *graph : {row->timeGraph, row->fftGraph, row->trendGraph}) {
            if (graph)
                graph->setVisible(visible);
        }
        return row;
    }
    return nullptr;
}

int ResultsTable::heightForRows(int n) const
{
    return view->horizontalHeader()->sizeHint().height() +
           n * view->verticalHeader()->defaultSectionSize() +
           view->horizontalScrollBar()->sizeHint().height() + 2 * view->frameWidth();
}
