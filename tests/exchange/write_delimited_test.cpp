// The delimited text export.
#include "exchange/delimited_writer.h"
#include "lists/report_list.h"
#include "test_support.h"

#include <QFile>
#include <gtest/gtest.h>

namespace vornicle {
namespace {

constexpr const char* kConsumptionTitles = "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|";

std::string tempPath(const char* name)
{
    return (test::makeTempDir() + "/" + name).toStdString();
}

void fillConsumption(ReportList& list)
{
    list.appendRow(std::vector<std::string>{"2024/5/1", "8:30:00", "0012", "张三", "财务部", "12.5", "早餐", "0012",
                                            "张三", "财务部", "重复"});
    list.appendRow(std::vector<std::string>{"2024/5/1", "12:00:00", "7", "李四", "", "15", "午餐"});
}

TEST(WriteDelimited, ConsumptionRowsWithoutHeader)
{
    ReportList list(ConsumptionListColumns());
    fillConsumption(list);
    const std::string path = tempPath("out.csv");
    std::vector<std::pair<int, int>> progress;
    EXPECT_EQ(WriteDelimitedFile(list, path, kConsumptionTitles, "|", false,
                                 [&](int total, int current) { progress.emplace_back(total, current); }),
              10);
    EXPECT_EQ(test::readFileBytes(QString::fromStdString(path)),
              "2024/5/1|8:30:00|0012|张三|财务部|12.5|早餐|0012|张三|财务部|\r\n"
              "2024/5/1|12:00:00|7|李四||15|午餐||||\r\n");
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{2, 1}, {2, 2}}));
}

TEST(WriteDelimited, HeaderLineAndOtherDelimiter)
{
    ReportList list(ConsumptionListColumns());
    fillConsumption(list);
    const std::string path = tempPath("out.txt");
    EXPECT_EQ(WriteDelimitedFile(list, path, "姓名|missing|金额", ",", true, {}), 3);
    EXPECT_EQ(test::readFileBytes(QString::fromStdString(path)),
              "姓名,missing,金额\r\n张三,,12.5,\r\n李四,,15,\r\n");
}

TEST(WriteDelimited, CellsAreWrittenUnquoted)
{
    ReportList list({{"a", 50}, {"b", 50}});
    list.appendRow(std::vector<std::string>{"x|y", "line\r\nbreak \"q\""});
    const std::string path = tempPath("out.txt");
    EXPECT_EQ(WriteDelimitedFile(list, path, "a|b", "|", false, {}), 2);
    EXPECT_EQ(test::readFileBytes(QString::fromStdString(path)), "x|y|line\r\nbreak \"q\"|\r\n");
}

TEST(WriteDelimited, EmptyListGivesAnEmptyFileAndNoTitlesNoFile)
{
    ReportList list(ConsumptionListColumns());
    const std::string path = tempPath("empty.txt");
    EXPECT_EQ(WriteDelimitedFile(list, path, kConsumptionTitles, "|", false, {}), 10);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(test::readFileBytes(QString::fromStdString(path)).size(), 0u);

    const std::string none = tempPath("none.txt");
    EXPECT_EQ(WriteDelimitedFile(list, none, "", "|", true, {}), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(none)));
}

TEST(WriteDelimited, ExistingFileIsTruncatedAndLargeListsAreWhole)
{
    ReportList list({{"n", 50}});
    const int rows = 300000;  // several output blocks
    for (int r = 0; r < rows; ++r)
        list.appendRow(std::vector<std::string>{std::to_string(r)});
    const std::string path = tempPath("big.txt");
    {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(std::string(5000000, 'x').c_str());
    }
    ASSERT_EQ(WriteDelimitedFile(list, path, "n", "|", false, {}), 1);
    std::string expected;
    for (int r = 0; r < rows; ++r)
        expected += std::to_string(r) + "|\r\n";
    EXPECT_EQ(test::readFileBytes(QString::fromStdString(path)), expected);
}

TEST(WriteDelimited, UnopenableFileIsAnError)
{
    ReportList list(ConsumptionListColumns());
    fillConsumption(list);
    std::string error;
    EXPECT_EQ(WriteDelimitedFile(list, tempPath("no/such/dir.txt"), kConsumptionTitles, "|", false, {}, &error), -1);
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST(WriteDelimited, FullDiskIsAnError)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ReportList list(ConsumptionListColumns());
    fillConsumption(list);
    std::string error;
    EXPECT_EQ(WriteDelimitedFile(list, "/dev/full", kConsumptionTitles, "|", true, {}, &error), -1);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

}  // namespace
}  // namespace vornicle
