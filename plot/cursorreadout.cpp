#include "cursorreadout.h"

#include "plot.h"
#include "plotcursors.h"
#include "resultrules.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

using ResultRules::channelColor;
using ResultRules::formatFixed;

namespace {

const char SettingsGroup[] = "CursorReadout";
const char HarmonicsKey[] = "Harmonics";

enum Column {
    ChannelCol,
    Value1Col,
    Value2Col,
    ValueDiffCol,
    Level1Col,
    Level2Col,
    LevelDiffCol,
    ColumnCount
};

// The figures of the results table: mV with 6 decimals, dB with 2; times in
// ms and frequencies in Hz with 3.
constexpr int MvDecimals = 6;
constexpr int DbDecimals = 2;
constexpr int MsDecimals = 3;
constexpr int HzDecimals = 3;

QString dash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("—") : text;
}

} // namespace

CursorReadout::CursorReadout(Plot *timePlot, Plot *fftPlot, QWidget *parent)
    : QWidget(parent)
    , timePlot(timePlot)
    , fftPlot(fftPlot)
    , action(new QAction(this))
    , levelsBox(new QCheckBox(this))
    , harmonicsBox(new QCheckBox(this))
    , timeLine(new QLabel(this))
    , levelLine(new QLabel(this))
    , freqLine(new QLabel(this))
    , table(new QTableWidget(0, ColumnCount, this))
{
    setObjectName(QStringLiteral("cursorReadout"));
    action->setObjectName(QStringLiteral("actionCursors"));
    action->setCheckable(true);
    levelsBox->setObjectName(QStringLiteral("levelCursors"));
    harmonicsBox->setObjectName(QStringLiteral("harmonicMarkers"));
    table->setObjectName(QStringLiteral("cursorTable"));

    timePlot->enableCursors(QStringLiteral("t"), QStringLiteral("U"));
    fftPlot->enableCursors(QStringLiteral("f"), QStringLiteral("L"));

    for (QLabel *l : {timeLine, levelLine, freqLine})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table->horizontalHeader()->setDefaultSectionSize(
        fontMetrics().horizontalAdvance(QStringLiteral("-00.000000")) + 12);
    table->setColumnWidth(ChannelCol, fontMetrics().horizontalAdvance(QStringLiteral("000")) + 24);

    auto *left = new QVBoxLayout;
    left->addWidget(timeLine);
    left->addWidget(freqLine);
    left->addWidget(levelLine);
    auto *boxes = new QHBoxLayout;
    boxes->addWidget(levelsBox);
    boxes->addWidget(harmonicsBox);
    boxes->addStretch();
    left->addLayout(boxes);
    left->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(left);
    layout->addWidget(table, 1);
    setMaximumHeight(170);

    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    harmonicsBox->setChecked(settings.value(QLatin1String(HarmonicsKey), true).toBool());
    settings.endGroup();

    connect(action, &QAction::toggled, this, &CursorReadout::setCursorsShown);
    connect(levelsBox, &QCheckBox::toggled, this, [this](bool on) {
        this->timePlot->cursors()->setYVisible(on);
        this->fftPlot->cursors()->setYVisible(on);
        refresh();
    });
    connect(harmonicsBox, &QCheckBox::toggled, this, &CursorReadout::updateMarkers);
    for (Plot *p : {timePlot, fftPlot}) {
        connect(p->cursors(), &PlotCursors::moved, this, &CursorReadout::refresh);
        connect(p->cursors(), &PlotCursors::visibilityChanged, this, &CursorReadout::syncWithPlots);
    }

    retranslate();
    syncWithPlots();
}

CursorReadout::~CursorReadout()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(SettingsGroup));
    settings.setValue(QLatin1String(HarmonicsKey), harmonicsBox->isChecked());
    settings.endGroup();
}

void CursorReadout::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void CursorReadout::retranslate()
{
    action->setText(tr("Курсоры"));
    action->setToolTip(tr("Курсоры на графиках: перетаскивание мышью или стрелки, "
                          "клавиши 1 и 2 выбирают курсор"));
    levelsBox->setText(tr("Уровни"));
    harmonicsBox->setText(tr("Гармоники"));
    table->setHorizontalHeaderLabels({tr("Кан."), tr("U(t1), мВ"), tr("U(t2), мВ"), tr("ΔU, мВ"),
                                      tr("L(f1), dB"), tr("L(f2), dB"), tr("ΔL, dB")});
    refresh();
}

// The plots' cursors are the state; the action and the check box follow them
// (after the settings were loaded, or a test set them).
void CursorReadout::syncWithPlots()
{
    const bool shown = timePlot->cursors()->xVisible();
    {
        const QSignalBlocker b1(action);
        const QSignalBlocker b2(levelsBox);
        action->setChecked(shown);
        levelsBox->setChecked(timePlot->cursors()->yVisible());
    }
    setVisible(shown);
    updateMarkers();
}

void CursorReadout::setCursorsShown(bool on)
{
    for (Plot *p : {timePlot, fftPlot}) {
        PlotCursors *c = p->cursors();
        c->setXVisible(on);
        c->setYVisible(on && levelsBox->isChecked());
        if (on)
            c->bringIntoView();
    }
    syncWithPlots();
}

void CursorReadout::setBlock(const QSharedPointer<const DataBlockProcessor::DataBlock> &b,
                             const QVector<int> &shownRows, const QVector<int> &numbers)
{
    block = b;
    rows = shownRows;
    channelNumbers = numbers;
    updateMarkers();
}

void CursorReadout::clear()
{
    block.reset();
    rows.clear();
    updateMarkers();
}

void CursorReadout::refresh()
{
    PlotCursors *tc = timePlot->cursors();
    PlotCursors *fc = fftPlot->cursors();
    const double t1 = tc->position(PlotCursors::X1);
    const double t2 = tc->position(PlotCursors::X2);
    const double f1 = fc->position(PlotCursors::X1);
    const double f2 = fc->position(PlotCursors::X2);
    if (block) {
        current = CursorReading::read(*block, rows, channelNumbers, t1, t2, f1, f2);
    } else {
        current = CursorReading::Reading();
        current.t1 = t1;
        current.t2 = t2;
        current.f1 = f1;
        current.f2 = f2;
    }

    const auto ms = [](double v) { return dash(formatFixed(v, MsDecimals)); };
    const auto hz = [](double v) { return dash(formatFixed(v, HzDecimals)); };
    timeLine->setText(tr("t1 = %1 мс   t2 = %2 мс   Δt = %3 мс   1/Δt = %4 Гц")
                          .arg(ms(t1), ms(t2), ms(current.deltaT()), hz(current.inverseDeltaT())));
    freqLine->setText(
        tr("f1 = %1 Гц   f2 = %2 Гц   Δf = %3 Гц").arg(hz(f1), hz(f2), hz(current.deltaF())));
    const double u1 = tc->position(PlotCursors::Y1);
    const double u2 = tc->position(PlotCursors::Y2);
    const double l1 = fc->position(PlotCursors::Y1);
    const double l2 = fc->position(PlotCursors::Y2);
    levelLine->setText(
        tr("U1 = %1 мВ   U2 = %2 мВ   ΔU = %3 мВ\nL1 = %4 dB   L2 = %5 dB   ΔL = %6 dB")
            .arg(formatFixed(u1, MvDecimals), formatFixed(u2, MvDecimals),
                 formatFixed(u2 - u1, MvDecimals), formatFixed(l1, DbDecimals),
                 formatFixed(l2, DbDecimals), formatFixed(l2 - l1, DbDecimals)));
    levelLine->setVisible(tc->yVisible());

    const int n = current.channels.size();
    if (table->rowCount() != n)
        table->setRowCount(n);
    for (int r = 0; r < n; ++r) {
        const CursorReading::ChannelReading &ch = current.channels.at(r);
        const QString texts[ColumnCount] = {
            QString::number(ch.channel),
            dash(formatFixed(ch.value.at1, MvDecimals)),
            dash(formatFixed(ch.value.at2, MvDecimals)),
            dash(formatFixed(ch.value.difference(), MvDecimals)),
            dash(formatFixed(ch.level.at1, DbDecimals)),
            dash(formatFixed(ch.level.at2, DbDecimals)),
            dash(formatFixed(ch.level.difference(), DbDecimals)),
        };
        for (int col = 0; col < ColumnCount; ++col) {
            QTableWidgetItem *item = table->item(r, col);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table->setItem(r, col, item);
            }
            if (item->text() != texts[col])
                item->setText(texts[col]);
        }
        table->item(r, ChannelCol)->setForeground(channelColor(ch.channel - 1));
    }
}

void CursorReadout::updateMarkers()
{
    marked.clear();
    const bool draw = block && action->isChecked() && harmonicsBox->isChecked();
    int used = 0;
    if (draw) {
        for (int row : qAsConst(rows)) {
            if (row < 0 || row >= block->channels.size() || !block->channels.at(row))
                continue;
            const QVector<CursorReading::Line> lines =
                CursorReading::harmonicLines(*block->channels.at(row));
            marked.append(lines);
            if (lines.isEmpty())
                continue;
            if (used == fundamentalGraphs.size()) {
                // Markers are points of their own graphs: they follow the
                // axes and the exported picture like the spectra do.
                QCPGraph *f = fftPlot->addGraph();
                QCPGraph *h = fftPlot->addGraph();
                for (QCPGraph *g : {f, h}) {
                    g->setLineStyle(QCPGraph::lsNone);
                    g->setSelectable(QCP::stNone);
                    g->removeFromLegend();
                }
                fundamentalGraphs.append(f);
                harmonicGraphs.append(h);
            }
            const int ch = row < channelNumbers.size() ? channelNumbers.at(row) : 0;
            const QColor colour = channelColor(ch - 1);
            QCPGraph *f = fundamentalGraphs.at(used);
            QCPGraph *h = harmonicGraphs.at(used);
            f->setScatterStyle(
                QCPScatterStyle(QCPScatterStyle::ssTriangleInverted, colour, colour, 9));
            h->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, colour, 7));
            QVector<double> fk, fv, hk, hv;
            for (const CursorReading::Line &l : lines) {
                (l.order == 1 ? fk : hk).append(l.freq);
                (l.order == 1 ? fv : hv).append(l.level);
            }
            f->setData(fk, fv, true);
            h->setData(hk, hv, true);
            f->setVisible(true);
            h->setVisible(true);
            ++used;
        }
    }
    for (int i = used; i < fundamentalGraphs.size(); ++i) {
        fundamentalGraphs.at(i)->setVisible(false);
        harmonicGraphs.at(i)->setVisible(false);
    }
    fftPlot->requestRelpot();
    refresh();
}
