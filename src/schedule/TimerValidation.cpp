#include "schedule/TimerValidation.h"

#include "platform/Messages.h"

#include <algorithm>

namespace qm {

namespace {

constexpr int kFirstYear = 2002;

TimerCheck fail(TimerField field, const QString &message)
{
    return TimerCheck{field, message};
}

bool inRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

TimerCheck checkStart(const TimerForm &form)
{
    if (!inRange(form.startMonth, 1, 12))
        return fail(TimerField::StartMonth, GLS("The Start Month field must contains values from 1 to 12."));
    if (!inRange(form.startDay, 1, monthLength(form.startMonth, form.startYear)))
        return fail(TimerField::StartDay, GLS("Start Day not valid."));
    if (form.startYear < kFirstYear)
        return fail(TimerField::StartYear, GLS("Can't set a Start Year less than 2002."));
    // Typed values beyond a clock would store a date that does not exist.
    if (!inRange(form.startHour, 0, 23))
        return fail(TimerField::StartHour, GLS("The Start Hour field must contain values from 0 to 23."));
    if (!inRange(form.startMinute, 0, 59))
        return fail(TimerField::StartMinute, GLS("The Start Minute field must contain values from 0 to 59."));
    return {};
}

TimerCheck checkEndTime(const TimerForm &form)
{
    if (!inRange(form.endHour, 0, 23))
        return fail(TimerField::EndHour, GLS("The End Hour field must contain values from 0 to 23."));
    if (!inRange(form.endMinute, 0, 59))
        return fail(TimerField::EndMinute, GLS("The End Minute field must contain values from 0 to 59."));
    // Shown as written: this text has never been looked up.
    if (form.startHour * 100 + form.startMinute >= form.endHour * 100 + form.endMinute)
        return fail(TimerField::EndTime, QStringLiteral("The end time cannot be earlier than the start time."));
    return {};
}

TimerCheck checkEndDate(const TimerForm &form)
{
    if (!inRange(form.endMonth, 1, 12))
        return fail(TimerField::EndMonth, GLS("The End Month field must contains values from 1 to 12."));
    if (!inRange(form.endDay, 1, monthLength(form.endMonth, form.endYear)))
        return fail(TimerField::EndDay, GLS("End Day not valid."));
    if (form.endYear < kFirstYear)
        return fail(TimerField::EndYear, GLS("Can't set an End Year less than 2002."));
    const int start = form.startYear * 10000 + form.startMonth * 100 + form.startDay;
    const int end = form.endYear * 10000 + form.endMonth * 100 + form.endDay;
    if (start > end)
        return fail(TimerField::EndDate, QStringLiteral("The end date cannot be earlier than the start date."));
    return {};
}

TimerCheck checkRepeat(const TimerForm &form)
{
    if (form.step.sum() == 0)
        return fail(TimerField::Interval, GLS("Can't set a zero interval."));
    if (form.endOn) {
        if (TimerCheck check = checkEndTime(form); !check.ok())
            return check;
        if (form.endDateOn) {
            if (TimerCheck check = checkEndDate(form); !check.ok())
                return check;
        }
    }
    if (std::none_of(form.weekDays.begin(), form.weekDays.end(), [](bool on) { return on; }))
        return fail(TimerField::WeekDays,
                    QStringLiteral("At least one of the check-boxes \"Execute on\" should be marked."));
    return {};
}

// A date from fields that were not checked (the end while its boxes are
// off) is still stored; it is pulled into range so the row always holds a
// real date.
QDateTime localDate(int day, int month, int year, int hour, int minute)
{
    const int y = std::clamp(year, 1, 9999);
    const int m = std::clamp(month, 1, 12);
    const int d = std::clamp(day, 1, monthLength(m, y));
    const QDate date(y, m, std::min(d, QDate(y, m, 1).daysInMonth()));
    return localDateTime(date, QTime(std::clamp(hour, 0, 23), std::clamp(minute, 0, 59), 0));
}

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

int monthLength(int month, int year)
{
    switch (month) {
    case 2:
        return year % 4 == 0 ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return inRange(month, 1, 12) ? 31 : 0;
    }
}

TimerCheck checkTimerForm(const TimerForm &form)
{
    if (TimerCheck check = checkStart(form); !check.ok())
        return check;
    if (form.intervalOn)
        return checkRepeat(form);
    return {};
}

void resetFailedField(TimerForm &form, TimerField field)
{
    switch (field) {
    case TimerField::StartMonth: form.startMonth = 1; break;
    case TimerField::StartDay: form.startDay = 1; break;
    case TimerField::StartYear: form.startYear = kFirstYear; break;
    case TimerField::EndMonth: form.endMonth = 1; break;
    case TimerField::EndDay: form.endDay = 1; break;
    case TimerField::EndYear: form.endYear = kFirstYear; break;
    default: break;
    }
}

int correctStartDay(TimerForm &form)
{
    const int length = monthLength(form.startMonth, form.startYear);
    if (length > 0 && form.startDay > length)
        form.startDay = length;
    return length;
}

TimerEnabling timerEnabling(const TimerForm &form)
{
    TimerEnabling enabling;
    enabling.intervalFields = form.intervalOn;
    enabling.endTimeFields = form.intervalOn && form.endOn;
    enabling.endDateFields = form.intervalOn && form.endOn && form.endDateOn;
    return enabling;
}

TimerForm TimerForm::fromRow(const QVariantMap &record, const QDateTime &now)
{
    const TimerRow row = TimerRow::fromRecord(record);
    const QDateTime localNow = toLocalMinute(now);
    const QDateTime start = row.valid ? row.start : localNow;
    const QDateTime end = row.valid ? row.end : localNow.addDays(7);
    TimerForm form;
    form.startDay = start.date().day();
    form.startMonth = start.date().month();
    form.startYear = start.date().year();
    form.startHour = start.time().hour();
    form.startMinute = start.time().minute();
    form.intervalOn = row.intervalOn;
    form.step = row.step;
    form.endOn = row.endOn;
    form.endHour = end.time().hour();
    form.endMinute = end.time().minute();
    form.endDateOn = row.endDateOn;
    form.endDay = end.date().day();
    form.endMonth = end.date().month();
    form.endYear = end.date().year();
    form.weekDays = row.weekDays;
    return form;
}

QVariantMap TimerForm::storeInto(QVariantMap row) const
{
    TimerRow stored;
    stored.valid = true;
    stored.onOff = TimerRow::fromRecord(row).onOff;
    stored.start = localDate(startDay, startMonth, startYear, startHour, startMinute);
    stored.intervalOn = intervalOn;
    stored.step = step;
    stored.endOn = endOn;
    stored.endDateOn = endDateOn;
    stored.end = localDate(endDay, endMonth, endYear, endHour, endMinute);
    stored.weekDays = weekDays;
    const QVariantMap fields = stored.toRecord();
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

QString weekDayName(int day, int month, int year, const QLocale &locale)
{
    const QDate date(year, month, day);
    return date.isValid() ? locale.dayName(date.dayOfWeek(), QLocale::LongFormat) : QString();
}

QString onOffCellText(const QVariantMap &row)
{
    return row.value(TimerKey::onOff).toLongLong() == 1 ? QStringLiteral("•") : QStringLiteral("-");
}

QString startCellText(const QVariantMap &record, const QLocale &locale)
{
    const TimerRow row = TimerRow::fromRecord(record);
    if (!row.valid)
        return QString();
    return locale.toString(row.start, "dd MMM yyyy, HH:mm");
}

QString intervalCellText(const QVariantMap &record)
{
    const TimerRow row = TimerRow::fromRecord(record);
    if (!row.valid || !row.intervalOn)
        return QString();
    QString text = twoDigits(row.step.hours) + ":" + twoDigits(row.step.minutes) + " ";
    if (row.step.years > 0)
        text += QString::number(row.step.years) + "Y ";
    if (row.step.months > 0)
        text += QString::number(row.step.months) + "M ";
    if (row.step.days > 0)
        text += QString::number(row.step.days) + "D";
    return text;
}

QVariantMap emptiedRow(QVariantMap row, const QDateTime &now)
{
    const QVariantMap empty = TimerRow::defaultRecord(now);
    for (auto it = empty.constBegin(); it != empty.constEnd(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

bool isTimerListAcceptable(bool listOn, const QVariantList &rows)
{
    if (!listOn)
        return true;
    return std::any_of(rows.begin(), rows.end(), [](const QVariant &record) {
        const QVariantMap row = record.toMap();
        return row.value(TimerKey::onOff).toLongLong() != 0 && row.value(TimerKey::valid).toLongLong() != 0;
    });
}

QString emptyTimerListMessage()
{
    return GLS("Can't set an empty Timer list.");
}

QString timerListOffTitle()
{
    return GLS("The Timer list is off:");
}

QString timerListOffMessage(const QString &switchTitle)
{
    return GLS("In order to edit the Timer list, mark the check-box") + " \"" + switchTitle + "\".";
}

} // namespace qm
