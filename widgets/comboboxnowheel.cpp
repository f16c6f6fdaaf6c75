#include "comboboxnowheel.h"

#include <QWheelEvent>

ComboBoxNoWheel::ComboBoxNoWheel(QWidget *parent)
    : QComboBox(parent)
{
}

void ComboBoxNoWheel::wheelEvent(QWheelEvent *event)
{
    // Ignored, the event propagates to the parent (the scroll area's viewport).
    event->ignore();
}
