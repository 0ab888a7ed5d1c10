#include "ui/TimerRowDialog.h"

#include "platform/Messages.h"
#include "ui/Dialogs.h"
#include "ui/NumberField.h"
#include "uimodel/TimerListEditor.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

namespace {

struct FieldSpec {
    int digits;
    int stepMin; // no stepper when stepMin > stepMax
    int stepMax;
};

// Indexed by TimerRowDialog::Field. The start day's stepper follows the month.
constexpr FieldSpec kFieldSpecs[] = {
    {2, 1, 31},   {2, 1, 12}, {4, 2002, 9999}, {2, 0, 23}, {2, 0, 59}, // start
    {2, 1, 0},    {3, 1, 0},  {3, 0, 365},     {3, 0, 23}, {4, 0, 59}, // interval
    {2, 1, 0},    {2, 1, 0},                                          // end time
    {2, 1, 0},    {2, 1, 0},  {4, 1, 0},                              // end date
};
static_assert(std::size(kFieldSpecs) == TimerRowDialog::FieldCount);

QHBoxLayout *line(std::initializer_list<std::pair<QString, QWidget *>> items, QWidget *tail = nullptr)
{
    auto *box = new QHBoxLayout;
    for (const auto &[label, widget] : items) {
        if (!label.isEmpty()) {
            auto *title = new QLabel(label);
            title->setBuddy(widget); // grayed with its field
            box->addWidget(title);
        }
        box->addWidget(widget);
    }
    if (tail)
        box->addWidget(tail);
    box->addStretch();
    return box;
}

} // namespace

TimerRowDialog::TimerRowDialog(TimerListEditor &editor, int row, Dialogs &dialogs, const QLocale &locale,
                               QWidget *parent)
    : QDialog(parent), m_editor(editor), m_row(row), m_dialogs(dialogs), m_locale(locale)
{
    setObjectName(QStringLiteral("TimerRowDialog"));
    setWindowTitle(GLS("Timer"));
    setModal(true);
    for (int f = 0; f < FieldCount; ++f) {
        const FieldSpec &spec = kFieldSpecs[f];
        auto *field = new NumberField(spec.digits, this);
        if (spec.stepMin <= spec.stepMax)
            field->setStepRange(spec.stepMin, spec.stepMax);
        connect(field, &QSpinBox::valueChanged, this, &TimerRowDialog::updateWeekDayNames);
        m_fields[size_t(f)] = field;
    }
    connect(field(StartMonth), &NumberField::stepped, this, &TimerRowDialog::startDateStepped);
    connect(field(StartYear), &NumberField::stepped, this, &TimerRowDialog::startDateStepped);

    static const char *const boxTitles[] = {"Repeat every", "Until the time", "Until the day"};
    for (int b = 0; b < BoxCount; ++b) {
        m_boxes[size_t(b)] = new QCheckBox(GLS(boxTitles[b]), this);
        connect(m_boxes[size_t(b)], &QCheckBox::clicked, this, &TimerRowDialog::applyEnabling);
    }
    auto *days = new QHBoxLayout;
    days->addWidget(new QLabel(GLS("Execute on:")));
    for (int d = 0; d < 7; ++d) {
        m_weekDays[size_t(d)] = new QCheckBox(m_locale.dayName(d + 1, QLocale::ShortFormat), this);
        days->addWidget(m_weekDays[size_t(d)]);
    }
    days->addStretch();
    m_startDayName = new QLabel(this);
    m_endDayName = new QLabel(this);

    const QString day = GLS("Day"), month = GLS("Month"), year = GLS("Year"), at = GLS("at");
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(GLS("Start:")));
    layout->addLayout(line({{day, field(StartDay)}, {month, field(StartMonth)}, {year, field(StartYear)},
                           {at, field(StartHour)}, {QStringLiteral(":"), field(StartMinute)}},
                          m_startDayName));
    layout->addWidget(box(Repeat));
    layout->addLayout(line({{GLS("Years"), field(IntervalYears)}, {GLS("Months"), field(IntervalMonths)},
                           {GLS("Days"), field(IntervalDays)}, {GLS("Hours"), field(IntervalHours)},
                           {GLS("Minutes"), field(IntervalMinutes)}}));
    layout->addLayout(line({{QString(), box(EndTime)}, {QString(), field(EndHour)},
                           {QStringLiteral(":"), field(EndMinute)}}));
    layout->addLayout(line({{QString(), box(EndDate)}, {day, field(EndDay)}, {month, field(EndMonth)},
                           {year, field(EndYear)}},
                          m_endDayName));
    layout->addLayout(days);
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(GLS("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(GLS("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TimerRowDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TimerRowDialog::reject);
    layout->addWidget(buttons);

    fill(m_editor.dialogFor(row));
    applyEnabling();
    field(StartDay)->setFocus();
    field(StartDay)->selectAll();
}

void TimerRowDialog::fill(const TimerForm &form)
{
    const int values[] = {form.startDay, form.startMonth, form.startYear, form.startHour, form.startMinute,
                          form.step.years, form.step.months, form.step.days, form.step.hours, form.step.minutes,
                          form.endHour, form.endMinute, form.endDay, form.endMonth, form.endYear};
    for (int f = 0; f < FieldCount; ++f) {
        QSignalBlocker quiet(m_fields[size_t(f)]);
        m_fields[size_t(f)]->setValue(values[f]);
    }
    box(Repeat)->setChecked(form.intervalOn);
    box(EndTime)->setChecked(form.endOn);
    box(EndDate)->setChecked(form.endDateOn);
    for (int d = 0; d < 7; ++d)
        m_weekDays[size_t(d)]->setChecked(form.weekDays[size_t(d)]);
    if (const int length = monthLength(form.startMonth, form.startYear))
        field(StartDay)->setStepRange(1, length);
    updateWeekDayNames();
}

TimerForm TimerRowDialog::read() const
{
    const auto v = [this](Field f) { return field(f)->value(); };
    TimerForm form;
    form.startDay = v(StartDay);
    form.startMonth = v(StartMonth);
    form.startYear = v(StartYear);
    form.startHour = v(StartHour);
    form.startMinute = v(StartMinute);
    form.intervalOn = box(Repeat)->isChecked();
    form.step = TimerStep{v(IntervalYears), v(IntervalMonths), v(IntervalDays), v(IntervalHours), v(IntervalMinutes)};
    form.endOn = box(EndTime)->isChecked();
    form.endHour = v(EndHour);
    form.endMinute = v(EndMinute);
    form.endDateOn = box(EndDate)->isChecked();
    form.endDay = v(EndDay);
    form.endMonth = v(EndMonth);
    form.endYear = v(EndYear);
    for (int d = 0; d < 7; ++d)
        form.weekDays[size_t(d)] = m_weekDays[size_t(d)]->isChecked();
    return form;
}

void TimerRowDialog::applyEnabling()
{
    const TimerEnabling e = timerEnabling(read());
    for (Field f : {IntervalYears, IntervalMonths, IntervalDays, IntervalHours, IntervalMinutes})
        field(f)->setEnabled(e.intervalFields);
    box(EndTime)->setEnabled(e.intervalFields);
    for (QCheckBox *day : m_weekDays)
        day->setEnabled(e.intervalFields);
    field(EndHour)->setEnabled(e.endTimeFields);
    field(EndMinute)->setEnabled(e.endTimeFields);
    box(EndDate)->setEnabled(e.endTimeFields);
    for (Field f : {EndDay, EndMonth, EndYear})
        field(f)->setEnabled(e.endDateFields);
    for (QLabel *title : findChildren<QLabel *>())
        if (title->buddy())
            title->setEnabled(title->buddy()->isEnabled());
}

void TimerRowDialog::startDateStepped()
{
    TimerForm form = read();
    const int length = correctStartDay(form);
    if (length > 0) {
        QSignalBlocker quiet(field(StartDay));
        field(StartDay)->setValue(form.startDay);
        field(StartDay)->setStepRange(1, length);
    }
    updateWeekDayNames();
}

void TimerRowDialog::updateWeekDayNames()
{
    m_startDayName->setText(weekDayName(field(StartDay)->value(), field(StartMonth)->value(),
                                        field(StartYear)->value(), m_locale));
    m_endDayName->setText(weekDayName(field(EndDay)->value(), field(EndMonth)->value(),
                                      field(EndYear)->value(), m_locale));
}

QWidget *TimerRowDialog::widgetOf(TimerField f) const
{
    switch (f) {
    case TimerField::StartMonth: return field(StartMonth);
    case TimerField::StartDay: return field(StartDay);
    case TimerField::StartYear: return field(StartYear);
    case TimerField::StartHour: return field(StartHour);
    case TimerField::StartMinute: return field(StartMinute);
    case TimerField::Interval: return field(IntervalDays);
    case TimerField::EndTime:
    case TimerField::EndHour: return field(EndHour);
    case TimerField::EndMinute: return field(EndMinute);
    case TimerField::EndMonth: return field(EndMonth);
    case TimerField::EndDay:
    case TimerField::EndDate: return field(EndDay);
    case TimerField::EndYear: return field(EndYear);
    case TimerField::WeekDays: return m_weekDays[0];
    case TimerField::None: break;
    }
    return nullptr;
}

void TimerRowDialog::accept()
{
    // A number still being typed counts.
    for (NumberField *f : m_fields)
        f->interpretText();
    TimerForm form = read();
    const TimerCheck check = m_editor.confirmDialog(m_row, form);
    if (check.ok()) {
        QDialog::accept();
        return;
    }
    fill(form); // the field the check names, put back
    m_dialogs.alert(this, QMessageBox::Warning, GLS("Warning:"), check.message, {GLS("OK")});
    if (QWidget *w = widgetOf(check.field)) {
        w->setFocus();
        if (auto *number = qobject_cast<NumberField *>(w))
            number->selectAll();
    }
}

} // namespace qm
