// The workbook reader on small fixture workbooks (tests/data/read_*, made by
// tests/data/make_read_fixtures.py): cell kinds and their texts, the used
// range, both formats, and files that must be refused with a reason.
#include "exchange/cell_text.h"
#include "exchange/workbook_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using vornicle::exchange::WorkbookReader;
using vornicle::exchange::WorkbookRow;

namespace {

std::string fixture(const std::string& name) { return std::string(VORNICLE_TEST_DATA) + "/" + name; }

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Read {
    std::string error;  // from open or from nextRow
    std::vector<WorkbookRow> rows;
    int64_t lastRow = -1;
    std::string format;
};

Read drain(std::unique_ptr<WorkbookReader> reader, std::string error)
{
    Read r;
    r.error = error;
    if (!reader)
        return r;
    r.format = reader->format();
    WorkbookRow row;
    while (reader->nextRow(row, r.error)) {
        EXPECT_EQ(reader->rowsRead(), static_cast<int64_t>(r.rows.size()) + 1);
        r.rows.push_back(row);
    }
    r.lastRow = reader->lastRow();
    return r;
}

Read readFile(const std::string& name)
{
    std::string error;
    auto reader = WorkbookReader::open(fixture(name), error);
    return drain(std::move(reader), error);
}

WorkbookRow row(std::initializer_list<const char*> cells)
{
    WorkbookRow r;
    size_t i = 0;
    for (const char* c : cells)
        r[i++] = c;
    return r;
}

const WorkbookRow kEmpty{};

// The same sheet written as xlsx by openpyxl and as xls (BIFF8) by LibreOffice.
const std::vector<WorkbookRow> kKinds = {
    row({"text", "number", "date", "time", "bool", "error", "tab"}),
    row({"abc", "12.5", "2024/5/2", "11:00:00", "True", "", "a\tb"}),
    row({"000123", "123", "2009/5/7 11:01:02", "0:00:00", "False", "", "\tx\t"}),
    row({" spaced ", "1.23456789012346E+17", "2024/5/2", "12:00:00", "", "", ""}),
    row({"多行\n文本", "0", "0.3", "1E-05", "", "", ""}),
    row({"", "69.99", "45000", "45000", "1900/1/1 12:00:00", "", ""}),
    kEmpty,  // a value past column G only
};

const std::vector<WorkbookRow> kBlankTop = {kEmpty, kEmpty, row({"", "first"}), kEmpty, row({"", "", "5"})};

const std::vector<WorkbookRow> k1904 = {row({"2024/5/2 8:30:00"}), row({"1904/1/1"})};

struct Case {
    const char* file;
    const char* format;
    std::vector<WorkbookRow> rows;
};

class ReadWorkbook : public ::testing::TestWithParam<Case> {};

TEST_P(ReadWorkbook, GivesTheTextsOfColumnsAToG)
{
    const Case& c = GetParam();
    const Read r = readFile(c.file);
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.format, c.format);
    EXPECT_EQ(r.lastRow, static_cast<int64_t>(c.rows.size()));
    ASSERT_EQ(r.rows.size(), c.rows.size());
    for (size_t i = 0; i < c.rows.size(); ++i)
        for (size_t col = 0; col < 7; ++col)
            EXPECT_EQ(r.rows[i][col], c.rows[i][col]) << "row " << i + 1 << " column " << char('A' + col);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ReadWorkbook,
    ::testing::Values(
        Case{"read_kinds.xlsx", "xlsx", kKinds},
        Case{"read_kinds.xls", "xls", kKinds},
        Case{"read_blank_top.xlsx", "xlsx", kBlankTop},
        Case{"read_blank_top.xls", "xls", kBlankTop},
        Case{"read_1904.xlsx", "xlsx", k1904},
        Case{"read_1904.xls", "xls", k1904},
        // An empty sheet (one styled cell) reads as one empty row.
        Case{"read_empty.xlsx", "xlsx", {kEmpty}},
        Case{"read_header_only.xlsx", "xlsx", {row({"日期", "时间", "编号", "姓名", "部门", "金额", "类别"})}},
        // x: prefixes, a chart sheet listed first, the worksheet part named Daten.XML behind an
        // absolute, differently cased target; rich and phonetic runs, _xHHHH_ escapes, inline
        // strings, formula results (string, none, error), booleans, date formats, the
        // 1900 leap-year serials, an ISO date cell, and an empty text past G that is no value.
        Case{"read_handmade.xlsx", "xlsx",
             {row({"shared", "rich text ", "漢字", "line\rbreak_x", "", "", ""}),
              row({" in line ", "ab", "shared!", "", "", "True", "False"}), kEmpty,
              row({"2024/5/1 12:00:00", "", "60", "2024/5/1", "2021/1/1 10:10:10", "1900/2/28", "-1"})}},
        // Rows and cells without r= follow the previous ones.
        Case{"read_no_r.xlsx", "xlsx",
             {row({"1", "b"}), kEmpty, row({"", "2"}), kEmpty, row({"", "", "", "4", "5"})}},
        // Stored (not deflated) parts, no sharedStrings.xml, no styles.xml.
        Case{"read_stored.xlsx", "xlsx", {kEmpty, row({"", "7"})}},
        // BIFF8 records LibreOffice rarely writes: SST split by CONTINUE with a switch from 8- to
        // 16-bit characters, RK forms, MULRK, BOOLERR, FORMULA with STRING, bool and number results.
        Case{"read_records.xls", "xls",
             {row({"short", "xxxxxxxxxxxxxxxxxxxx中文"}), row({"1234", "12.5", "3.5"}),
              row({"2024/5/1", "-7", "2024/5/1 12:00:00", "2024/5/1 6:00:00", "0.3"}),
              row({"True", "", "公式", "False", "99.5"}), kEmpty}},
        // BIFF5 with code page 1251 and a custom date format.
        Case{"read_biff5.xls", "xls", {row({"Привет", "мир"}), row({"12.5", "2024/5/1", "ответ"})}}),
    [](const auto& info) {
        std::string n = info.param.file;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

struct Refusal {
    const char* file;
    const char* reason;  // a part of the error text
};

class RefuseWorkbook : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefuseWorkbook, NamesTheReason)
{
    const Refusal& c = GetParam();
    const Read r = readFile(c.file);
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << "error: \"" << r.error << "\"";
    // The same bytes from memory give the same answer.
    std::string error;
    auto reader = WorkbookReader::openMemory(fileBytes(fixture(c.file)), error);
    const Read m = drain(std::move(reader), error);
    EXPECT_EQ(m.error, r.error);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RefuseWorkbook,
    ::testing::Values(Refusal{"read_text.xls", "not a workbook"}, Refusal{"read_random.xlsx", "not a workbook"},
                      Refusal{"read_truncated.xlsx", "damaged"}, Refusal{"read_encrypted.xls", "password protected"},
                      Refusal{"read_encrypted.xlsx", "password protected"},
                      Refusal{"read_backwards.xlsx", "rows out of order"},
                      Refusal{"read_bad_sst_index.xlsx", "shared string index"},
                      Refusal{"read_malformed.xlsx", "damaged"}, Refusal{"read_deep.xlsx", "nested too deeply"},
                      Refusal{"read_doctype.xlsx", "document type"}),
    [](const auto& info) {
        std::string n = info.param.file;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(ReadWorkbookFile, MissingFileNamesTheSystemError)
{
    std::string error;
    EXPECT_EQ(WorkbookReader::open(fixture("no_such_file.xlsx"), error), nullptr);
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST(ReadWorkbookFile, ChecksumMismatchFailsAtTheEndOfTheSheet)
{
    // A stored part whose bytes were altered after the checksum was taken.
    std::string bytes = fileBytes(fixture("read_stored.xlsx"));
    const size_t at = bytes.find("<v>7</v>");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 3] = '8';
    std::string error;
    auto reader = WorkbookReader::openMemory(bytes, error);
    const Read r = drain(std::move(reader), error);
    EXPECT_NE(r.error.find("checksum"), std::string::npos) << r.error;
}

TEST(ReadWorkbookFile, PartsOverTheSizeLimitsAreRefusedBeforeUnpacking)
{
    // The package claims that sharedStrings.xml unpacks to 2 GiB.
    std::string bytes = fileBytes(fixture("read_handmade.xlsx"));
    const std::string name = "xl/sharedStrings.xml";
    size_t at = 0;
    bool patched = false;
    while ((at = bytes.find("PK\x01\x02", at)) != std::string::npos) {
        if (bytes.compare(at + 46, name.size(), name) == 0) {
            bytes.replace(at + 24, 4, std::string("\x00\x00\x00\x80", 4));
            patched = true;
        }
        at += 4;
    }
    ASSERT_TRUE(patched);
    std::string error;
    EXPECT_EQ(WorkbookReader::openMemory(bytes, error), nullptr);
    EXPECT_NE(error.find("over the size limits"), std::string::npos) << error;
}

TEST(ReadWorkbookFile, CancelFlagStopsTheReading)
{
    for (const char* file : {"read_kinds.xlsx", "read_kinds.xls"}) {
        SCOPED_TRACE(file);
        std::string error;
        auto reader = WorkbookReader::open(fixture(file), error);
        ASSERT_NE(reader, nullptr) << error;
        std::atomic<bool> cancel{false};
        reader->setCancelFlag(&cancel);
        WorkbookRow row;
        ASSERT_TRUE(reader->nextRow(row, error));
        cancel = true;
        EXPECT_FALSE(reader->nextRow(row, error));
        EXPECT_EQ(error, "cancelled");
        EXPECT_EQ(reader->rowsRead(), 1);
        EXPECT_FALSE(reader->nextRow(row, error));
    }
}

TEST(ReadWorkbookFile, ProgressGrowsToOne)
{
    for (const char* file : {"read_kinds.xlsx", "read_kinds.xls"}) {
        SCOPED_TRACE(file);
        std::string error;
        auto reader = WorkbookReader::open(fixture(file), error);
        ASSERT_NE(reader, nullptr) << error;
        double last = reader->progress();
        EXPECT_GE(last, 0.0);
        WorkbookRow row;
        while (reader->nextRow(row, error)) {
            EXPECT_GE(reader->progress(), last);
            last = reader->progress();
        }
        EXPECT_EQ(error, "");
        EXPECT_DOUBLE_EQ(reader->progress(), 1.0);
    }
}

// Conversions that the fixtures reach only in part.
TEST(CellText, Numbers)
{
    using vornicle::exchange::numberText;
    const std::pair<double, const char*> cases[] = {
        {12.5, "12.5"}, {12.50, "12.5"}, {100, "100"}, {69.989999999999995, "69.99"},
        {310101195608230980.0, "3.10101195608231E+17"}, {1e15, "1E+15"}, {999999999999999, "999999999999999"},
        {0.1 + 0.2, "0.3"}, {1e-5, "1E-05"}, {3.14159265358979e-300, "3.14159265358979E-300"},
        {-0.0, "0"}, {-12.34, "-12.34"}, {0.0001, "0.0001"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(numberText(value), text) << value;
    EXPECT_EQ(numberText(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), "");
}

TEST(CellText, Dates)
{
    using vornicle::exchange::dateText;
    struct C {
        double serial;
        bool d1904;
        const char* text;
    };
    const C cases[] = {
        {45413.999999999, false, "2024/5/2"},   // rounds to midnight before splitting
        {45413.99999, false, "2024/5/1 23:59:59"},
        {0.458333333333, false, "11:00:00"},    // time only
        {0.999999999, false, "0:00:00"},        // a time that rounds up to midnight
        {61, false, "1900/3/1"},
        {1, false, "1900/1/1"},
        {60, false, "60"},                      // 1900-02-29 never was
        {-1, false, "-1"},
        {2958466, false, "2958466"},            // past 9999-12-31
        {2958465, false, "9999/12/31"},
        {0, true, "1904/1/1"},
        {0.5, true, "1904/1/1 12:00:00"},
        {43952.354166666, true, "2024/5/2 8:30:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dateText(c.serial, c.d1904), c.text) << c.serial;
}

TEST(CellText, DateFormats)
{
    using vornicle::exchange::isBuiltinDateFormat;
    using vornicle::exchange::isDateFormatCode;
    for (int id : {14, 22, 27, 31, 36, 45, 47, 50, 58})
        EXPECT_TRUE(isBuiltinDateFormat(id)) << id;
    for (int id : {0, 1, 13, 23, 26, 37, 44, 48, 49, 59, 164})
        EXPECT_FALSE(isBuiltinDateFormat(id)) << id;
    for (const char* code : {"yyyy/m/d", "h:mm", "[h]:mm:ss", "[ss]", "yyyy\"年\"m\"月\"d\"日\"", "[$-409]mmm-yy",
                             "D", "m/d/yyyy;@"})
        EXPECT_TRUE(isDateFormatCode(code)) << code;
    for (const char* code : {"General", "0.00", "\"Date: \"0", "[Red]0.00", "0.00E+00", "#,##0_);(#,##0)",
                             "\\d0", "0;\"ymd\""})
        EXPECT_FALSE(isDateFormatCode(code)) << code;
}

TEST(CellText, IsoDatesAndEscapes)
{
    std::string out;
    EXPECT_TRUE(vornicle::exchange::isoDateText("2021-01-01", out));
    EXPECT_EQ(out, "2021/1/1");
    EXPECT_TRUE(vornicle::exchange::isoDateText("2021-01-01T10:10:10.6", out));
    EXPECT_EQ(out, "2021/1/1 10:10:11");
    EXPECT_TRUE(vornicle::exchange::isoDateText("10:10:10", out));
    EXPECT_EQ(out, "10:10:10");
    EXPECT_FALSE(vornicle::exchange::isoDateText("yesterday", out));

    std::string s = "a_x000D_b_x005F_x000D__xD83D__xDE00__xZZZZ_";
    vornicle::exchange::decodeXmlEscapes(s);
    EXPECT_EQ(s, "a\rb_x000D_\xF0\x9F\x98\x80_xZZZZ_");
}

}  // namespace
