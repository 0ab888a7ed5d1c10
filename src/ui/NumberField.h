#pragma once
// A number field of the row editors. What is typed is checked when the
// editor is confirmed, so the field takes any number up to its width; the
// stepper beside it (when it has one) moves only within its own range.
#include <QSpinBox>

namespace qm {

class NumberField : public QSpinBox {
    Q_OBJECT
public:
    // Up to `digits` digits may be typed; no stepper until setStepRange.
    explicit NumberField(int digits, QWidget *parent = nullptr);

    void setStepRange(int minimum, int maximum);
    int stepMaximum() const { return m_stepMax; }
    void stepBy(int steps) override;

Q_SIGNALS:
    // The stepper (or an arrow key) changed the value.
    void stepped();

protected:
    StepEnabled stepEnabled() const override;

private:
    bool m_hasStepper = false;
    int m_stepMin = 0;
    int m_stepMax = 0;
};

} // namespace qm
