#ifndef VIEWHOLD_H
#define VIEWHOLD_H

#include "datablockprocessor.h"

#include <QObject>
#include <QSharedPointer>

class QAction;
class QLabel;
class QMainWindow;

// "Стоп-кадр": while it is on, the window leaves its plots, table and status
// panel as they are and only counts the blocks that keep coming (acquisition
// and recording go on). The status bar says so. Released, the view goes on
// from the newest block.
class ViewHold : public QObject
{
    Q_OBJECT

public:
    explicit ViewHold(QMainWindow *window);

    QAction *action() const { return holdAct; }
    bool isHeld() const;
    int blocksSinceHold() const { return count; }

    // A block arrived while held; it is kept as the newest.
    void blockArrived(const QSharedPointer<DataBlockProcessor::DataBlock> &block);
    // The view was blanked (a new run): nothing held back is worth showing.
    void viewCleared();

    // Key of the action: F8, and Pause where the keyboard has one. Space is
    // taken by the table's check boxes and F9 by recording.
    static QList<QKeySequence> shortcuts();

signals:
    // Released with blocks come meanwhile: the newest of them.
    void released(QSharedPointer<DataBlockProcessor::DataBlock> newest);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toggled(bool on);
    void retranslate();
    void updateLabel();

    QAction *holdAct;
    QLabel *label;
    int count = 0;
    QSharedPointer<DataBlockProcessor::DataBlock> newest;
};

#endif // VIEWHOLD_H
