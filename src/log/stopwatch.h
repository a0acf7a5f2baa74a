#pragma once
// Times an operation in milliseconds of the uptime counter and turns the
// result into a short text for the activity log.
#include <QString>
#include <cstdint>
#include <functional>

namespace vornicle {

class Stopwatch {
public:
    // Reads the uptime counter: milliseconds, as a 32-bit signed number.
    using Counter = std::function<int32_t()>;

    // counter: empty for the real one (a monotonic clock in milliseconds,
    // truncated to 32 bits). Start value is 0 until the first Start.
    explicit Stopwatch(Counter counter = {});

    // Remembers the counter's current value.
    void Start();
    // prefix + "耗时：" + ms + "ms，" + seconds + "s"; ms since the last Start
    // (modulo 2^32, read as signed, so a wrap of the counter is harmless).
    QString ElapsedText(const QString& prefix) const;

    int32_t startValue() const { return start_; }

    // The real counter.
    static int32_t UptimeMilliseconds();

private:
    Counter counter_;
    int32_t start_ = 0;
};

// The program's one stopwatch.
Stopwatch& GlobalStopwatch();

}  // namespace vornicle
