// Generates the benchmark data, the same bytes on every run:
//   consumption.xlsx   header + N rows (default 1,048,575, a full sheet), columns A..G:
//                      消费日期 (a real date, format yyyy/m/d), 时间 (text H:MM:SS),
//                      编号 (about half numbers, half text; a quarter text with leading zeros),
//                      姓名, 部门, 金额 (number), 类别
//   consumption.csv    the same rows as the texts an import reads from the sheet (date
//                      "yyyy/M/d", numbers as digits), comma-separated, header line, LF,
//                      UTF-8; no field holds a comma or quote, so nothing is quoted
//   consumption60k.xls the first 60,000 rows as an .xls (text cells), from our BIFF8 writer
//   personnel.xlsx/.csv M people (default 50,000): 编号, 姓名, 部门, 卡类别
// About 5% of the consumption rows repeat the number (and name, department) of an
// earlier row; the others have numbers of their own. The register holds people
// spread evenly over the consumption numbers, with the same names and departments.
//
// usage: bench_generate [--rows N] [--people M] [--out DIR]
#include "exchange/xls_writer.h"
#include "lists/report_list.h"

#include <xlsxwriter.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马",
                                 "朱", "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许",
                                 "韩", "冯", "邓", "曹", "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋",
                                 "蔡", "余", "杜", "叶", "程", "苏", "魏", "吕", "丁", "任", "沈", "欧阳", "司马"};
const char* const kGiven[] = {"伟", "芳", "娜", "秀", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳",
                              "杰", "娟", "涛", "明", "超", "兰", "霞", "平", "刚", "桂", "英", "华", "文",
                              "玉", "萍", "红", "鹏", "辉", "建", "国", "晨", "宇", "浩", "欣", "怡", "博",
                              "婷", "雪", "琳", "海", "峰", "波", "斌", "凯", "佳", "俊", "志", "子", "梓"};
const char* const kDepartments[] = {
    "财务部",   "人力资源部", "行政部",   "采购部",   "销售一部", "销售二部", "市场部",   "研发中心",
    "质量部",   "生产一车间", "生产二车间", "生产三车间", "仓储物流部", "设备部", "安全环保部", "信息中心",
    "法务部",   "审计部",   "客服中心", "工程部",   "总经理办公室", "党群工作部", "后勤保障部", "培训中心",
    "技术部",   "检验科",   "包装车间", "装配车间", "模具车间", "动力车间", "计划部",   "项目管理部",
    "国际业务部", "品牌部",   "电商部",   "研究院",   "实验室",   "保卫部",   "食堂",     "宿舍管理处"};
const char* const kCategories[] = {"早餐", "午餐", "晚餐", "夜宵", "超市", "水果"};
const char* const kCardTypes[] = {"员工卡", "临时卡", "管理卡", "访客卡"};

template <size_t N>
const char* pick(const char* const (&list)[N], uint64_t h)
{
    return list[h % N];
}

struct Person {
    std::string number;
    bool numeric;  // stored as a number in the sheet
    std::string name;
    std::string department;
};

Person person(int64_t i)
{
    const uint64_t h = mix(static_cast<uint64_t>(i) * 7 + 1);
    Person p;
    const std::string base = std::to_string(1000000 + i);
    switch (i % 4) {
    case 0: p.number = "00" + base; p.numeric = false; break;
    case 2: p.number = base; p.numeric = false; break;
    default: p.number = base; p.numeric = true; break;
    }
    p.name = std::string(pick(kSurnames, h)) + pick(kGiven, h >> 8);
    if ((h >> 16) % 3 != 0)
        p.name += pick(kGiven, h >> 24);
    p.department = pick(kDepartments, h >> 32);
    return p;
}

struct Row {
    int day;  // 1..31 of May 2024
    std::string time;
    Person who;
    double amount;
    const char* category;
};

Row consumptionRow(int64_t r, int64_t rows)
{
    const uint64_t h = mix(static_cast<uint64_t>(r) * 13 + 5);
    Row row;
    row.day = static_cast<int>(1 + r * 31 / rows);
    const int seconds = static_cast<int>(6 * 3600 + h % (16 * 3600));
    char t[16];
    std::snprintf(t, sizeof t, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    row.time = t;
    // About 5% of the rows reuse an earlier row's person.
    const int64_t who = (r > 0 && (h >> 20) % 100 < 5) ? static_cast<int64_t>((h >> 28) % static_cast<uint64_t>(r)) : r;
    row.who = person(who);
    row.amount = static_cast<double>((h >> 40) % 60 + 1) * 0.5;
    row.category = pick(kCategories, h >> 48);
    return row;
}

std::string amountText(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.15g", v);
    return b;
}

bool check(lxw_error e, const char* what)
{
    if (e != LXW_NO_ERROR) {
        std::fprintf(stderr, "bench_generate: %s: %s\n", what, lxw_strerror(e));
        return false;
    }
    return true;
}

struct Sheet {
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* date = nullptr;
};

bool openBook(Sheet& s, const std::string& path, const std::string& tmpDir, const std::vector<const char*>& titles)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmpDir.c_str());
    s.book = workbook_new_opt(path.c_str(), &options);
    if (!s.book)
        return false;
    s.sheet = workbook_add_worksheet(s.book, nullptr);
    s.date = workbook_add_format(s.book);
    format_set_num_format(s.date, "yyyy/m/d");
    for (size_t c = 0; c < titles.size(); ++c) {
        if (!check(worksheet_write_string(s.sheet, 0, static_cast<lxw_col_t>(c), titles[c], nullptr), "header"))
            return false;
    }
    return true;
}

bool writeNumber(lxw_worksheet* sheet, lxw_row_t r, lxw_col_t c, const Person& p)
{
    return p.numeric ? check(worksheet_write_number(sheet, r, c, std::strtod(p.number.c_str(), nullptr), nullptr),
                             "number")
                     : check(worksheet_write_string(sheet, r, c, p.number.c_str(), nullptr), "number text");
}

int64_t argValue(int argc, char** argv, const char* name, int64_t fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoll(argv[i + 1]);
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv)
{
    const int64_t rows = argValue(argc, argv, "--rows", 1048575);
    const int64_t people = argValue(argc, argv, "--people", 50000);
    std::string out = "bench/out";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
    }
    if (rows < 1 || rows > 1048575 || people < 1 || people > rows) {
        std::fprintf(stderr, "usage: bench_generate [--rows 1..1048575] [--people 1..rows] [--out DIR]\n");
        return 2;
    }
    std::filesystem::create_directories(out);

    // Consumption.
    Sheet s;
    if (!openBook(s, out + "/consumption.xlsx", out, {"消费日期", "时间", "编号", "姓名", "部门", "金额", "类别"}))
        return 1;
    std::ofstream csv(out + "/consumption.csv", std::ios::binary);
    csv << "消费日期,时间,编号,姓名,部门,金额,类别\n";
    vornicle::ReportList xlsRows({{"消费日期", 0}, {"时间", 0}, {"编号", 0}, {"姓名", 0}, {"部门", 0}, {"金额", 0},
                                  {"类别", 0}});
    const int64_t xlsCount = std::min<int64_t>(rows, 60000);
    std::string line;
    for (int64_t r = 0; r < rows; ++r) {
        const Row row = consumptionRow(r, rows);
        const auto sr = static_cast<lxw_row_t>(r + 1);
        lxw_datetime date = {2024, 5, row.day, 0, 0, 0};
        if (!check(worksheet_write_datetime(s.sheet, sr, 0, &date, s.date), "date") ||
            !check(worksheet_write_string(s.sheet, sr, 1, row.time.c_str(), nullptr), "time") ||
            !writeNumber(s.sheet, sr, 2, row.who) ||
            !check(worksheet_write_string(s.sheet, sr, 3, row.who.name.c_str(), nullptr), "name") ||
            !check(worksheet_write_string(s.sheet, sr, 4, row.who.department.c_str(), nullptr), "department") ||
            !check(worksheet_write_number(s.sheet, sr, 5, row.amount, nullptr), "amount") ||
            !check(worksheet_write_string(s.sheet, sr, 6, row.category, nullptr), "category"))
            return 1;
        const std::string dateText = "2024/5/" + std::to_string(row.day);
        const std::string amount = amountText(row.amount);
        line.clear();
        line.append(dateText).append(",").append(row.time).append(",").append(row.who.number).append(",");
        line.append(row.who.name).append(",").append(row.who.department).append(",").append(amount).append(",");
        line.append(row.category).append("\n");
        csv << line;
        if (r < xlsCount)
            xlsRows.appendRow(std::vector<std::string>{dateText, row.time, row.who.number, row.who.name,
                                                       row.who.department, amount, row.category});
    }
    csv.close();
    if (!csv || !check(workbook_close(s.book), "consumption.xlsx"))
        return 1;

    std::string error;
    if (vornicle::WriteXlsWorkbook(xlsRows, out + "/consumption60k.xls", "消费日期|时间|编号|姓名|部门|金额|类别",
                                   true, {}, &error) < 0) {
        std::fprintf(stderr, "bench_generate: consumption60k.xls: %s\n", error.c_str());
        return 1;
    }

    // Personnel: people spread evenly over the consumption rows' own numbers.
    Sheet p;
    if (!openBook(p, out + "/personnel.xlsx", out, {"编号", "姓名", "部门", "卡类别"}))
        return 1;
    std::ofstream pcsv(out + "/personnel.csv", std::ios::binary);
    pcsv << "编号,姓名,部门,卡类别\n";
    for (int64_t k = 0; k < people; ++k) {
        const int64_t step = rows / people;
        const Person who = person(k * rows / people + (step >= 4 ? k % 4 : 0));
        const char* card = pick(kCardTypes, mix(static_cast<uint64_t>(k)) % 10 < 7 ? 0 : mix(static_cast<uint64_t>(k)));
        const auto sr = static_cast<lxw_row_t>(k + 1);
        if (!writeNumber(p.sheet, sr, 0, who) ||
            !check(worksheet_write_string(p.sheet, sr, 1, who.name.c_str(), nullptr), "name") ||
            !check(worksheet_write_string(p.sheet, sr, 2, who.department.c_str(), nullptr), "department") ||
            !check(worksheet_write_string(p.sheet, sr, 3, card, nullptr), "card"))
            return 1;
        pcsv << who.number << "," << who.name << "," << who.department << "," << card << "\n";
    }
    pcsv.close();
    if (!pcsv || !check(workbook_close(p.book), "personnel.xlsx"))
        return 1;
    std::printf("wrote %lld consumption rows and %lld people to %s\n", static_cast<long long>(rows),
                static_cast<long long>(people), out.c_str());
    return 0;
}
