#include "trendplot.h"

#include "envelopegraph.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QMenu>
#include <QSettings>

namespace {

const char *const ChannelProperty = "trendChannel";
const char *const QuantityKeys[TrendStore::QuantityCount] = {"DC",   "AC", "SNR",   "SINAD",
                                                             "ENOB", "Ux", "Udiff", "Ucm"};

// Clock times on the time axis; the date joins them when the axis spans more
// than one day, milliseconds when it spans seconds only.
class ClockTicker : public QCPAxisTickerDateTime
{
public:
    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks,
                  QVector<QString> *tickLabels) override
    {
        const QDateTime lower = QDateTime::fromMSecsSinceEpoch(qint64(range.lower * 1000.0));
        const QDateTime upper = QDateTime::fromMSecsSinceEpoch(qint64(range.upper * 1000.0));
        QString format =
            range.size() < 10.0 ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss");
        if (lower.date() != upper.date())
            format += QStringLiteral("\ndd.MM.yyyy");
        setDateTimeFormat(format);
        QCPAxisTickerDateTime::generate(range, locale, formatChar, precision, ticks, subTicks,
                                        tickLabels);
    }
};

} // namespace

TrendPlot::TrendPlot(QWidget *parent)
    : Plot(parent)
{
    xAxis->setTicker(QSharedPointer<ClockTicker>::create());
    setTimeAxisX(true);
    connect(this, &QCustomPlot::beforeReplot, this, [this] {
        if (m_dirty)
            rebuild();
    });
    retranslate();
}

QCPGraph *TrendPlot::addTrendGraph(int channel)
{
    QCPGraph *graph = addEnvelopeGraph();
    setGraphChannel(graph, channel);
    return graph;
}

void TrendPlot::setGraphChannel(QCPGraph *graph, int channel)
{
    graph->setProperty(ChannelProperty, channel);
    markDirty();
}

void TrendPlot::setQuantity(TrendStore::Quantity q)
{
    if (q < 0 || q >= TrendStore::QuantityCount || q == m_quantity)
        return;
    m_quantity = q;
    retranslate();
    // A fixed value range of another quantity means nothing for this one.
    PlotAxesConfig axes = axesConfig();
    axes.y.autoscale = true;
    rebuild();
    setAxesConfig(axes);
    emit quantityChanged(q);
}

QString TrendPlot::quantityName(TrendStore::Quantity q)
{
    switch (q) {
    case TrendStore::Dc:
        return tr("DC, мВ");
    case TrendStore::Ac:
        return tr("AC, мВ");
    case TrendStore::Snr:
        return tr("SNR, дБ");
    case TrendStore::Sinad:
        return tr("SINAD, дБ");
    case TrendStore::Enob:
        return tr("ENOB, бит");
    case TrendStore::Ux:
        return tr("Ux, В");
    case TrendStore::Udiff:
        return tr("Udiff, В");
    case TrendStore::Ucm:
        return tr("Ucm, В");
    default:
        return QString();
    }
}

void TrendPlot::loadSettings(QSettings *settings, const QString &group)
{
    const QString key = settings->value(group + QStringLiteral("/quantity")).toString();
    for (int q = 0; q < TrendStore::QuantityCount; ++q) {
        if (key == QLatin1String(QuantityKeys[q]))
            m_quantity = TrendStore::Quantity(q);
    }
    retranslate();
    PlotAxesConfig defaults;
    defaults.x = {true, 0.0, 1.0};
    defaults.y = {true, 0.0, 1.0};
    Plot::loadSettings(settings, group, &defaults);
}

void TrendPlot::saveSettings(QSettings *settings)
{
    Plot::saveSettings(settings);
    settings->setValue(settingsGroupName() + QStringLiteral("/quantity"),
                       QLatin1String(QuantityKeys[m_quantity]));
}

void TrendPlot::markDirty()
{
    m_dirty = true;
    requestRelpot();
}

void TrendPlot::rebuild()
{
    m_dirty = false;
    QVector<double> keys, values;
    for (int i = 0; i < graphCount(); ++i) {
        auto *g = qobject_cast<EnvelopeGraph *>(graph(i));
        if (!g)
            continue;
        bool ok = false;
        const int channel = g->property(ChannelProperty).toInt(&ok);
        if (!ok || !g->visible()) {
            g->clearSource();
            continue;
        }
        m_store.series(channel, m_quantity, keys, values);
        g->setSource(keys, values);
    }
    updateAxisAutoScale();
}

void TrendPlot::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addSection(tr("Величина"));
    for (int q = 0; q < TrendStore::QuantityCount; ++q) {
        QAction *action = menu.addAction(quantityName(TrendStore::Quantity(q)));
        action->setCheckable(true);
        action->setChecked(q == m_quantity);
        connect(action, &QAction::triggered, this,
                [this, q] { setQuantity(TrendStore::Quantity(q)); });
    }
    menu.exec(event->globalPos());
}

void TrendPlot::changeEvent(QEvent *event)
{
    Plot::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void TrendPlot::retranslate()
{
    xAxis->setLabel(tr("Время"));
    yAxis->setLabel(quantityName(m_quantity));
    replot(QCustomPlot::rpQueuedReplot);
}
