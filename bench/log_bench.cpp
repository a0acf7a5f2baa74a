// The activity log under a long import: 100,000 WriteLog calls (or the number
// given as the first argument) into one day's file. Prints the wall time of every block of 10,000 lines (they should stay
// flat as the file grows), the final file size, and for contrast the cost of
// inserting single lines at the top of that full-size file.
#include "log/activity_log.h"
#include "log/time_text.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    using namespace vornicle;
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    // One day: the clock stands still on 13 March 2020.
    const double day = MakeAutomationDate(2020, 3, 13, 9, 5, 7);
    SetTimeEnvironment(TimeEnvironment{[day] { return day; }, {}});

    const int kLines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100'000;
    constexpr int kBlock = 10'000;
    const QString file = dir.path() + QStringLiteral("/2020年03月13日login.txt");
    {
        ActivityLog log(dir.path());
        QElapsedTimer total;
        total.start();
        QElapsedTimer block;
        block.start();
        std::printf("%10s %12s\n", "lines", "block_s");
        for (int i = 1; i <= kLines; ++i) {
            log.WriteLog(QStringLiteral("正在导入第%1行：000123 张三 财务部 12.50").arg(i));
            if (i % 100 == 0)
                QCoreApplication::processEvents();  // as an import does between rows
            if (i % kBlock == 0) {
                std::printf("%10d %12.4f\n", i, block.nsecsElapsed() / 1e9);
                std::fflush(stdout);
                block.restart();
            }
        }
        log.Flush();
        std::printf("total %.3f s for %d lines (%.2f us per line, final flush included)\n",
                    total.nsecsElapsed() / 1e9, kLines, total.nsecsElapsed() / 1e3 / kLines);
    }
    const qint64 size = QFileInfo(file).size();
    std::printf("file size %lld bytes\n", static_cast<long long>(size));

    // For contrast: one insert per line at the top of the full file.
    constexpr int kSingles = 20;
    QElapsedTimer single;
    single.start();
    for (int i = 0; i < kSingles; ++i)
        AppendLogLine(QStringLiteral("single line %1").arg(i), file);
    std::printf("unbatched insert at the top of a %lld-byte file: %.3f ms per line\n",
                static_cast<long long>(size), single.nsecsElapsed() / 1e6 / kSingles);
    return 0;
}
