#ifndef SAVEDSTATE_H
#define SAVEDSTATE_H

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QVariant>

// Checks for window and view states read back from the settings store.
// Qt's restoreState() functions trust the counts inside their blobs and
// reserve memory for them before reading, so a damaged or crafted value can
// abort the program at every start. These walk the blob first, with the
// layout Qt 5 writes, and accept it only when every count fits the bytes
// that follow and the widget it is meant for.
namespace SavedState {

bool isSplitterStateSane(const QByteArray &state, int widgetCount);
bool isHeaderStateSane(const QByteArray &state, int sectionCount);
// For a window whose tool bars and dock widgets are given by count.
bool isMainWindowStateSane(const QByteArray &state, int version, int toolBarCount,
                           int dockCount = 0);
// Whether a sane window state, once restored, still leaves the operator a
// way to every action: a menu bar, or at least one tool bar shown. A state
// that lists no tool bar leaves them as they are.
bool keepsWayIn(const QByteArray &state, bool menuBarShown);

// A stored window size, or the default when it is not a size or does not fit
// the screens together.
QSize windowSize(const QVariant &stored, const QSize &defaultSize);
// A stored window position, or the default when a window of that size there
// would show too little of itself on any screen to be grabbed and moved.
QPoint windowPos(const QVariant &stored, const QSize &size, const QPoint &defaultPos);

} // namespace SavedState

#endif // SAVEDSTATE_H
