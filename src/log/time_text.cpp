#include "log/time_text.h"

#include <QLocale>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <langinfo.h>
#include <memory>
#include <mutex>

namespace vornicle {

namespace {

// ---- environment ---------------------------------------------------------

std::mutex& environmentMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<const TimeEnvironment>& environmentSlot()
{
    static std::shared_ptr<const TimeEnvironment> env = std::make_shared<const TimeEnvironment>();
    return env;
}

std::shared_ptr<const TimeEnvironment> environment()
{
    std::lock_guard lock(environmentMutex());
    return environmentSlot();
}

// ---- calendar ------------------------------------------------------------

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar.
constexpr int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr int64_t kEpochDays = daysFromCivil(1899, 12, 30);
// 100-01-01 and 9999-12-31 as automation day numbers.
constexpr double kFirstDay = static_cast<double>(daysFromCivil(100, 1, 1) - kEpochDays);
constexpr double kLastDay = static_cast<double>(daysFromCivil(9999, 12, 31) - kEpochDays);

// The instant an automation date stands for, on a monotonic scale (negative
// values count the fraction forward from their day's midnight).
double linearTime(double time)
{
    const double day = std::trunc(time);
    return day + std::fabs(time - day);
}

// ---- pictures ------------------------------------------------------------

void appendNumber(QString& out, int value, int minDigits)
{
    out += QString::number(value).rightJustified(minDigits, QLatin1Char('0'));
}

// Length of the run of c starting at i.
qsizetype runLength(const QString& s, qsizetype i)
{
    qsizetype n = 1;
    while (i + n < s.size() && s[i + n] == s[i])
        ++n;
    return n;
}

// Copies a quoted literal starting at the opening quote at i; returns the index
// after it. Two quotes inside a literal give one quote.
qsizetype copyQuoted(const QString& s, qsizetype i, QString& out)
{
    ++i;
    while (i < s.size()) {
        if (s[i] == QLatin1Char('\'')) {
            if (i + 1 < s.size() && s[i + 1] == QLatin1Char('\'')) {
                out += QLatin1Char('\'');
                i += 2;
                continue;
            }
            return i + 1;
        }
        out += s[i++];
    }
    return i;
}

QString formatDate(const CalendarFields& f, const QString& picture)
{
    const QLocale c = QLocale::c();
    QString out;
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar ch = picture[i];
        if (ch == QLatin1Char('\'')) {
            i = copyQuoted(picture, i, out);
            continue;
        }
        const qsizetype n = runLength(picture, i);
        if (ch == QLatin1Char('y')) {
            if (n == 1)
                appendNumber(out, f.year % 100, 1);
            else if (n == 2)
                appendNumber(out, f.year % 100, 2);
            else
                appendNumber(out, f.year, 4);
        } else if (ch == QLatin1Char('M')) {
            if (n <= 2)
                appendNumber(out, f.month, static_cast<int>(n));
            else
                out += c.monthName(f.month, n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (ch == QLatin1Char('d')) {
            if (n <= 2)
                appendNumber(out, f.day, static_cast<int>(n));
            else
                out += c.dayName(f.dayOfWeek == 0 ? 7 : f.dayOfWeek,
                                 n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else {
            out += QString(n, ch);
        }
        i += n;
    }
    return out;
}

QString formatTimeOfDay(const CalendarFields& f, const QString& picture, bool force24)
{
    QString out;
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar ch = picture[i];
        if (ch == QLatin1Char('\'')) {
            i = copyQuoted(picture, i, out);
            continue;
        }
        const qsizetype n = runLength(picture, i);
        const int digits = n >= 2 ? 2 : 1;
        if (ch == QLatin1Char('H') || (ch == QLatin1Char('h') && force24)) {
            appendNumber(out, f.hour, digits);
        } else if (ch == QLatin1Char('h')) {
            const int h12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
            appendNumber(out, h12, digits);
        } else if (ch == QLatin1Char('m')) {
            appendNumber(out, f.minute, digits);
        } else if (ch == QLatin1Char('s')) {
            appendNumber(out, f.second, digits);
        } else if (ch == QLatin1Char('t')) {
            const bool pm = f.hour >= 12;
            out += n >= 2 ? QString::fromLatin1(pm ? "PM" : "AM") : QString::fromLatin1(pm ? "P" : "A");
        } else {
            out += QString(n, ch);
        }
        i += n;
    }
    return out;
}

// The picture tables: [style][date, time, month-day, hour-minute, minute-second].
const char* const kPictures[4][5] = {
    {"yyyy年MM月dd日 ", "hh时mm分ss秒", "MM月dd日", "hh时mm分", "mm分ss秒"},
    {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm", "mm:ss"},
    {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm", "mm/ss"},
    {"yyyyMMdd", "hhmmss", "MMdd", "hhmm", "mmss"},
};

// A picture counts by its length as 8-bit (UTF-8) text.
bool pictureUsable(const QString& picture)
{
    return picture.toUtf8().size() >= 3;
}

}  // namespace

TimeEnvironment SetTimeEnvironment(TimeEnvironment env)
{
    auto next = std::make_shared<const TimeEnvironment>(std::move(env));
    std::lock_guard lock(environmentMutex());
    std::shared_ptr<const TimeEnvironment> previous = environmentSlot();
    environmentSlot() = std::move(next);
    return *previous;
}

std::optional<CalendarFields> ToCalendarFields(double time)
{
    if (!std::isfinite(time) || time <= kFirstDay - 1.0 || time >= kLastDay + 1.0)
        return std::nullopt;
    double dayPart = std::trunc(time);
    int64_t seconds = std::llround(std::fabs(time - dayPart) * 86400.0);
    int64_t dayNumber = static_cast<int64_t>(dayPart);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++dayNumber;
    }
    if (static_cast<double>(dayNumber) > kLastDay)
        return std::nullopt;
    const int64_t civil = dayNumber + kEpochDays;
    CalendarFields f;
    civilFromDays(civil, f.year, f.month, f.day);
    f.dayOfWeek = static_cast<int>(((civil % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    f.hour = static_cast<int>(seconds / 3600);
    f.minute = static_cast<int>(seconds / 60 % 60);
    f.second = static_cast<int>(seconds % 60);
    return f;
}

double MakeAutomationDate(int year, int month, int day, int hour, int minute, int second)
{
    const double dayNumber = static_cast<double>(daysFromCivil(year, month, day) - kEpochDays);
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return dayNumber >= 0 ? dayNumber + fraction : dayNumber - fraction;
}

int TimeFormatUses24Hour(const char* timeFormat)
{
    if (!timeFormat)
        return 0;
    for (const char* p = timeFormat; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '%')
            continue;
        while (*p == '_' || *p == '-' || *p == '0' || *p == '^' || *p == '#' || (*p >= '1' && *p <= '9'))
            ++p;
        if (*p == 'E' || *p == 'O')
            ++p;
        if (*p == 'H' || *p == 'k' || *p == 'R' || *p == 'T')
            return 1;
        if (!*p)
            break;
    }
    return 0;
}

double CurrentTime()
{
    const auto env = environment();
    if (env->now)
        return env->now();
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return 0.0;
    return MakeAutomationDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                              local.tm_sec);
}

int LocaleUses24Hour()
{
    const auto env = environment();
    if (env->locale24Hour)
        return env->locale24Hour();
    return TimeFormatUses24Hour(nl_langinfo(T_FMT));
}

QString FormatTime(std::optional<double> time, std::optional<int> style, std::optional<int> type)
{
    const double value = time ? *time : CurrentTime();
    int s = style.value_or(0);
    if (s < 0 || s > 3)
        s = 0;
    const int t = type.value_or(0);
    const char* const* row = kPictures[s];

    QString datePicture = QString::fromUtf8(row[0]);
    if (t == 3 || t == 4 || t == 5)
        datePicture.clear();
    QString timePicture = QString::fromUtf8(row[1]);
    if (t == 1 || t == 2)
        timePicture.clear();
    if (t == 1)
        datePicture = datePicture.trimmed();
    if (t == 2)
        datePicture = QString::fromUtf8(row[2]);
    if (t == 4)
        timePicture = QString::fromUtf8(row[3]);
    if (t == 5)
        timePicture = QString::fromUtf8(row[4]);
    if (LocaleUses24Hour() == 1)
        timePicture.replace(QStringLiteral("hh"), QStringLiteral("HH"), Qt::CaseSensitive);
    return FormatByPictures(value, datePicture, timePicture);
}

QString FormatByPictures(double time, const QString& datePicture, const QString& timePicture,
                         std::optional<bool> force24Hour)
{
    const std::optional<CalendarFields> fields = ToCalendarFields(time);
    if (!fields)
        return QString();
    QString text;
    if (pictureUsable(datePicture))
        text += formatDate(*fields, datePicture);
    if (pictureUsable(timePicture))
        text += formatTimeOfDay(*fields, timePicture, force24Hour.value_or(false));
    return text;
}

QString DateTimeToText(double time)
{
    const double instant = linearTime(time);
    if (instant < kFirstDay)
        time = kFirstDay;
    else if (instant > kLastDay)
        time = kLastDay;
    const std::optional<CalendarFields> f = ToCalendarFields(time);
    if (!f)
        return QString();
    QString text = QString::number(f->year) + QStringLiteral("年") + QString::number(f->month) +
                   QStringLiteral("月") + QString::number(f->day) + QStringLiteral("日");
    const QString h = QString::number(f->hour) + QStringLiteral("时");
    const QString m = QString::number(f->minute) + QStringLiteral("分");
    if (f->second != 0)
        text += h + m + QString::number(f->second) + QStringLiteral("秒");
    else if (f->minute != 0)
        text += h + m;
    else if (f->hour != 0)
        text += h;
    return text;
}

}  // namespace vornicle
