#include "ui/NumberField.h"

#include <algorithm>
#include <cmath>

namespace qm {

NumberField::NumberField(int digits, QWidget *parent) : QSpinBox(parent)
{
    setRange(0, int(std::pow(10, digits)) - 1);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setKeyboardTracking(false);
    setAlignment(Qt::AlignRight);
}

void NumberField::setStepRange(int minimum, int maximum)
{
    m_hasStepper = true;
    m_stepMin = minimum;
    m_stepMax = maximum;
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void NumberField::stepBy(int steps)
{
    if (!m_hasStepper)
        return;
    const int next = std::clamp(value() + steps, m_stepMin, m_stepMax);
    if (next == value())
        return;
    setValue(next);
    selectAll();
    Q_EMIT stepped();
}

QAbstractSpinBox::StepEnabled NumberField::stepEnabled() const
{
    if (!m_hasStepper)
        return StepNone;
    StepEnabled e = StepNone;
    if (value() < m_stepMax)
        e |= StepUpEnabled;
    if (value() > m_stepMin)
        e |= StepDownEnabled;
    return e;
}

} // namespace qm
