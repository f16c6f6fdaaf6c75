#ifndef TIMINGLOG_H
#define TIMINGLOG_H

#include <QLoggingCategory>

// Off by default; QT_LOGGING_RULES="grv480.timing.debug=true" makes the
// monitor report when each block reached the screen, for timing it from outside.
Q_DECLARE_LOGGING_CATEGORY(lcTiming)

class QCustomPlot;

// Reports, once the plot has drawn it, that a block of `channels` x `samples`
// values is on screen. Costs nothing while the category is off.
void logBlockShown(QCustomPlot *plot, int channels, int samples);

#endif // TIMINGLOG_H
