#ifndef SINGLECHCONFIGWIDGET_H
#define SINGLECHCONFIGWIDGET_H

#include <QWidget>

class QComboBox;
class DeviceConfig;

namespace Ui {
class SingleChConfigWidget;
}

// The single-channel editor of a DeviceConfig: one channel and one range.
// Writing it enables exactly the chosen channel and gives all sixteen the
// chosen range.
class SingleChConfigWidget : public QWidget
{
    Q_OBJECT

public:
    explicit SingleChConfigWidget(QWidget *parent = nullptr);
    ~SingleChConfigWidget() override;

    // Not owned.
    void setConfig(DeviceConfig *config);

    QComboBox *channelBox() const;
    QComboBox *rangeBox() const;

public slots:
    void showConfig();
    void updateConfig();

protected:
    void changeEvent(QEvent *event) override;

private:
    Ui::SingleChConfigWidget *ui;
    DeviceConfig *cfg = nullptr;
    bool updating = false;
};

#endif // SINGLECHCONFIGWIDGET_H
