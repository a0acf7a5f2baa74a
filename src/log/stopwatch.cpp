#include "log/stopwatch.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace vornicle {

Stopwatch::Stopwatch(Counter counter) : counter_(counter ? std::move(counter) : Counter(&UptimeMilliseconds)) {}

int32_t Stopwatch::UptimeMilliseconds()
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ms.count())));
}

void Stopwatch::Start()
{
    start_ = counter_();
}

QString Stopwatch::ElapsedText(const QString& prefix) const
{
    const int32_t now = counter_();
    // The difference of two 32-bit values is exact in double; its low 32 bits,
    // read as signed, are the elapsed time across a wrap of the counter.
    const double difference = std::trunc(static_cast<double>(now) - static_cast<double>(start_));
    const auto ms = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(difference)));
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.13g", ms / 1000.0);
    return prefix + QStringLiteral("耗时：") + QString::number(ms) + QStringLiteral("ms，") +
           QString::fromLatin1(seconds) + QStringLiteral("s");
}

Stopwatch& GlobalStopwatch()
{
    static Stopwatch instance;
    return instance;
}

}  // namespace vornicle
