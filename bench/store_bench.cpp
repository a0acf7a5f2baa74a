// Record store benchmark: a month of consumption rows (1,048,575 x 11 text
// fields) saved through the record-set operations in one transaction, then
// read back the way the list refresh reads them.
//
//   bench_store_bench [ROWS] [DIRECTORY]
// With STORE_BENCH_KEEP set the database is kept for inspection.
#include "store/record_store.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Wall-clock and processor seconds of one step (the machine may be shared,
// so the processor time is printed beside the wall time).
struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    std::string Text() const
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.3f s (cpu %.3f s)",
                      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(),
                      static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
        return buf;
    }
};

// Decimal digits of v, zero-padded to width, at p; returns the end.
char* Decimal(char* p, long v, int width)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < width; ++i)
        *p++ = '0';
    while (n > 0)
        *p++ = digits[--n];
    *p = '\0';
    return p;
}

// What the consumption save does, inside one transaction: empty the table,
// then append the rows through the record set.
bool SaveMonth(vornicle::RecordStore& store, long rows)
{
    using vornicle::OpenKind;
    static const char* const kNames[] = {"张三", "李四", "王五", "赵六", "钱七", "孙八", "周九", "吴十"};
    static const char* const kDepts[] = {"食堂", "财务部", "生产一部", "生产二部", "行政部"};
    static const char* const kCards[] = {"早餐", "午餐", "晚餐", "夜宵"};
    bool ok = store.Begin() && store.Execute("delete from dlc_record_xf ") &&
              store.Open("dlc_record_xf", OpenKind::TableName);
    store.MoveLast();  // fails on the empty table, as in the real save
    char date[16], time[16], number[16], amount[16], number2[16];
    for (long r = 0; ok && r < rows; ++r) {
        char* p = Decimal(date, 2020, 0);
        *p++ = '/';
        *p++ = '3';
        *p++ = '/';
        Decimal(p, r % 28 + 1, 0);
        p = Decimal(time, r / 3600 % 24, 2);
        *p++ = ':';
        p = Decimal(p, r / 60 % 60, 2);
        *p++ = ':';
        Decimal(p, r % 60, 2);
        Decimal(number, (r * 7919) % 50000, 6);
        p = Decimal(amount, r % 30 + 1, 0);
        *p++ = '.';
        Decimal(p, r % 10, 0);
        Decimal(number2, (r * 7919) % 50000, 6);
        const bool matched = r % 3 != 0;
        ok = store.AddNew() && store.WriteField(1, date) && store.WriteField(2, time) &&
             store.WriteField(3, number) && store.WriteField(4, kNames[r % 8]) &&
             store.WriteField(5, kDepts[r % 5]) && store.WriteField(6, amount) &&
             store.WriteField(7, kCards[r % 4]) && store.WriteField(8, matched ? number2 : "") &&
             store.WriteField(9, matched ? kNames[r % 8] : "") && store.WriteField(10, matched ? kDepts[r % 5] : "") &&
             store.WriteField(11, r % 17 == 0 ? "重复" : "");
    }
    ok = ok && store.Update() && store.Commit();
    if (!ok)
        std::fprintf(stderr, "save failed: %s\n", store.LastError().c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    using vornicle::OpenKind;
    const long rows = argc > 1 ? std::atol(argv[1]) : 1048575;
    const std::filesystem::path dir =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const std::string path = (dir / ("store_bench_" + std::to_string(::getpid()) + ".db")).string();

    std::string error;
    if (!vornicle::CreateDatabaseIfMissing(path, &error)) {
        std::fprintf(stderr, "cannot create %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    vornicle::RecordStore store;
    if (store.Connect(path) != 1 || !store.BindConnection()) {
        std::fprintf(stderr, "cannot connect: %s\n", store.LastError().c_str());
        return 1;
    }

    // Save into the empty table, then save again replacing the month.
    Clock clock;
    if (!SaveMonth(store, rows))
        return 1;
    const std::string saveTime = clock.Text();
    clock = Clock();
    if (!SaveMonth(store, rows))
        return 1;
    const std::string replaceTime = clock.Text();

    // Refresh: Open by name, RecordCount, then 11 fields by name per row.
    static const char* const kFields[] = {"skdate",   "sktime", "empno",    "empname",  "deptname", "empje01",
                                          "card",     "empno1", "empname2", "deptname2", "cf"};
    clock = Clock();
    store.Open("dlc_record_xf", OpenKind::TableName);
    const int64_t count = store.RecordCount();
    size_t bytes = 0;
    for (int64_t r = 0; r < count; ++r) {
        for (const char* field : kFields)
            bytes += store.ReadFieldText(field).size();
        store.MoveNext();
    }
    const std::string readTime = clock.Text();

    // The same through the column fast path.
    clock = Clock();
    store.Open("dlc_record_xf", OpenKind::TableName);
    const int64_t count2 = store.RecordCount();
    int columns[11];
    for (int i = 0; i < 11; ++i)
        columns[i] = store.FieldIndex(kFields[i]);
    size_t bytes2 = 0;
    for (int64_t r = 0; r < count2; ++r) {
        for (const int column : columns)
            bytes2 += store.ReadFieldView(column).size();
        store.MoveNext();
    }
    const std::string viewTime = clock.Text();

    std::printf("rows %ld\n", rows);
    std::printf("save (Begin, delete, Open, MoveLast, AddNew + 11 WriteField per row, Update, Commit): %s\n",
                saveTime.c_str());
    std::printf("save again, replacing the stored rows: %s\n", replaceTime.c_str());
    std::printf("refresh (Open, RecordCount %lld, 11 ReadFieldText + MoveNext per row): %s (%zu bytes)\n",
                static_cast<long long>(count), readTime.c_str(), bytes);
    std::printf("refresh by column (FieldIndex, ReadFieldView): %s (%zu bytes)\n", viewTime.c_str(), bytes2);
    store.Close();
    if (std::getenv("STORE_BENCH_KEEP") != nullptr) {
        std::printf("database kept: %s\n", path.c_str());
    } else {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    return count == rows && bytes == bytes2 ? 0 : 1;
}
