#include "log/time_text.h"
#include "log_test_support.h"

#include <QDateTime>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace vornicle {
namespace {

using test::ScopedTimeEnvironment;

const double kMorning = MakeAutomationDate(2020, 3, 13, 9, 5, 7);

TimeEnvironment clock24(double now, int flag = 1)
{
    return TimeEnvironment{[now] { return now; }, [flag] { return flag; }};
}

TEST(AutomationDate, KnownDayNumbersAndFields)
{
    EXPECT_DOUBLE_EQ(MakeAutomationDate(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(MakeAutomationDate(2020, 3, 13), 43903.0);
    EXPECT_DOUBLE_EQ(MakeAutomationDate(1899, 12, 29, 6), -1.25);

    const auto f = ToCalendarFields(kMorning);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->year, 2020);
    EXPECT_EQ(f->month, 3);
    EXPECT_EQ(f->day, 13);
    EXPECT_EQ(f->dayOfWeek, 5);  // a Friday
    EXPECT_EQ(f->hour, 9);
    EXPECT_EQ(f->minute, 5);
    EXPECT_EQ(f->second, 7);

    // Before 1899-12-30 the fraction counts forward from the day's midnight.
    const auto before = ToCalendarFields(-1.25);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->year, 1899);
    EXPECT_EQ(before->month, 12);
    EXPECT_EQ(before->day, 29);
    EXPECT_EQ(before->hour, 6);
}

TEST(AutomationDate, RoundsToTheSecondAndCarriesIntoTheNextDay)
{
    const auto up = ToCalendarFields(MakeAutomationDate(2020, 3, 13, 9, 5, 6) + 0.6 / 86400);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->second, 7);

    const auto carried = ToCalendarFields(MakeAutomationDate(2020, 2, 29, 23, 59, 59) + 0.7 / 86400);
    ASSERT_TRUE(carried);
    EXPECT_EQ(carried->month, 3);
    EXPECT_EQ(carried->day, 1);
    EXPECT_EQ(carried->hour, 0);
    EXPECT_EQ(carried->second, 0);
}

TEST(AutomationDate, RangeIsYear100ToYear9999)
{
    EXPECT_TRUE(ToCalendarFields(MakeAutomationDate(100, 1, 1)));
    EXPECT_TRUE(ToCalendarFields(MakeAutomationDate(9999, 12, 31, 23, 59, 59)));
    EXPECT_FALSE(ToCalendarFields(MakeAutomationDate(99, 12, 31)));
    EXPECT_FALSE(ToCalendarFields(MakeAutomationDate(9999, 12, 31) + 1.0));
    // The last second rounded up would leave the range.
    EXPECT_FALSE(ToCalendarFields(MakeAutomationDate(9999, 12, 31) + 0.99999999));
    EXPECT_FALSE(ToCalendarFields(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(ToCalendarFields(std::numeric_limits<double>::infinity()));
}

TEST(FormatTime, StylesAndTypesAt24Hour)
{
    ScopedTimeEnvironment env(clock24(kMorning));
    // [type][style]
    const char* const expected[6][4] = {
        {"2020年03月13日 09时05分07秒", "2020-03-13 09:05:07", "2020/03/13 09/05/07", "20200313090507"},
        {"2020年03月13日", "2020-03-13", "2020/03/13", "20200313"},
        {"03月13日", "03-13", "03/13", "0313"},
        {"09时05分07秒", "09:05:07", "09/05/07", "090507"},
        {"09时05分", "09:05", "09/05", "0905"},
        {"05分07秒", "05:07", "05/07", "0507"},
    };
    for (int type = 0; type < 6; ++type) {
        for (int style = 0; style < 4; ++style) {
            SCOPED_TRACE(testing::Message() << "type " << type << " style " << style);
            EXPECT_EQ(FormatTime(kMorning, style, type), QString::fromUtf8(expected[type][style]));
        }
    }
    // Styles and types out of range count as 0.
    for (int style : {7, -1, 4})
        EXPECT_EQ(FormatTime(kMorning, style, 2), QString::fromUtf8(expected[2][0]));
    for (int type : {6, -1})
        EXPECT_EQ(FormatTime(kMorning, 1, type), QString::fromUtf8(expected[0][1]));
    // Not given: the current time, style 0, type 0.
    EXPECT_EQ(FormatTime(), QString::fromUtf8(expected[0][0]));
    EXPECT_EQ(FormatTime(std::nullopt, 1), QString::fromUtf8(expected[0][1]));
}

TEST(FormatTime, TwelveHourLocale)
{
    ScopedTimeEnvironment env(clock24(0, 0));
    EXPECT_EQ(FormatTime(MakeAutomationDate(2020, 3, 13, 15, 4, 5), 1, 0), QStringLiteral("2020-03-13 03:04:05"));
    EXPECT_EQ(FormatTime(MakeAutomationDate(2020, 3, 13, 0, 30, 0), 0, 4), QString::fromUtf8("12时30分"));
    EXPECT_EQ(FormatTime(MakeAutomationDate(2020, 3, 13, 12, 0, 9), 3, 3), QStringLiteral("120009"));
}

TEST(FormatTime, UnconvertibleValueGivesEmptyText)
{
    ScopedTimeEnvironment env(clock24(kMorning));
    EXPECT_EQ(FormatTime(1e9, 0, 1), QString());
    EXPECT_EQ(FormatTime(std::numeric_limits<double>::quiet_NaN()), QString());
}

TEST(FormatByPictures, PicturesAndShortPictures)
{
    const double afternoon = MakeAutomationDate(2020, 3, 3, 15, 4, 5);
    struct Case {
        const char* date;
        const char* time;
        bool force24;
        const char* expected;
    };
    const Case cases[] = {
        {"yyyy-MM-dd ", "HH:mm:ss", false, "2020-03-03 15:04:05"},
        {"", "hh:mm:ss", false, "03:04:05"},
        {"", "hh:mm:ss", true, "15:04:05"},
        {"y/M/d", "h:m:s", false, "20/3/3" "3:4:5"},
        {"yy.MM", "", false, "20.03"},
        {"'dd' d", "'hh' H tt", false, "dd 3" "hh 15 PM"},
        {"MM", "HH:mm", false, "15:04"},   // a picture under 3 characters gives nothing
        {"yyyy", "ss", false, "2020"},
        {"yyyy年", "", false, "2020年"},
        {"ddd, MMM", "", false, "Tue, Mar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.date << " | " << c.time);
        EXPECT_EQ(FormatByPictures(afternoon, QString::fromUtf8(c.date), QString::fromUtf8(c.time), c.force24),
                  QString::fromUtf8(c.expected));
    }
    EXPECT_EQ(FormatByPictures(-700000.0, QStringLiteral("yyyy"), QStringLiteral("HH:mm")), QString());
}

TEST(DateTimeToText, ExamplesClampingAndRounding)
{
    struct Case {
        double time;
        const char* expected;
    };
    const Case cases[] = {
        {kMorning, "2020年3月13日9时5分7秒"},
        {MakeAutomationDate(2020, 3, 13, 15, 4, 0), "2020年3月13日15时4分"},
        {MakeAutomationDate(2020, 3, 13, 15, 0, 0), "2020年3月13日15时"},
        {MakeAutomationDate(2020, 3, 13, 9, 0, 0), "2020年3月13日9时"},
        {MakeAutomationDate(2020, 3, 13), "2020年3月13日"},
        {MakeAutomationDate(2020, 3, 13, 0, 0, 7), "2020年3月13日0时0分7秒"},
        {MakeAutomationDate(2020, 3, 13, 0, 5, 0), "2020年3月13日0时5分"},
        {MakeAutomationDate(2020, 3, 13, 9, 5, 6) + 0.5001 / 86400, "2020年3月13日9时5分7秒"},
        {MakeAutomationDate(2020, 3, 13, 23, 59, 59) + 0.7 / 86400, "2020年3月14日"},
        {MakeAutomationDate(1899, 12, 29, 6), "1899年12月29日6时"},
        {-700000.0, "100年1月1日"},
        {MakeAutomationDate(100, 1, 1, 12), "100年1月1日12时"},
        {3e6, "9999年12月31日"},
        {MakeAutomationDate(9999, 12, 31, 12), "9999年12月31日"},
        {1e300, "9999年12月31日"},
        {-1e300, "100年1月1日"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(DateTimeToText(c.time), QString::fromUtf8(c.expected));
    }
}

TEST(LocaleUses24Hour, TimeFormatClassification)
{
    struct Case {
        const char* format;
        int expected;
    };
    const Case cases[] = {
        {"%H:%M:%S", 1}, {"%T", 1}, {"%R", 1}, {"%k:%M", 1}, {"%OH:%M", 1}, {"%-H.%M", 1},
        {"%I:%M:%S %p", 0}, {"%r", 0}, {"%l:%M %p", 0}, {"", 0}, {"%%H", 0}, {"%", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(TimeFormatUses24Hour(c.format), c.expected);
    }
    EXPECT_EQ(TimeFormatUses24Hour(nullptr), 0);

    ScopedTimeEnvironment env(TimeEnvironment{{}, [] { return 0; }});
    EXPECT_EQ(LocaleUses24Hour(), 0);
}

TEST(CurrentTime, LocalTimeInWholeSeconds)
{
    const QDateTime local = QDateTime::currentDateTime();
    const double now = CurrentTime();
    const double seconds = now * 86400.0;
    EXPECT_NEAR(seconds - std::round(seconds), 0.0, 1e-3);
    const QDate d = local.date();
    const QTime t = local.time();
    const double expected = MakeAutomationDate(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
    EXPECT_NEAR(now, expected, 3.0 / 86400);

    ScopedTimeEnvironment env(TimeEnvironment{[] { return 42.5; }, {}});
    EXPECT_EQ(CurrentTime(), 42.5);
}

}  // namespace
}  // namespace vornicle
