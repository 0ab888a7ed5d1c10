#pragma once
// The rules of the timer editor: what its dialog shows for a row, which of
// its fields are enabled, the checks a confirmed dialog must pass (in order,
// with their messages), what it stores into the row, and the list's cells.
#include "schedule/TimerRow.h"

#include <QLocale>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <array>

namespace qm {

// The field a failed check names (and selects).
enum class TimerField {
    None,
    StartMonth,
    StartDay,
    StartYear,
    StartHour,
    StartMinute,
    Interval,
    EndTime,
    EndHour,
    EndMinute,
    EndMonth,
    EndDay,
    EndYear,
    EndDate,
    WeekDays,
};

// The editing dialog's fields.
struct TimerForm {
    int startDay = 1;
    int startMonth = 1;
    int startYear = 2004;
    int startHour = 0;
    int startMinute = 0;
    bool intervalOn = false;
    TimerStep step;
    bool endOn = false;
    int endHour = 0;
    int endMinute = 0;
    bool endDateOn = false;
    int endDay = 1;
    int endMonth = 1;
    int endYear = 2004;
    std::array<bool, 7> weekDays = {true, true, true, true, true, true, true}; // Monday first

    // The dialog opened on a row: an empty row (valid 0) proposes a start of
    // now and an end of now plus 7 days; a valid row shows its own dates.
    static TimerForm fromRow(const QVariantMap &row, const QDateTime &now);
    // The row after a confirmed dialog: dates in local time with seconds 0,
    // every field stored as shown, valid 1; other keys of `row` kept.
    QVariantMap storeInto(QVariantMap row) const;
};

struct TimerCheck {
    TimerField field = TimerField::None;
    QString message;
    bool ok() const { return field == TimerField::None; }
};

// 29 for February when the year is divisible by 4, else 28; 30 for April,
// June, September and November; 31 otherwise. 0 for a month out of range.
int monthLength(int month, int year);

// The first check the form fails, or ok.
TimerCheck checkTimerForm(const TimerForm &form);
// Puts back the field that the failed check resets (month and day to 1,
// year to 2002); other fields are left as typed.
void resetFailedField(TimerForm &form, TimerField field);

// The steppers' correction after a change of start month or year: a start
// day beyond the month becomes its last day. Returns the month length (the
// day stepper's new maximum).
int correctStartDay(TimerForm &form);

// Which fields and boxes the dialog enables.
struct TimerEnabling {
    bool intervalFields = false; // and the end-time box and the week-day boxes
    bool endTimeFields = false;  // and the end-date box
    bool endDateFields = false;
};
TimerEnabling timerEnabling(const TimerForm &form);

// The week-day name ("%A") of a day given as day, month and year; "" when
// that is no date.
QString weekDayName(int day, int month, int year, const QLocale &locale);

// The list's cells.
QString onOffCellText(const QVariantMap &row);
QString startCellText(const QVariantMap &row, const QLocale &locale);
QString intervalCellText(const QVariantMap &row);

// The Option-click: the row emptied, with start and end now.
QVariantMap emptiedRow(QVariantMap row, const QDateTime &now);

// Applying the list: refused when it is switched on and no row is both on
// and valid.
bool isTimerListAcceptable(bool listOn, const QVariantList &rows);
QString emptyTimerListMessage();
// Title and text of the alert shown for a click while the list is off.
QString timerListOffTitle();
QString timerListOffMessage(const QString &switchTitle);

} // namespace qm
