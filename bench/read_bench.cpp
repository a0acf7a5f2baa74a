// Reads a workbook (argv[1]) the way the import does: every row, columns A..G.
// Prints the rows read, the wall and CPU seconds, and the peak resident size.
//   bench_read_bench FILE.xlsx|FILE.xls
#include "exchange/workbook_reader.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WORKBOOK\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::string error;
    auto reader = vornicle::exchange::WorkbookReader::open(argv[1], error);
    if (!reader) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    vornicle::exchange::WorkbookRow row;
    size_t bytes = 0;
    while (reader->nextRow(row, error))
        for (const auto& c : row)
            bytes += c.size();
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("format %s rows %lld last_row %lld text_bytes %zu wall_s %.3f cpu_s %.3f peak_rss_mb %.1f\n",
                reader->format(), static_cast<long long>(reader->rowsRead()),
                static_cast<long long>(reader->lastRow()), bytes, wall, cpu, ru.ru_maxrss / 1024.0);
    return 0;
}
