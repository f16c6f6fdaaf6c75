#ifndef FIRSTSTARTPANEL_H
#define FIRSTSTARTPANEL_H

#include <QWidget>

class QLabel;
class QPushButton;

// Stands in the results area while there is nothing to show and says why:
// no crate server answered (with the address tried and how to start the
// emulator), or no channel is enabled (with a button into the configuration).
class FirstStartPanel : public QWidget
{
    Q_OBJECT

public:
    enum Reason { NoServer, NoChannel };

    explicit FirstStartPanel(QWidget *parent = nullptr);

    void showReason(Reason reason, const QString &serverAddress = QString());
    Reason reason() const { return m_reason; }
    QString text() const;
    QPushButton *configureButton() const { return m_button; }

signals:
    void configureRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    QLabel *m_label;
    QPushButton *m_button;
    Reason m_reason = NoChannel;
    QString m_address;
};

#endif // FIRSTSTARTPANEL_H
