// The window holding a month: opens the main window on a data directory whose
// CBC.db holds the consumption month, refreshes the consumption list from the
// table (as "验证重复" and "校验核对" end), scrolls through it, and prints the
// times and the resident memory.
//
// usage: bench_window_bench DATA-DIRECTORY   (run with QT_QPA_PLATFORM=offscreen)
#include "consumption/consumption_page.h"
#include "lists/report_list.h"
#include "shell/main_window.h"
#include "shell/shell_state.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <cstring>

namespace {

long statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(std::strlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_window_bench DATA-DIRECTORY\n");
        return 2;
    }
    vornicle::MainWindow window(QString::fromLocal8Bit(argv[1]));
    window.setDialogHooks([](const QString&, vornicle::MessageButtons) { return vornicle::MessageAnswer::Ok; }, {});
    window.raiseCreated();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was not shown\n");

    QElapsedTimer t;
    t.start();
    window.runExclusive([&] { vornicle::RefreshConsumptionList(window.state().workspace); });
    const double refresh = t.elapsed() / 1000.0;
    QCoreApplication::processEvents();

    // Scroll: jump to the end, page through the middle, back to the top.
    QScrollBar* bar = window.超级列表框1->verticalScrollBar();
    t.restart();
    const int steps = 200;
    double worst = 0;
    for (int i = 0; i <= steps; ++i) {
        QElapsedTimer one;
        one.start();
        bar->setValue(static_cast<int>(static_cast<qint64>(bar->maximum()) * ((i * 7919) % (steps + 1)) / steps));
        window.超级列表框1->viewport()->repaint();
        worst = std::max(worst, one.elapsed() / 1000.0);
    }
    const double scroll = t.elapsed() / 1000.0;
    std::printf("rows %lld  refresh %.2f s  scroll %d jumps %.3f s (worst %.4f s)  resident %ld MB  peak %ld MB\n",
                static_cast<long long>(window.state().consumptionList.rowCount()), refresh, steps + 1, scroll, worst,
                statusKb("VmRSS:") / 1024, statusKb("VmHWM:") / 1024);
    return 0;
}
