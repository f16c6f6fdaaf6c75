#ifndef WAITCURSORGUARD_H
#define WAITCURSORGUARD_H

#include <QApplication>
#include <QCursor>

// Shows the wait cursor for the lifetime of the guard, so that every exit of
// a long blocking call (early returns included) restores the cursor. Close the
// guard's scope before a message box appears: a box under a wait cursor looks
// as if the program were still busy.
class WaitCursorGuard
{
public:
    WaitCursorGuard() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursorGuard() { QApplication::restoreOverrideCursor(); }
    WaitCursorGuard(const WaitCursorGuard &) = delete;
    WaitCursorGuard &operator=(const WaitCursorGuard &) = delete;
};

#endif // WAITCURSORGUARD_H
