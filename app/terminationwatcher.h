#ifndef TERMINATIONWATCHER_H
#define TERMINATIONWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a signal of the event loop, so that a
// terminated monitor goes through its normal close: module released,
// settings and window state saved. A signal handler may only write to a
// descriptor; the notifier picks the byte up on the GUI thread.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

// Closes every open modal dialog and message box, then the window, the way
// the operator would; the window's close handler does the rest. Without a
// window yet, only the dialogs.
void closeApplicationWindows(QWidget *mainWindow);

#endif // TERMINATIONWATCHER_H
