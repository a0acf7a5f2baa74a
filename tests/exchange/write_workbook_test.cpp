// Exported workbooks read back by real readers: openpyxl for .xlsx, xlrd for
// .xls (and its compound-file reader for the container), LibreOffice when present.
#include "exchange/cfb_writer.h"
#include "exchange/export_list_view.h"
#include "lists/report_list.h"
#include "test_support.h"
#include "write_workbook_reader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace vornicle {
namespace {

constexpr const char* kTitles = "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|";

#define READ_OR_SKIP(var, ...)                                   \
    QString skipReason_;                                         \
    const auto var = test::ReadWithPython(__VA_ARGS__, &skipReason_); \
    if (!var) {                                                  \
        if (!skipReason_.isEmpty())                              \
            GTEST_SKIP() << skipReason_.toStdString();           \
        return;                                                  \
    }

using Grid = std::vector<std::vector<std::string>>;

Grid rowsOf(const QJsonObject& json)
{
    Grid grid;
    for (const QJsonValue& row : json["rows"].toArray()) {
        grid.emplace_back();
        for (const QJsonValue& cell : row.toArray())
            grid.back().push_back(cell.toString().toStdString());
    }
    return grid;
}

std::vector<std::string> consumptionTitles()
{
    return {"消费日期", "时间", "编号", "姓名", "部门", "金额", "类别", "编号2", "姓名2", "部门2"};
}

class WriteWorkbook : public ::testing::TestWithParam<const char*> {
protected:
    QString exportList(const ReportList& list, std::optional<bool> writeHeader = std::nullopt)
    {
        const QString path = test::makeTempDir() + "/out." + GetParam();
        progress.clear();
        const ExportResult r = ExportListView(list, path.toStdString(), kTitles, "|", writeHeader,
                                              [&](int total, int current) { progress.emplace_back(total, current); });
        EXPECT_TRUE(r.ok) << r.error;
        return path;
    }
    std::vector<std::pair<int, int>> progress;
};

TEST_P(WriteWorkbook, ValuesAndFormatting)
{
    ReportList list(ConsumptionListColumns());
    const std::vector<std::string> first{"2024/5/1", "8:30:00", "000123", "张三", "财务部", "12.5", "早餐",
                                         "000123", "张三", "财务部", "重复"};
    const std::vector<std::string> second{"2024/5/2", "12:00:00", "7", "李四", "", "1E+3", "a|b", "", "", ""};
    list.appendRow(first);
    list.appendRow(second);

    const QString path = exportList(list);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{2, 1}, {2, 2}}));
    READ_OR_SKIP(json, QStringList{GetParam(), path});
    Grid expected{consumptionTitles(), first, second};
    expected[1].pop_back();  // the last column is not exported
    EXPECT_EQ(rowsOf(*json), expected);

    const QJsonArray cells = (*json)["cells"].toArray();
    ASSERT_EQ(cells.size(), 3);
    for (int r = 0; r < 3; ++r) {
        const QJsonArray row = cells[r].toArray();
        ASSERT_EQ(row.size(), 10);
        for (int c = 0; c < 10; ++c) {
            SCOPED_TRACE("row " + std::to_string(r + 1) + " column " + std::to_string(c + 1));
            const QJsonObject cell = row[c].toObject();
            EXPECT_EQ(cell["type"].toString(), "text");
            const QJsonArray font = cell["font"].toArray();
            EXPECT_EQ(font[0].toString(), "微软雅黑");
            EXPECT_EQ(font[1].toDouble(), 11.0);
            EXPECT_EQ(font[2].toString(), r == 0 ? "FFFFFF" : "000000");
            if (r == 0)
                EXPECT_EQ(cell["fill"].toString(), "008000");
            else
                EXPECT_TRUE(cell["fill"].isNull());
            EXPECT_EQ(cell["align"].toArray(), (QJsonArray{"center", "center"}));
            EXPECT_EQ(cell["borders"].toArray(), (QJsonArray{"thin", "thin", "thin", "thin"}));
            EXPECT_EQ(cell["borderColours"].toArray(), (QJsonArray{"000000", "000000", "000000", "000000"}));
        }
    }
    const QJsonArray widths = (*json)["columnWidths"].toArray();
    ASSERT_EQ(widths.size(), 10);
    for (const QJsonValue& w : widths) {
        // Excel's width 18 is stored as 18 in .xls and as 18 plus the cell padding in .xlsx.
        EXPECT_GE(w.toDouble(), 18.0);
        EXPECT_LT(w.toDouble(), 18.75);
    }
    for (const QJsonValue& h : (*json)["rowHeights"].toArray())
        EXPECT_EQ(h.toDouble(), 20.0);
}

TEST_P(WriteWorkbook, EmptyListGivesTheHeaderRowOnly)
{
    ReportList list(ConsumptionListColumns());
    READ_OR_SKIP(json, QStringList{GetParam(), exportList(list)});
    EXPECT_EQ(rowsOf(*json), Grid{consumptionTitles()});
}

TEST_P(WriteWorkbook, WithoutHeader)
{
    ReportList list(ConsumptionListColumns());
    list.appendRow(std::vector<std::string>{"a", "b", "c"});
    READ_OR_SKIP(json, QStringList{GetParam(), exportList(list, false)});
    EXPECT_EQ(rowsOf(*json), (Grid{{"a", "b", "c", "", "", "", "", "", "", ""}}));
    for (const QJsonValue& w : (*json)["columnWidths"].toArray())
        EXPECT_TRUE(w.isNull());
}

TEST_P(WriteWorkbook, ManyAndLongStrings)
{
    // Enough distinct text to spread the .xls string table over many records,
    // with single strings longer than a record, both 8-bit and 16-bit.
    ReportList list({{"t", 50}});
    Grid expected{{"t"}};
    std::string chinese;
    for (int i = 0; i < 5000; ++i)
        chinese += (i % 2) ? "汉" : "字";
    const std::vector<std::string> specials{chinese, std::string(9000, 'x'), "é" + std::string(8300, 'y'),
                                            "\xF0\x9F\x98\x80 emoji", chinese + "z"};
    for (int r = 0; r < 3000; ++r) {
        std::string text = (r % 7 == 0) ? specials[static_cast<size_t>(r / 7) % specials.size()]
                                        : (r % 2 ? "名字" : "name") + std::to_string(r * 7919 % 3001) +
                                              std::string(static_cast<size_t>(r % 37), r % 2 ? 'a' : 'b');
        list.appendRow(std::vector<std::string>{text});
        expected.push_back({text});
    }
    const QString path = test::makeTempDir() + "/long." + GetParam();
    const ExportResult r = ExportListView(list, path.toStdString(), "t");
    ASSERT_TRUE(r.ok) << r.error;
    READ_OR_SKIP(json, QStringList{GetParam(), path});
    EXPECT_EQ(rowsOf(*json), expected);
}

TEST(WriteXls, RowBlocksAreIndexed)
{
    // INDEX and DBCELL let Excel find the rows of each block of 32.
    const struct {
        int rows;
        bool header;
        int blocks;
    } cases[] = {{0, true, 1}, {31, true, 1}, {32, true, 2}, {100, true, 4}, {64, false, 2}, {0, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + (c.header ? " rows and header" : " rows"));
        ReportList list(ConsumptionListColumns());
        for (int r = 0; r < c.rows; ++r)
            list.appendRow(std::vector<std::string>{"d", r % 3 ? "" : "t", std::to_string(r)});
        const QString path = test::makeTempDir() + "/i.xls";
        ASSERT_TRUE(ExportListView(list, path.toStdString(), kTitles, "|", c.header).ok);
        READ_OR_SKIP(json, QStringList{"xls-index", path});
        EXPECT_EQ((*json)["blocks"].toInt(), c.blocks);
        EXPECT_EQ((*json)["problems"].toArray(), QJsonArray());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WriteWorkbook, ::testing::Values("xlsx", "xls"));

TEST(WriteCompoundFile, StreamsOfAnySizeReadBack)
{
    const QString dir = test::makeTempDir();
    for (size_t size : {size_t(10), size_t(4096), size_t(100000), size_t(10) << 20}) {
        SCOPED_TRACE(size);
        std::string stream(size, '\0');
        uint32_t x = 12345;
        for (char& c : stream) {
            x = x * 1103515245u + 12345u;
            c = static_cast<char>(x >> 24);
        }
        const QString path = dir + "/f" + QString::number(size) + ".xls";
        std::string error;
        ASSERT_TRUE(WriteCompoundFile(path.toStdString(), "Workbook", stream, &error)) << error;
        // Short streams are padded up to the mini-stream cutoff.
        if (stream.size() < 4096)
            stream.resize(4096, '\0');
        READ_OR_SKIP(json, QStringList{"stream", path, "Workbook"});
        EXPECT_EQ((*json)["size"].toInt(), static_cast<int>(stream.size()));
        EXPECT_EQ((*json)["md5"].toString(),
                  QCryptographicHash::hash(QByteArray(stream.data(), static_cast<qsizetype>(stream.size())),
                                           QCryptographicHash::Md5)
                      .toHex());
    }
}

TEST(WriteWorkbookLibreOffice, ConvertsBackToTheSameRows)
{
    const QString office = QStandardPaths::findExecutable("soffice");
    if (office.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    ReportList list(ConsumptionListColumns());
    list.appendRow(std::vector<std::string>{"2024/5/1", "8:30:00", "000123", "张三", "", "12.5", "早餐"});
    const QString dir = test::makeTempDir();
    for (const char* ext : {"xlsx", "xls"}) {
        SCOPED_TRACE(ext);
        const QString path = dir + "/lo_" + ext + "." + ext;
        ASSERT_TRUE(ExportListView(list, path.toStdString(), kTitles).ok);
        QProcess p;
        p.start(office, {"--headless", "-env:UserInstallation=file://" + dir + "/profile", "--convert-to",
                         "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir + "/csv_" + ext, path});
        ASSERT_TRUE(p.waitForFinished(180000));
        const std::string csv = test::readFileBytes(dir + "/csv_" + ext + "/lo_" + ext + ".csv");
        EXPECT_EQ(csv, "消费日期,时间,编号,姓名,部门,金额,类别,编号2,姓名2,部门2\n"
                       "2024/5/1,8:30:00,000123,张三,,12.5,早餐,,,\n");
    }
}

}  // namespace
}  // namespace vornicle
