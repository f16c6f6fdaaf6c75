#ifndef RUNSTATELABEL_H
#define RUNSTATELABEL_H

#include <QLabel>

// The status bar's account of the module and its run: which module is open,
// whether it acquires (block number, block time, channels), and, after the
// link to it dropped, that the values on screen are no longer current.
class RunStateLabel : public QLabel
{
    Q_OBJECT

public:
    struct State
    {
        enum Mode { NoModule, Idle, NoChannel, Acquiring, LinkLost };
        Mode mode = NoModule;
        QString module;          // "Крейт CR16-0417, Слот 3", empty when unknown
        double blockSeconds = 0; // block duration
        int channels = 0;        // enabled channels
        qint64 block = 0;        // blocks shown in this run
    };

    explicit RunStateLabel(QWidget *parent = nullptr);

    void setRunState(const State &state);
    const State &runState() const { return m_state; }
    // Counts one more block of the current run.
    void blockShown();

    static QString describe(const State &state);

protected:
    void changeEvent(QEvent *event) override;

private:
    void refresh();

    State m_state;
};

#endif // RUNSTATELABEL_H
