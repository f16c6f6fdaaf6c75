#ifndef FREQCONFIGWIDGET_H
#define FREQCONFIGWIDGET_H

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;

// A frequency entry: a number and a unit (Hz or kHz). The frequency is kept
// in Hz whatever unit is shown. valueChanged() fires for every change,
// valueChangedFromUi() only for the operator's, so a model's own corrections
// can be shown with setValue() without being fed back to it.
class FreqConfigWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FreqConfigWidget(QWidget *parent = nullptr);

    double value() const { return m_value; }
    double maximum() const { return m_maximum; }
    double minimum() const { return m_minimum; }
    int unitMult() const;

    QDoubleSpinBox *numberBox() const { return valueBox; }
    QComboBox *unitSelector() const { return unitBox; }

signals:
    void valueChanged(double val);
    void valueChangedFromUi(double val);
    void unitChanged(int mult);

public slots:
    void setValue(double val);
    void setReadOnly(bool readOnly);
    void setMaximum(double max);
    void setMinimum(double min);
    void setUnitReadOnly(bool readOnly);
    void setUnitMultCoef(int mult);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void onUnitChanged(int idx);
    void onValueChanged(double val);

private:
    void connectValueBox();
    void disconnectValueBox();
    void retranslate();

    QDoubleSpinBox *valueBox;
    QComboBox *unitBox;
    double m_value = 0;
    double m_maximum = 100000;
    double m_minimum = 0;
};

#endif // FREQCONFIGWIDGET_H
