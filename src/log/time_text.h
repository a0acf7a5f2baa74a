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

double CurrentTime();
int LocaleUses24Hour();
QString FormatTime(std::optional<double> time = std::nullopt, std::optional<int> style = std::nullopt,
                   std::optional<int> type = std::nullopt);
QString FormatByPictures(double time, const QString& datePicture, const QString& timePicture,
                         std::optional<bool> force24Hour = std::nullopt);
QString DateTimeToText(double time);

}  // namespace vornicle
