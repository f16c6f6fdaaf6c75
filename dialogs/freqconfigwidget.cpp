#include "freqconfigwidget.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>

#include <cmath>

FreqConfigWidget::FreqConfigWidget(QWidget *parent)
    : QWidget(parent)
    , valueBox(new QDoubleSpinBox(this))
    , unitBox(new QComboBox(this))
{
    valueBox->setDecimals(3);
    valueBox->setKeyboardTracking(false);
    valueBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    valueBox->setMaximumWidth(300);
    unitBox->addItem(QString(), 1);
    unitBox->addItem(QString(), 1000);
    unitBox->setMaximumWidth(100);
    unitBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    unitBox->setCurrentIndex(0);
    retranslate();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(valueBox);
    layout->addWidget(unitBox);

    connect(unitBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &FreqConfigWidget::onUnitChanged);
    connectValueBox();
    connect(this, &FreqConfigWidget::valueChangedFromUi, this, &FreqConfigWidget::valueChanged);
    onUnitChanged(0);
}

int FreqConfigWidget::unitMult() const
{
    const int mult = unitBox->currentData().toInt();
    return mult > 0 ? mult : 1;
}

void FreqConfigWidget::connectValueBox()
{
    connect(valueBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &FreqConfigWidget::onValueChanged);
}

void FreqConfigWidget::disconnectValueBox()
{
    disconnect(valueBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
               &FreqConfigWidget::onValueChanged);
}

void FreqConfigWidget::onUnitChanged(int idx)
{
    Q_UNUSED(idx)
    const int mult = unitMult();
    disconnectValueBox();
    valueBox->setMaximum(m_maximum / mult);
    valueBox->setMinimum(m_minimum / mult);
    valueBox->setValue(m_value / mult);
    connectValueBox();
    emit unitChanged(mult);
}

void FreqConfigWidget::onValueChanged(double val)
{
    const double v = unitMult() * val;
    if (v == m_value)
        return;
    m_value = v;
    emit valueChangedFromUi(v);
}

void FreqConfigWidget::setValue(double val)
{
    if (val == m_value || std::isnan(val))
        return;
    disconnectValueBox();
    m_value = val;
    valueBox->setValue(val / unitMult());
    connectValueBox();
    emit valueChanged(val);
}

void FreqConfigWidget::setReadOnly(bool readOnly)
{
    valueBox->setReadOnly(readOnly);
}

void FreqConfigWidget::setMaximum(double max)
{
    m_maximum = max;
    disconnectValueBox();
    valueBox->setMaximum(max / unitMult());
    connectValueBox();
}

void FreqConfigWidget::setMinimum(double min)
{
    m_minimum = min;
    disconnectValueBox();
    valueBox->setMinimum(min / unitMult());
    connectValueBox();
}

void FreqConfigWidget::setUnitReadOnly(bool readOnly)
{
    unitBox->setEnabled(!readOnly);
}

void FreqConfigWidget::setUnitMultCoef(int mult)
{
    const int idx = unitBox->findData(mult);
    if (idx >= 0)
        unitBox->setCurrentIndex(idx);
}

void FreqConfigWidget::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
    // Return commits the number; it must not also press the dialog's default button.
    if (event->key() == Qt::Key_Return)
        event->accept();
}

void FreqConfigWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void FreqConfigWidget::retranslate()
{
    unitBox->setItemText(0, tr("Гц"));
    unitBox->setItemText(1, tr("КГц"));
}
