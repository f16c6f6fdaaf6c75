#ifndef BOXCLOSER_H
#define BOXCLOSER_H

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Closes every message box as soon as it shows and keeps its text, so that a
// test never waits on a modal box.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this]() {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        timer.start(10);
    }
    QStringList texts;

private:
    QTimer timer;
};

#endif // BOXCLOSER_H
