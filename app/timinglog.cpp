#include "timinglog.h"

#include <qcustomplot.h>

#include <QElapsedTimer>

Q_LOGGING_CATEGORY(lcTiming, "grv480.timing", QtWarningMsg)

void logBlockShown(QCustomPlot *plot, int channels, int samples)
{
    if (!lcTiming().isDebugEnabled() || !plot)
        return;
    static int shown = 0;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(plot, &QCustomPlot::afterReplot, plot, [connection, channels, samples]() {
            QObject::disconnect(*connection);
            qCDebug(lcTiming, "block %d shown: %d x %d", ++shown, channels, samples);
        });
}
