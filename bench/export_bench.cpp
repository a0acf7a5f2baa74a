// Times the list export: fills the consumption list from consumption.csv (as
// written by bench_generate), then exports it to .csv, .xlsx and .xls (the
// first 65,535 rows, the most an .xls holds under its header). One line per
// step: name and wall seconds.
//
// usage: bench_export DATA_DIR [csv|xlsx|xls ...]   (no step names: all three)
#include "exchange/export_list_view.h"
#include "lists/report_list.h"

#include <QDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace vornicle;

namespace {

constexpr const char* kTitles = "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|";

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Fills the list from the CSV, at most `limit` rows; columns 7..10 stay empty.
bool fill(ReportList& list, const std::string& path, int64_t limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    std::getline(in, line);  // header
    std::vector<std::string_view> cells;
    ListBatch batch(list);
    list.reserveRows(limit < 2000000 ? limit : 0);
    while (list.rowCount() < limit && std::getline(in, line)) {
        cells.clear();
        size_t start = 0;
        for (;;) {
            const size_t comma = line.find(',', start);
            cells.emplace_back(std::string_view(line).substr(start, comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        list.appendRow(cells);
    }
    return true;
}

bool exportTo(const ReportList& list, const std::string& path, const char* step,
              std::chrono::steady_clock::time_point start)
{
    const ExportResult r = ExportListView(list, path, kTitles, "|");
    if (!r.ok) {
        std::fprintf(stderr, "bench_export: %s: %s\n", path.c_str(), r.error.c_str());
        return false;
    }
    std::printf("%-28s %8.2f s\n", step, seconds(start));
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_export DATA_DIR [csv|xlsx|xls ...]\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::set<std::string> steps;
    for (int i = 2; i < argc; ++i)
        steps.insert(argv[i]);
    if (steps.empty())
        steps = {"csv", "xlsx", "xls"};
    const std::string outDir = dir + "/export";
    QDir().mkpath(QString::fromStdString(outDir));

    if (steps.count("csv") || steps.count("xlsx")) {
        auto start = std::chrono::steady_clock::now();
        ReportList list(ConsumptionListColumns());
        if (!fill(list, dir + "/consumption.csv", INT64_MAX)) {
            std::fprintf(stderr, "bench_export: cannot read %s/consumption.csv\n", dir.c_str());
            return 1;
        }
        std::printf("%-28s %8.2f s  (%lld rows)\n", "fill list", seconds(start), static_cast<long long>(list.rowCount()));
        if (steps.count("csv") && !exportTo(list, outDir + "/consumption.csv", "fill + export csv", start))
            return 1;
        if (steps.count("xlsx")) {
            start = std::chrono::steady_clock::now();
            if (!exportTo(list, outDir + "/consumption.xlsx", "export xlsx", start))
                return 1;
        }
    }
    if (steps.count("xls")) {
        ReportList list(ConsumptionListColumns());
        if (!fill(list, dir + "/consumption.csv", 65535))
            return 1;
        const auto start = std::chrono::steady_clock::now();
        if (!exportTo(list, outDir + "/consumption.xls", "export xls (65,535 rows)", start))
            return 1;
    }
    return 0;
}
