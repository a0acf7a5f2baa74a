#include "log/stopwatch.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace vornicle {
namespace {

// A stopwatch on a counter the test sets.
struct ManualCounter {
    std::shared_ptr<int32_t> value = std::make_shared<int32_t>(0);
    Stopwatch make() const
    {
        return Stopwatch([v = value] { return *v; });
    }
};

TEST(Stopwatch, ElapsedTexts)
{
    struct Case {
        int32_t start;
        int32_t now;
        const char* expected;
    };
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    const Case cases[] = {
        {5000, 6234, "导出耗时：1234ms，1.234s"},
        {5000, 6000, "导出耗时：1000ms，1s"},
        {5000, 5050, "导出耗时：50ms，0.05s"},
        {5000, 5000, "导出耗时：0ms，0s"},
        {kMax - 10, kMin + 20, "导出耗时：31ms，0.031s"},    // the counter passes 2^31
        {-5, 7, "导出耗时：12ms，0.012s"},                     // the counter wraps from 2^32 - 1 to 0
        {0, kMax, "导出耗时：2147483647ms，2147483.647s"},
        {100, 50, "导出耗时：-50ms，-0.05s"},
        {kMin, kMax, "导出耗时：-1ms，-0.001s"},
    };
    ManualCounter counter;
    Stopwatch watch = counter.make();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        *counter.value = c.start;
        watch.Start();
        *counter.value = c.now;
        EXPECT_EQ(watch.ElapsedText(QStringLiteral("导出")), QString::fromUtf8(c.expected));
    }
}

TEST(Stopwatch, MeasuresFromCreationUntilStartAndFromTheLastStartAfter)
{
    ManualCounter counter;
    *counter.value = 777;
    Stopwatch watch = counter.make();
    EXPECT_EQ(watch.startValue(), 0);
    EXPECT_EQ(watch.ElapsedText(QString()), QString::fromUtf8("耗时：777ms，0.777s"));

    watch.Start();
    *counter.value = 1777;
    EXPECT_EQ(watch.ElapsedText(QStringLiteral("x")), QString::fromUtf8("x耗时：1000ms，1s"));
    *counter.value = 2777;
    EXPECT_EQ(watch.ElapsedText(QStringLiteral("x")), QString::fromUtf8("x耗时：2000ms，2s"));

    const Stopwatch copy = watch;
    EXPECT_EQ(copy.startValue(), 777);
}

TEST(Stopwatch, RealCounterMovesForward)
{
    const int32_t a = Stopwatch::UptimeMilliseconds();
    const int32_t b = Stopwatch::UptimeMilliseconds();
    const auto diff = static_cast<int32_t>(static_cast<uint32_t>(b) - static_cast<uint32_t>(a));
    EXPECT_GE(diff, 0);
    EXPECT_LT(diff, 1000);
    EXPECT_EQ(&GlobalStopwatch(), &GlobalStopwatch());
}

}  // namespace
}  // namespace vornicle
