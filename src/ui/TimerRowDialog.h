#pragma once
// The modal editor of one timer row: start date and time, the repeat
// interval, the daily end time, the last day and the week days. OK runs the
// editor's checks in order; a failed check shows its warning, puts the
// field back as the check says and selects it, and the dialog stays.
#include "schedule/TimerValidation.h"

#include <QDialog>
#include <QLocale>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;

namespace qm {

class Dialogs;
class NumberField;
class TimerListEditor;

class TimerRowDialog : public QDialog {
    Q_OBJECT
public:
    enum Field {
        StartDay, StartMonth, StartYear, StartHour, StartMinute,
        IntervalYears, IntervalMonths, IntervalDays, IntervalHours, IntervalMinutes,
        EndHour, EndMinute, EndDay, EndMonth, EndYear,
        FieldCount
    };
    enum Box { Repeat, EndTime, EndDate, BoxCount };

    TimerRowDialog(TimerListEditor &editor, int row, Dialogs &dialogs, const QLocale &locale,
                   QWidget *parent = nullptr);

    int row() const { return m_row; }
    NumberField *field(Field f) const { return m_fields[size_t(f)]; }
    QCheckBox *box(Box b) const { return m_boxes[size_t(b)]; }
    // Monday first.
    QCheckBox *weekDayBox(int day) const { return m_weekDays[size_t(day)]; }
    QLabel *startWeekDayLabel() const { return m_startDayName; }
    QLabel *endWeekDayLabel() const { return m_endDayName; }
    QPushButton *okButton() const { return m_ok; }

    // OK: stores the row and closes, or stays with the failed check's warning.
    void accept() override;

private:
    void fill(const TimerForm &form);
    TimerForm read() const;
    void applyEnabling();
    void startDateStepped();
    void updateWeekDayNames();
    QWidget *widgetOf(TimerField field) const;

    TimerListEditor &m_editor;
    int m_row;
    Dialogs &m_dialogs;
    QLocale m_locale;
    std::array<NumberField *, FieldCount> m_fields{};
    std::array<QCheckBox *, BoxCount> m_boxes{};
    std::array<QCheckBox *, 7> m_weekDays{};
    QLabel *m_startDayName = nullptr;
    QLabel *m_endDayName = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace qm
