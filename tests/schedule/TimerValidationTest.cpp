#include "ScheduleTestSupport.h"
#include "schedule/TimerValidation.h"

#include <functional>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

// A repeating form that passes every check: 10:00 to 18:00 every hour,
// 1 to 31 March 2026.
TimerForm acceptedForm()
{
    TimerForm form;
    form.startMonth = 3;
    form.startYear = 2026;
    form.startHour = 10;
    form.intervalOn = form.endOn = form.endDateOn = true;
    form.step.hours = 1;
    form.endHour = 18;
    form.endDay = 31;
    form.endMonth = 3;
    form.endYear = 2026;
    return form;
}

using Change = std::function<void(TimerForm &)>;

// Each broken rule names its own field, so the form marks the right one.
TEST(TimerValidation, EachRuleRefusesItsField)
{
    const std::pair<Change, TimerField> cases[] = {
        // The month is checked before the day and the day before the year.
        {[](TimerForm &f) { f.startMonth = 13, f.startDay = 40, f.startYear = 1; }, TimerField::StartMonth},
        {[](TimerForm &f) { f.startDay = 40, f.startYear = 1; }, TimerField::StartDay},
        {[](TimerForm &f) { f.startMonth = 2, f.startDay = 29, f.startYear = 2009; }, TimerField::StartDay},
        {[](TimerForm &f) { f.startMonth = 4, f.startDay = 31; }, TimerField::StartDay},
        {[](TimerForm &f) { f.startYear = 2001; }, TimerField::StartYear},
        {[](TimerForm &f) { f.startHour = 24; }, TimerField::StartHour},
        {[](TimerForm &f) { f.startMinute = -1; }, TimerField::StartMinute},
        {[](TimerForm &f) { f.step = {}; }, TimerField::Interval},
        {[](TimerForm &f) { f.endHour = 10; }, TimerField::EndTime},
        {[](TimerForm &f) { f.endHour = 9, f.endMinute = 59; }, TimerField::EndTime},
        {[](TimerForm &f) { f.endHour = 24; }, TimerField::EndHour},
        {[](TimerForm &f) { f.endMinute = 60; }, TimerField::EndMinute},
        {[](TimerForm &f) { f.endMonth = 0; }, TimerField::EndMonth},
        {[](TimerForm &f) { f.endMonth = 2, f.endDay = 30; }, TimerField::EndDay},
        {[](TimerForm &f) { f.endYear = 2001; }, TimerField::EndYear},
        {[](TimerForm &f) { f.endMonth = 2, f.endDay = 28; }, TimerField::EndDate},
        {[](TimerForm &f) { f.weekDays.fill(false); }, TimerField::WeekDays},
    };
    for (int index = 0; index < int(std::size(cases)); ++index) {
        SCOPED_TRACE(index);
        TimerForm form = acceptedForm();
        cases[index].first(form);
        const TimerCheck check = checkTimerForm(form);
        EXPECT_EQ(check.field, cases[index].second);
        EXPECT_FALSE(check.message.isEmpty());
    }
}

TEST(TimerValidation, EdgesThatAreAccepted)
{
    const Change changes[] = {
        [](TimerForm &) {},
        [](TimerForm &f) { f.intervalOn = false, f.startMonth = 2, f.startDay = 29, f.startYear = 2008; },
        [](TimerForm &f) { f.intervalOn = false, f.startMonth = 2, f.startDay = 29, f.startYear = 2100; },
        [](TimerForm &f) { f.startMonth = 4, f.endMonth = 5, f.endDay = 31; }, // 31 in a 31-day end month
        [](TimerForm &f) { f.endDay = 1; },                                    // end date = start date
        [](TimerForm &f) { f.endHour = 10, f.endMinute = 1; },
        [](TimerForm &f) { f.endDateOn = false, f.endYear = 1990; },
        [](TimerForm &f) { f.endOn = false, f.endYear = 1990, f.endHour = 3; },
        // A one-shot timer skips every check of a repeating one.
        [](TimerForm &f) { f.intervalOn = false, f.step = {}, f.endHour = 1, f.endMonth = 99, f.weekDays.fill(false); },
    };
    for (int index = 0; index < int(std::size(changes)); ++index) {
        TimerForm form = acceptedForm();
        changes[index](form);
        EXPECT_TRUE(checkTimerForm(form).ok()) << "case " << index << ": " << checkTimerForm(form).message.toStdString();
    }
}

TEST(TimerValidation, RefusedFieldsAreResetAndSteppersCorrectTheDay)
{
    TimerForm form = acceptedForm();
    form.startMonth = form.startDay = form.endMonth = form.endDay = 40;
    form.startYear = form.endYear = 1990;
    for (TimerField field : {TimerField::StartMonth, TimerField::StartDay, TimerField::StartYear,
                             TimerField::EndMonth, TimerField::EndDay, TimerField::EndYear})
        resetFailedField(form, field);
    EXPECT_EQ(QList<int>({form.startMonth, form.startDay, form.startYear, form.endMonth, form.endDay, form.endYear}),
              QList<int>({1, 1, 2002, 1, 1, 2002}));

    form.startDay = 31;
    form.startMonth = 2;
    form.startYear = 2027;
    EXPECT_EQ(correctStartDay(form), 28);
    EXPECT_EQ(form.startDay, 28);
    form.startMonth = 6;
    form.startDay = 15;
    EXPECT_EQ(correctStartDay(form), 30);
    EXPECT_EQ(form.startDay, 15);
    EXPECT_EQ(weekDayName(7, 12, 2026, QLocale::c()), "Monday");
    EXPECT_EQ(weekDayName(31, 2, 2026, QLocale::c()), "");
}

TEST(TimerValidation, StoringWritesEveryFieldAsShownAndReopensTheSame)
{
    ScopedTimeZone zone(kBerlin);
    TimerForm form = acceptedForm();
    form.intervalOn = false; // the interval is stored anyway
    form.step.days = 2;
    form.startMinute = 45;
    form.weekDays[2] = false;
    QVariantMap old = TimerRow::defaultRecord(TimerRow::defaultStart());
    old.insert("onOff", qlonglong(0));
    const QVariantMap stored = form.storeInto(old);
    EXPECT_EQ(stored.size(), old.size());
    EXPECT_EQ(stored.value("start").toDateTime(), at(2026, 3, 1, 10, 45));
    EXPECT_EQ(stored.value("end").toDateTime(), at(2026, 3, 31, 18, 0));
    QList<qlonglong> flags; // the switch is kept as it was
    for (const char *key : {"valid", "onOff", "intervalOn", "intervalDays", "onlyWednesday", "onlyThursday"})
        flags.append(stored.value(key).toLongLong());
    EXPECT_EQ(flags, QList<qlonglong>({1, 0, 0, 2, 0, 1}));

    const TimerForm reopened = TimerForm::fromRow(stored, at(2030, 1, 1));
    EXPECT_EQ(QList<int>({reopened.startMinute, reopened.endDay, reopened.step.days, reopened.weekDays[2]}),
              QList<int>({45, 31, 2, 0}));

    // End fields that were not checked still make a real date.
    form.endMonth = 2;
    form.endHour = 30;
    EXPECT_EQ(form.storeInto({}).value("end").toDateTime(), at(2026, 2, 28, 23, 0));

    // A start in the hour that summer time skips is stored as the time after
    // the jump, not as an invalid date.
    form.startMonth = 3;
    form.startDay = 29;
    form.startHour = 2;
    form.startMinute = 30;
    const QDateTime skipped = form.storeInto({}).value("start").toDateTime();
    ASSERT_TRUE(skipped.isValid());
    EXPECT_EQ(skipped.toLocalTime(), at(2026, 3, 29, 3, 30));

    // An empty row proposes now and a week later.
    const TimerForm proposed = TimerForm::fromRow(old, at(2026, 12, 7, 9, 41, 12));
    EXPECT_EQ(QList<int>({proposed.startDay, proposed.startHour, proposed.startMinute, proposed.endDay}),
              QList<int>({7, 9, 41, 14}));
}

TEST(TimerList, CellsRowActionsAndApplying)
{
    QVariantMap record = repeating(at(2026, 3, 5, 7, 5), TimerStep{1, 2, 3, 4, 5}).toRecord();
    EXPECT_EQ(onOffCellText(record), "•");
    EXPECT_EQ(startCellText(record, QLocale::c()), "05 Mar 2026, 07:05");
    EXPECT_EQ(intervalCellText(record), "04:05 1Y 2M 3D");
    record.insert("intervalYears", qlonglong(0));
    record.insert("intervalDays", qlonglong(0));
    EXPECT_EQ(intervalCellText(record), "04:05 2M ");
    record.insert("intervalOn", qlonglong(0));
    EXPECT_EQ(intervalCellText(record), "");

    record.insert("onOff", qlonglong(7));
    EXPECT_EQ(onOffCellText(record), "-");

    const QDateTime now = at(2026, 12, 7, 9, 0);
    const QVariantMap emptied = emptiedRow(record, now);
    EXPECT_EQ(emptied, TimerRow::defaultRecord(now));
    EXPECT_EQ(startCellText(emptied, QLocale::c()), "");

    const QVariantMap valid = oneShot(now).toRecord();
    EXPECT_FALSE(isTimerListAcceptable(true, {emptied, emptied}));
    EXPECT_TRUE(isTimerListAcceptable(false, {emptied}));
    EXPECT_TRUE(isTimerListAcceptable(true, {emptied, valid}));
    QVariantMap off = valid;
    off.insert("onOff", qlonglong(0));
    EXPECT_FALSE(isTimerListAcceptable(true, {off}));
}

} // namespace
