#pragma once
// Time texts of the activity log. Times are automation dates: days since
// 1899-12-30 as a double, the fraction being the time of day.
#include <QString>
#include <functional>
#include <optional>

namespace vornicle {

// The clock and the locale's 24-hour flag, replaceable by tests.
struct TimeEnvironment {
    std::function<double()> now;          // current local time, whole seconds
    std::function<int()> locale24Hour;    // 1 for the 24-hour clock
};
// Installs env (any empty member keeps the real one); returns the previous one.
TimeEnvironment SetTimeEnvironment(TimeEnvironment env);

// Calendar fields of an automation date.
struct CalendarFields {
    int year = 0;
    int month = 0;       // 1..12
    int dayOfWeek = 0;   // 0 = Sunday .. 6 = Saturday
    int day = 0;         // 1..31
    int hour = 0;        // 0..23
    int minute = 0;
    int second = 0;
    int milliseconds = 0;  // always 0: the value is rounded to the nearest second
};

// Converts an automation date (100-01-01 .. 9999-12-31 23:59:59) to calendar
// fields, rounded to the nearest second. Before 1899-12-30 the fraction counts
// forward from the day's midnight (-1.25 is 1899-12-29 06:00). Empty when the
// value is out of range or not a number.
std::optional<CalendarFields> ToCalendarFields(double time);

// The automation date of a calendar date and time (proleptic Gregorian).
double MakeAutomationDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// 1 when a C-library time format (nl_langinfo(T_FMT)) shows the 24-hour clock
// (%H, %k, %R or %T, also with the E/O modifiers), else 0.
int TimeFormatUses24Hour(const char* timeFormat);

// The current local time to the whole second.
double CurrentTime();
// The locale's time-format flag: 1 for the 24-hour clock, else 0.
int LocaleUses24Hour();
// Formats time (default: the current time) by a style 0..3 (others as 0) and a
// type 0..5 (others as 0).
QString FormatTime(std::optional<double> time = std::nullopt, std::optional<int> style = std::nullopt,
                   std::optional<int> type = std::nullopt);
// Date text by the date picture (yyyy, yy, y, MM, M, dd, d; 'quoted' text kept)
// followed by the time text by the time picture (HH, H, hh, h, mm, m, ss, s,
// tt, t). A picture shorter than 3 characters gives an empty part; a value that
// cannot be converted gives the empty text.
QString FormatByPictures(double time, const QString& datePicture, const QString& timePicture,
                         std::optional<bool> force24Hour = std::nullopt);
// Long Chinese text of a time, e.g. 2020年3月13日9时5分7秒 (clamped to
// 100-01-01 .. 9999-12-31 00:00:00).
QString DateTimeToText(double time);

}  // namespace vornicle
