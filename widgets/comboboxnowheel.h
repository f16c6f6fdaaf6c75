#ifndef COMBOBOXNOWHEEL_H
#define COMBOBOXNOWHEEL_H

#include <QComboBox>

// A combo box that leaves the wheel to the enclosing view, so scrolling a
// table never changes a value by accident.
class ComboBoxNoWheel : public QComboBox
{
    Q_OBJECT

public:
    explicit ComboBoxNoWheel(QWidget *parent = nullptr);

protected:
    void wheelEvent(QWheelEvent *event) override;
};

#endif // COMBOBOXNOWHEEL_H
