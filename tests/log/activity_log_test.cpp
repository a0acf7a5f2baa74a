#include "log/activity_log.h"
#include "log/time_text.h"
#include "log_test_support.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace vornicle {
namespace {

using test::ScopedTimeEnvironment;
using test::ScriptedClock;

const double kMorning = MakeAutomationDate(2020, 3, 13, 9, 5, 7);

TimeEnvironment fixedClock(double now)
{
    return TimeEnvironment{[now] { return now; }, [] { return 1; }};
}

std::string utf8(const char* s)
{
    return std::string(s);
}

QString dayFile(const QString& dir, const char* day)
{
    return dir + QStringLiteral("/") + QString::fromUtf8(day) + QStringLiteral("login.txt");
}

// Lines of a file split at CR LF (the last, empty, piece dropped).
std::vector<std::string> fileLines(const QString& path)
{
    const std::string bytes = test::readFileBytes(path);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// Runs the event loop until pred holds or 5 s pass.
template <typename Pred>
bool waitFor(Pred pred)
{
    QDeadlineTimer deadline(5000);
    while (!pred() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return pred();
}

TEST(LogListModel, EmptiedBeforeAnAppendWhenHoldingMoreThan1000AndSignalsTheNewestRow)
{
    LogListModel model;
    std::vector<int> newest;
    QObject::connect(&model, &LogListModel::newestLineChanged, [&](int row) { newest.push_back(row); });
    for (int i = 0; i < 1001; ++i)
        model.appendLine(QString::number(i));
    EXPECT_EQ(model.rowCount(), 1001);
    EXPECT_EQ(model.lines().back(), QStringLiteral("1000"));
    ASSERT_EQ(newest.size(), 1001u);
    EXPECT_EQ(newest.front(), 0);
    EXPECT_EQ(newest.back(), 1000);

    model.appendLine(QStringLiteral("next"));
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QStringLiteral("next"));
    EXPECT_EQ(newest.back(), 0);
    EXPECT_FALSE(model.data(model.index(1), Qt::DisplayRole).isValid());
}

TEST(ActivityLog, ListLinesAndDailyFileNewestFirst)
{
    ScopedTimeEnvironment env(fixedClock(kMorning));
    const QString dir = test::makeTempDir();
    const QString file = dayFile(dir, "2020年03月13日");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier run\r\n");
    }
    ActivityLog log(dir);
    log.WriteLog(QString::fromUtf8("消费记录已全部删除"));
    log.WriteLog(QString());
    log.Flush();
    log.WriteLog(QStringLiteral("third"));
    log.Flush();

    const QStringList expectedList = {QString::fromUtf8("2020-03-13 09:05:07:消费记录已全部删除"),
                                      QStringLiteral("2020-03-13 09:05:07:"),
                                      QStringLiteral("2020-03-13 09:05:07:third")};
    EXPECT_EQ(log.listModel()->lines(), expectedList);
    EXPECT_EQ(test::readFileBytes(file), utf8("2020年3月13日9时5分7秒   third\r\n"
                                              "2020年3月13日9时5分7秒   \r\n"
                                              "2020年3月13日9时5分7秒   消费记录已全部删除\r\n"
                                              "earlier run\r\n"));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{QString::fromUtf8("2020年03月13日login.txt")});
}

TEST(ActivityLog, StampsOnTheHourAndAtMidnight)
{
    ScriptedClock clock;
    clock.push(MakeAutomationDate(2020, 3, 13, 9, 0, 0));
    ScopedTimeEnvironment env(TimeEnvironment{clock.function(), [] { return 1; }});
    const QString dir = test::makeTempDir();
    ActivityLog log(dir);
    log.WriteLog(QStringLiteral("a"));
    for (int i = 0; i < 3; ++i)
        clock.push(MakeAutomationDate(2020, 3, 13));
    log.WriteLog(QStringLiteral("b"));
    log.Flush();
    EXPECT_EQ(fileLines(dayFile(dir, "2020年03月13日")),
              (std::vector<std::string>{"2020年3月13日   b", "2020年3月13日9时   a"}));
}

TEST(ActivityLog, LinesLandInTheFileOfTheirOwnDay)
{
    ScriptedClock clock;
    ScopedTimeEnvironment env(TimeEnvironment{clock.function(), [] { return 1; }});
    const QString dir = test::makeTempDir();
    ActivityLog log(dir);

    clock.push(MakeAutomationDate(2020, 3, 13, 23, 59, 58));
    log.WriteLog(QStringLiteral("a"));
    log.WriteLog(QStringLiteral("b"));
    // One call across midnight: its list stamp reads the old day, its file name
    // and file stamp the new one.
    clock.push(MakeAutomationDate(2020, 3, 13, 23, 59, 59));
    clock.push(MakeAutomationDate(2020, 3, 14));
    log.WriteLog(QStringLiteral("c"));
    clock.push(MakeAutomationDate(2020, 3, 14, 0, 0, 1));
    log.WriteLog(QStringLiteral("d"));
    log.Flush();

    EXPECT_EQ(fileLines(dayFile(dir, "2020年03月13日")),
              (std::vector<std::string>{"2020年3月13日23时59分58秒   b", "2020年3月13日23时59分58秒   a"}));
    EXPECT_EQ(fileLines(dayFile(dir, "2020年03月14日")),
              (std::vector<std::string>{"2020年3月14日0时0分1秒   d", "2020年3月14日   c"}));
    EXPECT_EQ(log.listModel()->lines().at(2), QStringLiteral("2020-03-13 23:59:59:c"));
}

TEST(ActivityLog, ANewDayWritesTheDayBeforeAtOnce)
{
    ScriptedClock clock;
    ScopedTimeEnvironment env(TimeEnvironment{clock.function(), [] { return 1; }});
    const QString dir = test::makeTempDir();
    ActivityLog log(dir);
    log.setMinimumFlushInterval(60'000);  // far longer than the wait below
    clock.push(MakeAutomationDate(2020, 3, 13, 23, 59, 59));
    log.WriteLog(QStringLiteral("old day"));
    clock.push(MakeAutomationDate(2020, 3, 14, 0, 0, 0));
    log.WriteLog(QStringLiteral("new day"));
    EXPECT_TRUE(waitFor([&] { return fileLines(dayFile(dir, "2020年03月13日")).size() == 1; }));
    EXPECT_EQ(fileLines(dayFile(dir, "2020年03月13日")),
              std::vector<std::string>{"2020年3月13日23时59分59秒   old day"});
}

TEST(ActivityLog, HeldBackLinesReachTheFileWithoutAnExplicitFlush)
{
    ScopedTimeEnvironment env(fixedClock(kMorning));
    const QString dir = test::makeTempDir();
    const QString file = dayFile(dir, "2020年03月13日");
    {
        ActivityLog log(dir);
        for (int i = 0; i < 5; ++i)
            log.WriteLog(QStringLiteral("line %1").arg(i));
        EXPECT_TRUE(waitFor([&] { return fileLines(file).size() == 5; }));
        // And on destruction.
        log.WriteLog(QStringLiteral("last"));
    }
    const auto lines = fileLines(file);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines.front(), "2020年3月13日9时5分7秒   last");
    EXPECT_EQ(lines.back(), "2020年3月13日9时5分7秒   line 0");
}

TEST(ActivityLog, UnwritableFileStillShowsTheListLine)
{
    ScopedTimeEnvironment env(fixedClock(kMorning));
    const QString dir = test::makeTempDir() + QStringLiteral("/missing/folder");
    ActivityLog log(dir);
    log.setMinimumFlushInterval(0);
    log.WriteLog(QStringLiteral("x"));
    log.Flush();
    EXPECT_EQ(log.listModel()->lines(), QStringList{QStringLiteral("2020-03-13 09:05:07:x")});
    EXPECT_FALSE(QDir(dir).exists());
}

TEST(ActivityLog, ConcurrentWritersLoseNothingAndNeverInterleave)
{
    ScopedTimeEnvironment env(fixedClock(kMorning));
    const QString dir = test::makeTempDir();
    ActivityLog log(dir);
    LogListModel* model = log.listModel();
    std::atomic<int> foreignAppends{0};
    QObject::connect(model, &LogListModel::newestLineChanged, [&](int) {
        if (QThread::currentThread() != model->thread())
            ++foreignAppends;
    });

    constexpr int kPerThread = 5000;
    auto writer = [&](char name) {
        for (int i = 0; i < kPerThread; ++i) {
            log.WriteLog(QStringLiteral("%1-%2 ").arg(QChar::fromLatin1(name)).arg(i) + QString(40, QChar::fromLatin1(name)));
            if (i % 997 == 0)
                log.Flush();
        }
    };
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
    a.join();
    b.join();
    log.Flush();

    // Each thread's lines appear newest first, whole, and all of them.
    const auto lines = fileLines(dayFile(dir, "2020年03月13日"));
    ASSERT_EQ(lines.size(), 2u * kPerThread);
    int nextA = kPerThread - 1;
    int nextB = kPerThread - 1;
    const std::string prefix = "2020年3月13日9时5分7秒   ";
    for (const std::string& line : lines) {
        ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
        const std::string message = line.substr(prefix.size());
        const char name = message.at(0);
        int& next = name == 'A' ? nextA : nextB;
        ASSERT_EQ(message, name + std::string("-") + std::to_string(next) + " " + std::string(40, name)) << line;
        --next;
    }
    EXPECT_EQ(nextA, -1);
    EXPECT_EQ(nextB, -1);

    // The list lines arrive on the model's thread; after 10000 lines the list
    // was emptied 9 times and holds the last 991.
    EXPECT_TRUE(waitFor([&] { return model->rowCount() == 991; })) << model->rowCount();
    QCoreApplication::processEvents();
    EXPECT_EQ(model->rowCount(), 991);
    EXPECT_EQ(foreignAppends.load(), 0);
}

TEST(AppendLogLine, InsertsAtTheTopOfTheDefaultOrGivenFile)
{
    ScriptedClock clock;
    clock.push(MakeAutomationDate(2020, 3, 13, 15, 4, 0));
    ScopedTimeEnvironment env(TimeEnvironment{clock.function(), {}});
    const QString dir = test::makeTempDir();
    const QString previous = LogDirectory();
    SetLogDirectory(dir);
    AppendLogLine(QStringLiteral("one"));
    clock.push(MakeAutomationDate(2020, 3, 13, 15, 0, 0));
    AppendLogLine(QString::fromUtf8("二"));
    const QString other = dir + QStringLiteral("/other.txt");
    AppendLogLine(QStringLiteral("three"), other);
    SetLogDirectory(previous);

    EXPECT_EQ(test::readFileBytes(dir + QString::fromUtf8("/运行日志.txt")),
              utf8("2020年3月13日15时   二\r\n2020年3月13日15时4分   one\r\n"));
    EXPECT_EQ(test::readFileBytes(other), utf8("2020年3月13日15时   three\r\n"));
}

TEST(PrependToFile, CreatesKeepsOldContentAndFailsCleanly)
{
    const QString dir = test::makeTempDir();
    const QString file = dir + QStringLiteral("/f.txt");
    EXPECT_TRUE(PrependToFile(file, QByteArray()));
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(QFile(file).size(), 0);
    // Larger than one copy chunk, so the old content is copied in pieces.
    const QByteArray big(3 * (1 << 20) + 17, 'x');
    EXPECT_TRUE(PrependToFile(file, big));
    EXPECT_TRUE(PrependToFile(file, "top\r\n"));
    EXPECT_EQ(test::readFileBytes(file), std::string("top\r\n") + big.toStdString());
    EXPECT_FALSE(PrependToFile(dir + QStringLiteral("/no/such/dir/f.txt"), "x"));
}

}  // namespace
}  // namespace vornicle

TEST(LogListModelBatch, ManyLinesAtOnceEndAsLineByLine)
{
    for (const int before : {0, 5, 1000, 1001}) {
        for (const int added : {0, 1, 2, 995, 996, 997, 1001, 1002, 2500}) {
            vornicle::LogListModel single;
            vornicle::LogListModel batched;
            QStringList lines;
            for (int i = 0; i < before; ++i) {
                single.appendLine(QString::number(i));
                batched.appendLine(QString::number(i));
            }
            for (int i = 0; i < added; ++i) {
                lines << QStringLiteral("n%1").arg(i);
                single.appendLine(lines.last());
            }
            int newest = -2;
            QObject::connect(&batched, &vornicle::LogListModel::newestLineChanged, [&](int row) { newest = row; });
            batched.appendLines(lines);
            EXPECT_EQ(batched.lines(), single.lines()) << before << "+" << added;
            if (added > 0) {
                EXPECT_EQ(newest, batched.rowCount() - 1);
            }
        }
    }
}

TEST(ActivityLogBatch, ABigBatchShowsWhatLineByLineWould)
{
    const QString dir = vornicle::test::makeTempDir();
    for (const int count : {3, 1001, 1002, 2003, 5000}) {
        vornicle::ActivityLog batched(dir);
        vornicle::ActivityLog single(dir);
        QStringList messages;
        for (int i = 0; i < count; ++i)
            messages << QStringLiteral("m%1").arg(i);
        batched.WriteLogLines(messages);
        for (const QString& m : messages)
            single.WriteLog(m);
        QStringList a, b;
        for (const QString& l : batched.listModel()->lines())
            a << l.mid(l.indexOf(QLatin1Char(':'), 17) + 1);
        for (const QString& l : single.listModel()->lines())
            b << l.mid(l.indexOf(QLatin1Char(':'), 17) + 1);
        EXPECT_EQ(a, b) << count;
    }
}
