#include "ScheduleTestSupport.h"
#include "schedule/TimerValidation.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

// A repeating form that passes every check: 10:00 to 18:00 every hour,
// 1 to 31 March 2026.
TimerForm acceptedForm()
{
    TimerForm form;
    form.startDay = 1;
    form.startMonth = 3;
    form.startYear = 2026;
    form.startHour = 10;
    form.intervalOn = true;
    form.step.hours = 1;
    form.endOn = true;
    form.endHour = 18;
    form.endDateOn = true;
    form.endDay = 31;
    form.endMonth = 3;
    form.endYear = 2026;
    return form;
}

void expectRefused(const TimerForm &form, TimerField field, const char *message)
{
    const TimerCheck check = checkTimerForm(form);
    EXPECT_EQ(check.field, field) << message;
    EXPECT_EQ(check.message, QString::fromUtf8(message));
}

TEST(TimerValidation, AcceptedFormPasses)
{
    EXPECT_TRUE(checkTimerForm(acceptedForm()).ok());
}

TEST(TimerValidation, StartFieldsAreCheckedInOrder)
{
    TimerForm form = acceptedForm();
    form.startMonth = 13;
    form.startDay = 40;
    form.startYear = 1999;
    expectRefused(form, TimerField::StartMonth, "The Start Month field must contains values from 1 to 12.");
    resetFailedField(form, TimerField::StartMonth);
    EXPECT_EQ(form.startMonth, 1);
    expectRefused(form, TimerField::StartDay, "Start Day not valid.");
    resetFailedField(form, TimerField::StartDay);
    EXPECT_EQ(form.startDay, 1);
    expectRefused(form, TimerField::StartYear, "Can't set a Start Year less than 2002.");
    resetFailedField(form, TimerField::StartYear);
    EXPECT_EQ(form.startYear, 2002);
    form.startMonth = 0;
    expectRefused(form, TimerField::StartMonth, "The Start Month field must contains values from 1 to 12.");
}

TEST(TimerValidation, LeapDaysFollowTheEditorsMonthLengths)
{
    TimerForm form = acceptedForm();
    form.intervalOn = false;
    form.startMonth = 2;
    form.startDay = 29;
    form.startYear = 2008;
    EXPECT_TRUE(checkTimerForm(form).ok());
    form.startYear = 2009;
    expectRefused(form, TimerField::StartDay, "Start Day not valid.");
    form.startYear = 2100;
    EXPECT_TRUE(checkTimerForm(form).ok());
    form.startMonth = 4;
    form.startDay = 31;
    expectRefused(form, TimerField::StartDay, "Start Day not valid.");
    form.startDay = 0;
    expectRefused(form, TimerField::StartDay, "Start Day not valid.");
    EXPECT_EQ(monthLength(2, 2100), 29);
    EXPECT_EQ(monthLength(2, 2027), 28);
    EXPECT_EQ(monthLength(11, 2027), 30);
    EXPECT_EQ(monthLength(12, 2027), 31);
    EXPECT_EQ(monthLength(13, 2027), 0);
}

TEST(TimerValidation, StartHourAndMinuteMustBeOnTheClock)
{
    TimerForm form = acceptedForm();
    form.startHour = 24;
    expectRefused(form, TimerField::StartHour, "The Start Hour field must contain values from 0 to 23.");
    form.startHour = 10;
    form.startMinute = -1;
    expectRefused(form, TimerField::StartMinute, "The Start Minute field must contain values from 0 to 59.");
}

TEST(TimerValidation, RepeatingTimerNeedsAnInterval)
{
    TimerForm form = acceptedForm();
    form.step = TimerStep{};
    expectRefused(form, TimerField::Interval, "Can't set a zero interval.");
    form.intervalOn = false;
    EXPECT_TRUE(checkTimerForm(form).ok());
}

TEST(TimerValidation, EndTimeMustFollowTheStartTime)
{
    TimerForm form = acceptedForm();
    form.endHour = 10;
    form.endMinute = 0;
    expectRefused(form, TimerField::EndTime, "The end time cannot be earlier than the start time.");
    form.endMinute = 1;
    EXPECT_TRUE(checkTimerForm(form).ok());
    form.endHour = 9;
    form.endMinute = 59;
    expectRefused(form, TimerField::EndTime, "The end time cannot be earlier than the start time.");
    form.endOn = false; // and the end date goes unchecked with it
    form.endYear = 1990;
    EXPECT_TRUE(checkTimerForm(form).ok());
    form.endOn = true;
    form.endHour = 25;
    expectRefused(form, TimerField::EndHour, "The End Hour field must contain values from 0 to 23.");
    form.endHour = 18;
    form.endMinute = 60;
    expectRefused(form, TimerField::EndMinute, "The End Minute field must contain values from 0 to 59.");
}

TEST(TimerValidation, EndDateFieldsAreCheckedWithBothEndBoxes)
{
    TimerForm form = acceptedForm();
    form.endMonth = 13;
    expectRefused(form, TimerField::EndMonth, "The End Month field must contains values from 1 to 12.");
    resetFailedField(form, TimerField::EndMonth);
    EXPECT_EQ(form.endMonth, 1);
    form.endMonth = 2;
    form.endDay = 30;
    expectRefused(form, TimerField::EndDay, "End Day not valid.");
    resetFailedField(form, TimerField::EndDay);
    EXPECT_EQ(form.endDay, 1);
    form.endYear = 2001;
    expectRefused(form, TimerField::EndYear, "Can't set an End Year less than 2002.");
    resetFailedField(form, TimerField::EndYear);
    EXPECT_EQ(form.endYear, 2002);
    expectRefused(form, TimerField::EndDate, "The end date cannot be earlier than the start date.");
    // A 31-day end month is fine although the start month has 30 days.
    form = acceptedForm();
    form.startMonth = 4;
    form.endMonth = 5;
    form.endDay = 31;
    EXPECT_TRUE(checkTimerForm(form).ok());
    // An end date equal to the start date is accepted.
    form.endMonth = 4;
    form.endDay = 1;
    EXPECT_TRUE(checkTimerForm(form).ok());
    // Without the end-date box the end date is not checked.
    form.endDateOn = false;
    form.endYear = 1990;
    EXPECT_TRUE(checkTimerForm(form).ok());
}

TEST(TimerValidation, RepeatingTimerNeedsAWeekDay)
{
    TimerForm form = acceptedForm();
    form.weekDays.fill(false);
    expectRefused(form, TimerField::WeekDays, "At least one of the check-boxes \"Execute on\" should be marked.");
    form.weekDays[4] = true;
    EXPECT_TRUE(checkTimerForm(form).ok());
}

TEST(TimerValidation, OneShotSkipsEveryRepeatCheck)
{
    TimerForm form = acceptedForm();
    form.intervalOn = false;
    form.step = TimerStep{};
    form.endHour = 1;
    form.endMonth = 99;
    form.weekDays.fill(false);
    EXPECT_TRUE(checkTimerForm(form).ok());
}

TEST(TimerValidation, StoringWritesEveryFieldAsShown)
{
    ScopedTimeZone zone("Europe/Berlin");
    TimerForm form = acceptedForm();
    form.intervalOn = false; // interval fields are kept anyway
    form.step.days = 2;
    form.startMinute = 45;
    form.weekDays[2] = false;
    QVariantMap old = TimerRow::defaultRecord(TimerRow::defaultStart());
    old.insert("onOff", qlonglong(0));
    const QVariantMap stored = form.storeInto(old);
    EXPECT_EQ(stored.value("valid").toLongLong(), 1);
    EXPECT_EQ(stored.value("onOff").toLongLong(), 0);
    EXPECT_EQ(stored.value("start").toDateTime(), at(2026, 3, 1, 10, 45));
    EXPECT_EQ(stored.value("end").toDateTime(), at(2026, 3, 31, 18, 0));
    EXPECT_EQ(stored.value("intervalOn").toLongLong(), 0);
    EXPECT_EQ(stored.value("intervalHours").toLongLong(), 1);
    EXPECT_EQ(stored.value("intervalDays").toLongLong(), 2);
    EXPECT_EQ(stored.value("endOn").toLongLong(), 1);
    EXPECT_EQ(stored.value("endDateOn").toLongLong(), 1);
    EXPECT_EQ(stored.value("onlyWednesday").toLongLong(), 0);
    EXPECT_EQ(stored.value("onlyThursday").toLongLong(), 1);
    EXPECT_EQ(stored.size(), old.size());

    // Opening the stored row again shows the same fields.
    const TimerForm reopened = TimerForm::fromRow(stored, at(2030, 1, 1));
    EXPECT_EQ(reopened.startMinute, 45);
    EXPECT_EQ(reopened.endDay, 31);
    EXPECT_EQ(reopened.step.days, 2);
    EXPECT_FALSE(reopened.weekDays[2]);
}

TEST(TimerValidation, UncheckedEndFieldsStillStoreARealDate)
{
    TimerForm form = acceptedForm();
    form.intervalOn = false;
    form.endMonth = 2;
    form.endDay = 31;
    form.endHour = 30;
    const QDateTime end = form.storeInto({}).value("end").toDateTime();
    ASSERT_TRUE(end.isValid());
    EXPECT_EQ(end.date(), QDate(2026, 2, 28));
    EXPECT_EQ(end.time().hour(), 23);
}

TEST(TimerValidation, EmptyRowProposesNowAndAWeekLater)
{
    const QDateTime now = at(2026, 12, 7, 9, 41, 12);
    const TimerForm form = TimerForm::fromRow(TimerRow::defaultRecord(TimerRow::defaultStart()), now);
    EXPECT_EQ(form.startYear, 2026);
    EXPECT_EQ(form.startDay, 7);
    EXPECT_EQ(form.startHour, 9);
    EXPECT_EQ(form.startMinute, 41);
    EXPECT_EQ(form.endDay, 14);
    EXPECT_EQ(form.endMonth, 12);
}

TEST(TimerValidation, SteppersPullTheStartDayIntoTheMonth)
{
    TimerForm form = acceptedForm();
    form.startDay = 31;
    form.startMonth = 2;
    form.startYear = 2027;
    EXPECT_EQ(correctStartDay(form), 28);
    EXPECT_EQ(form.startDay, 28);
    form.startDay = 15;
    form.startMonth = 6;
    EXPECT_EQ(correctStartDay(form), 30);
    EXPECT_EQ(form.startDay, 15);
    EXPECT_EQ(weekDayName(7, 12, 2026, QLocale::c()), "Monday");
    EXPECT_EQ(weekDayName(31, 2, 2026, QLocale::c()), "");
}

TEST(TimerValidation, EnablingFollowsTheBoxChain)
{
    TimerForm form;
    form.endOn = true;
    form.endDateOn = true;
    TimerEnabling e = timerEnabling(form);
    EXPECT_FALSE(e.intervalFields || e.endTimeFields || e.endDateFields);
    form.intervalOn = true;
    e = timerEnabling(form);
    EXPECT_TRUE(e.intervalFields && e.endTimeFields && e.endDateFields);
    form.endOn = false;
    e = timerEnabling(form);
    EXPECT_TRUE(e.intervalFields);
    EXPECT_FALSE(e.endTimeFields || e.endDateFields);
}

TEST(TimerList, CellsShowValidRowsOnly)
{
    TimerRow row = repeating(at(2026, 3, 5, 7, 5), TimerStep{1, 2, 3, 4, 5});
    QVariantMap record = row.toRecord();
    EXPECT_EQ(onOffCellText(record), "•");
    EXPECT_EQ(startCellText(record, QLocale::c()), "05 Mar 2026, 07:05");
    EXPECT_EQ(intervalCellText(record), "04:05 1Y 2M 3D");
    record.insert("intervalYears", qlonglong(0));
    record.insert("intervalMonths", qlonglong(0));
    EXPECT_EQ(intervalCellText(record), "04:05 3D");
    record.insert("intervalDays", qlonglong(0));
    EXPECT_EQ(intervalCellText(record), "04:05 ");
    record.insert("intervalOn", qlonglong(0));
    EXPECT_EQ(intervalCellText(record), "");
    record.insert("valid", qlonglong(0));
    record.insert("onOff", qlonglong(2));
    EXPECT_EQ(onOffCellText(record), "-");
    EXPECT_EQ(startCellText(record, QLocale::c()), "");
}

TEST(TimerList, RowActions)
{
    QVariantMap record = repeating(at(2026, 3, 5, 7, 5), days(1)).toRecord();
    record = flipOnOff(record);
    EXPECT_EQ(record.value("onOff").toLongLong(), 0);
    record.insert("onOff", qlonglong(7));
    EXPECT_EQ(flipOnOff(record).value("onOff").toLongLong(), 1);

    const QDateTime now = at(2026, 12, 7, 9, 0);
    const QVariantMap emptied = emptiedRow(record, now);
    EXPECT_EQ(emptied.value("valid").toLongLong(), 0);
    EXPECT_EQ(emptied.value("onOff").toLongLong(), 1);
    EXPECT_EQ(emptied.value("intervalOn").toLongLong(), 0);
    EXPECT_EQ(emptied.value("intervalDays").toLongLong(), 0);
    EXPECT_EQ(emptied.value("start").toDateTime(), now);
    EXPECT_EQ(emptied.value("end").toDateTime(), now);
    EXPECT_EQ(emptied.value("onlySunday").toLongLong(), 1);
}

TEST(TimerList, ApplyingRefusesAnEmptyActiveList)
{
    QVariantMap valid = oneShot(at(2026, 12, 7, 9, 0)).toRecord();
    QVariantMap empty = TimerRow::defaultRecord(TimerRow::defaultStart());
    EXPECT_FALSE(isTimerListAcceptable(true, {empty, empty}));
    EXPECT_TRUE(isTimerListAcceptable(false, {empty}));
    EXPECT_TRUE(isTimerListAcceptable(true, {empty, valid}));
    valid.insert("onOff", qlonglong(0));
    EXPECT_FALSE(isTimerListAcceptable(true, {empty, valid}));
    EXPECT_EQ(emptyTimerListMessage(), "Can't set an empty Timer list.");
    EXPECT_EQ(timerListOffTitle(), "The Timer list is off:");
    EXPECT_EQ(timerListOffMessage("Timers on"),
              "In order to edit the Timer list, mark the check-box \"Timers on\".");
}

} // namespace
