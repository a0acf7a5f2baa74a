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
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
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

constexpr long kPeople = 50000;
const char* const kDepts[] = {"食堂", "财务部", "生产一部", "生产二部", "行政部"};

// A name per person: a surname and the person's number.
void PersonName(char* out, long person)
{
    static const char* const kSurnames[] = {"张", "李", "王", "赵", "钱", "孙", "周", "吴"};
    const char* s = kSurnames[person % 8];
    const size_t n = std::strlen(s);
    std::memcpy(out, s, n);
    Decimal(out + n, person, 0);
}

// What the consumption save does, inside one transaction: empty the table,
// then append the rows through the record set.
bool SaveMonth(vornicle::RecordStore& store, long rows)
{
    using vornicle::OpenKind;
    static const char* const kCards[] = {"早餐", "午餐", "晚餐", "夜宵"};
    bool ok = store.Begin() && store.Execute("delete from dlc_record_xf ") &&
              store.Open("dlc_record_xf", OpenKind::TableName);
    store.MoveLast();  // fails on the empty table, as in the real save
    char date[16], time[16], number[16], amount[16], name[32];
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
        Decimal(number, (r * 7919) % kPeople, 6);
        p = Decimal(amount, r % 30 + 1, 0);
        *p++ = '.';
        Decimal(p, r % 10, 0);
        const long person = (r * 7919) % kPeople;
        PersonName(name, person);
        const char* dept = kDepts[person % 5];
        const bool matched = r % 3 != 0;
        ok = store.AddNew() && store.WriteField(1, date) && store.WriteField(2, time) &&
             store.WriteField(3, number) && store.WriteField(4, name) &&
             store.WriteField(5, dept) && store.WriteField(6, amount) &&
             store.WriteField(7, kCards[r % 4]) && store.WriteField(8, matched ? number : "") &&
             store.WriteField(9, matched ? name : "") && store.WriteField(10, matched ? dept : "") &&
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

    // Open and MoveLast on the month, as before appending; then reading that
    // last record, which steps the query through the table once.
    clock = Clock();
    store.Open("dlc_record_xf", OpenKind::TableName);
    const bool movedLast = store.MoveLast();
    const std::string moveLastTime = clock.Text();
    clock = Clock();
    const std::string lastId = store.ReadFieldText("id");
    const std::string readLastTime = clock.Text();

    // The register, then the statements of duplicate marking and matching.
    bool ok = store.Begin() && store.Open("hr_employee", OpenKind::TableName);
    char number[16], name[32];
    for (long person = 0; ok && person < kPeople; ++person) {
        Decimal(number, person, 6);
        PersonName(name, person);
        ok = store.AddNew() && store.WriteField(1, number) && store.WriteField(2, name) &&
             store.WriteField(3, kDepts[person % 5]) && store.WriteField(4, "A");
    }
    ok = ok && store.Update() && store.Commit();
    struct Step {
        const char* name;
        std::vector<const char*> statements;
    } steps[] = {
        {"mark duplicates (delete cf, collect, flag)",
         {"delete from cf",
          "INSERT INTO cf(empno,empname)select empno,empname from dlc_record_xf where empno in (select empno from   "
          "dlc_record_xf group by empno having count (id) > 1)",
          "update dlc_record_xf,cf set dlc_record_xf.cf='重复' where dlc_record_xf.empno=cf.empno "}},
        {"match by number",
         {"update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,dlc_record_xf.empname2="
          "hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname where "
          "dlc_record_xf.empno=hr_employee.empno "}},
        {"match by name",
         {"update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,dlc_record_xf.empname2="
          "hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname where "
          "dlc_record_xf.empname=hr_employee.empname "}},
        {"match by name and department",
         {"update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,dlc_record_xf.empname2="
          "hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname where "
          "dlc_record_xf.empname=hr_employee.empname and dlc_record_xf.deptname=hr_employee.deptname"}},
    };
    std::vector<std::string> stepTimes;
    for (const Step& step : steps) {
        clock = Clock();
        for (const char* statement : step.statements)
            ok = ok && store.Execute(statement);
        stepTimes.push_back(clock.Text());
    }
    if (!ok) {
        std::fprintf(stderr, "statements failed: %s\n", store.LastError().c_str());
        return 1;
    }

    std::printf("rows %ld\n", rows);
    std::printf("save (Begin, delete, Open, MoveLast, AddNew + 11 WriteField per row, Update, Commit): %s\n",
                saveTime.c_str());
    std::printf("save again, replacing the stored rows: %s\n", replaceTime.c_str());
    std::printf("refresh (Open, RecordCount %lld, 11 ReadFieldText + MoveNext per row): %s (%zu bytes)\n",
                static_cast<long long>(count), readTime.c_str(), bytes);
    std::printf("refresh by column (FieldIndex, ReadFieldView): %s (%zu bytes)\n", viewTime.c_str(), bytes2);
    std::printf("Open + MoveLast (%s): %s; reading the last record (id %s): %s\n", movedLast ? "true" : "false",
                moveLastTime.c_str(), lastId.c_str(), readLastTime.c_str());
    for (size_t i = 0; i < stepTimes.size(); ++i)
        std::printf("%s (%ld people): %s\n", steps[i].name, kPeople, stepTimes[i].c_str());
    store.Close();
    if (std::getenv("STORE_BENCH_KEEP") != nullptr) {
        std::printf("database kept: %s\n", path.c_str());
    } else {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    return count == rows && bytes == bytes2 ? 0 : 1;
}
