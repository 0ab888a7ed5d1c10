#pragma once
// One timer row of a session, read from and written to its stored record.
#include <QDateTime>
#include <QVariantMap>
#include <array>

namespace qm {

namespace TimerKey {
inline constexpr const char *valid = "valid";
inline constexpr const char *onOff = "onOff";
inline constexpr const char *start = "start";
inline constexpr const char *intervalOn = "intervalOn";
inline constexpr const char *intervalHours = "intervalHours";
inline constexpr const char *intervalMinutes = "intervalMinutes";
inline constexpr const char *intervalDays = "intervalDays";
inline constexpr const char *intervalMonths = "intervalMonths";
inline constexpr const char *intervalYears = "intervalYears";
inline constexpr const char *endOn = "endOn";
inline constexpr const char *endDateOn = "endDateOn";
inline constexpr const char *end = "end";
// Indexed by Qt's day of the week minus one: Monday first.
inline constexpr std::array<const char *, 7> weekDays = {
    "onlyMonday", "onlyTuesday", "onlyWednesday", "onlyThursday",
    "onlyFriday", "onlySaturday", "onlySunday"};
} // namespace TimerKey

// The step of a repeating timer: all five values are added in one calendar
// addition.
struct TimerStep {
    int years = 0;
    int months = 0;
    int days = 0;
    int hours = 0;
    int minutes = 0;

    qint64 sum() const { return qint64(years) + months + days + hours + minutes; }
    bool hasNegative() const { return years < 0 || months < 0 || days < 0 || hours < 0 || minutes < 0; }
    // start + count steps. Months and years go first (a day the target month
    // lacks becomes its last day: 31 January + 1 month = 28 or 29 February),
    // then days on the wall clock (a daily timer keeps its time of day across
    // a daylight-saving change), then hours and minutes as elapsed time.
    // Computed from start each time, so a monthly timer on the 31st returns
    // to the 31st whenever the month has one. Invalid when out of range.
    QDateTime addTo(const QDateTime &start, qint64 count) const;
};

struct TimerRow {
    bool valid = false;
    bool onOff = true;
    QDateTime start; // local time
    bool intervalOn = false;
    TimerStep step;
    bool endOn = false;
    bool endDateOn = false;
    QDateTime end; // local time
    std::array<bool, 7> weekDays = {true, true, true, true, true, true, true}; // Monday first

    // Missing keys take their defaults.
    static TimerRow fromRecord(const QVariantMap &record);
    QVariantMap toRecord() const;

    // A new row: every key at its default, with the given start and end.
    static QVariantMap defaultRecord(const QDateTime &startAndEnd);
    // 1 January 2004, 00:00 local time.
    static QDateTime defaultStart();

    // Qt day of the week: 1 Monday .. 7 Sunday.
    bool runsOnDayOfWeek(int qtDayOfWeek) const;
};

// A local date and time; a time that the clock skips (the hour lost to
// summer time) becomes the same time after the jump, never an invalid date.
QDateTime localDateTime(const QDate &date, const QTime &time);
// Local time with the seconds and milliseconds dropped.
QDateTime toLocalMinute(const QDateTime &dateTime);
// Hour x 60 + minute of a local time.
int minuteOfDay(const QDateTime &local);

} // namespace qm
