#include "page_fixture.h"

using namespace vornicle;
using namespace vornicle::test;

namespace {

using Row = std::vector<std::string>;

Row consumptionRow(const std::string& number, const std::string& name = "张三", const std::string& dept = "食堂",
                   const std::string& matched = "", const std::string& flag = "")
{
    return {"2020/3/13", "9:05:07", number, name, dept, "12.5", "早餐", matched, "", "", flag};
}

class ConsumptionPage : public PageTest {
protected:
    void fill(const std::vector<Row>& rowsToAdd)
    {
        consumption.clear();
        for (const Row& r : rowsToAdd)
            consumption.appendRow(r);
    }
    void saveRows(const std::vector<Row>& rowsToAdd)
    {
        fill(rowsToAdd);
        ASSERT_TRUE(SaveConsumptionList(ws));
    }
    std::vector<std::string> column(int c) const
    {
        std::vector<std::string> out;
        for (int64_t r = 0; r < consumption.rowCount(); ++r)
            out.emplace_back(consumption.cell(r, c));
        return out;
    }
};

TEST_F(ConsumptionPage, EmptyTableRefreshesAndFiltersToNothing)
{
    RefreshConsumptionList(ws);
    ApplyConsumptionFilter(ws, 0);
    EXPECT_EQ(consumption.rowCount(), 0);
    EXPECT_EQ(logged(), QStringList({"总共刷新到0条记录", "检测到到有0条记录"}));
}

TEST_F(ConsumptionPage, SaveReplacesTheTableAndLogsInOrder)
{
    saveRows({consumptionRow("1001"), consumptionRow("1002")});
    saveRows({consumptionRow("1003"), consumptionRow("1004"), consumptionRow("1005")});   // twice: not doubled
    RefreshConsumptionList(ws);
    EXPECT_EQ(column(2), (std::vector<std::string>{"1003", "1004", "1005"}));
    const QStringList lines = logged();
    const qsizetype done = lines.lastIndexOf("数据保存完毕");
    ASSERT_GT(done, 0);
    EXPECT_EQ(lines[done - 1], "消费记录已全部删除");
    EXPECT_EQ(lines[done + 1], "当前共有0人");   // the created handler ran again
    EXPECT_EQ(ui.captions.last(), "Vornicle连接成功");
    EXPECT_EQ(lines.last(), "总共刷新到3条记录");
}

TEST_F(ConsumptionPage, EmptyCellsAreStoredAsNullSoTheViewsSplitTheRows)
{
    saveRows({consumptionRow("1001", "张三", "食堂", ""), consumptionRow("1002", "李四", "食堂", "B1002"),
              consumptionRow("", "王五", "", "")});
    struct Case {
        int view;
        std::vector<std::string> numbers;
    } cases[] = {
        {0, {"1001", "1002", ""}},
        {1, {"1002"}},          // 不为空
        {2, {"1001", ""}},      // 过滤空白
    };
    for (const Case& c : cases) {
        ApplyConsumptionFilter(ws, c.view);
        EXPECT_EQ(column(2), c.numbers) << "view " << c.view;
    }
    EXPECT_EQ(logged().last(), "检测到到有2条记录");
}

TEST_F(ConsumptionPage, DuplicatesViewShowsEveryCopyOfRepeatedNumbers)
{
    saveRows({consumptionRow("1001"), consumptionRow("1002"), consumptionRow("1001"), consumptionRow("1003"),
              consumptionRow("1001"), consumptionRow("1003")});
    ApplyConsumptionFilter(ws, 3);
    std::vector<std::string> numbers = column(2);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<std::string>{"1001", "1001", "1001", "1003", "1003"}));
}

TEST_F(ConsumptionPage, OtherComboIndexesDoNothing)
{
    saveRows({consumptionRow("1001")});
    const qsizetype before = logged().size();
    for (int index : {-1, 4})
        ApplyConsumptionFilter(ws, index);
    EXPECT_EQ(logged().size(), before);
    EXPECT_EQ(consumption.rowCount(), 1);
}

TEST_F(ConsumptionPage, SaveKeepsTheDuplicateFlagColumn)
{
    saveRows({consumptionRow("1001", "张三", "食堂", "", "重复")});
    RefreshConsumptionList(ws);
    EXPECT_EQ(column(10), (std::vector<std::string>{"重复"}));
}

TEST_F(ConsumptionPage, FailedSaveLeavesTheTableAsItWas)
{
    saveRows({consumptionRow("1001"), consumptionRow("1002")});
    sql("CREATE TRIGGER refuse BEFORE INSERT ON dlc_record_xf WHEN NEW.empno='boom' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    fill({consumptionRow("2001"), consumptionRow("boom"), consumptionRow("2003")});
    const qsizetype before = logged().size();
    EXPECT_FALSE(SaveConsumptionList(ws));
    const QStringList after = logged().mid(before);
    EXPECT_FALSE(after.contains("数据保存完毕"));
    EXPECT_FALSE(after.contains("消费记录已全部删除"));
    ASSERT_FALSE(after.isEmpty());
    EXPECT_TRUE(after.first().startsWith("数据保存失败：")) << after.first().toStdString();
    EXPECT_TRUE(after.first().contains("refused"));
    RefreshConsumptionList(ws);
    EXPECT_EQ(column(2), (std::vector<std::string>{"1001", "1002"}));
}

TEST_F(ConsumptionPage, SavingAFilteredViewAsksFirst)
{
    saveRows({consumptionRow("1001", "张三", "食堂", "B1"), consumptionRow("1002")});
    ApplyConsumptionFilter(ws, 1);   // shows one of two rows
    ASSERT_EQ(consumption.rowCount(), 1);

    ui.answers = {MessageAnswer::No};
    EXPECT_FALSE(SaveConsumptionList(ws));
    ASSERT_EQ(ui.messages.size(), 1);
    ApplyConsumptionFilter(ws, 0);
    EXPECT_EQ(consumption.rowCount(), 2);   // nothing lost

    ApplyConsumptionFilter(ws, 1);
    ui.answers = {MessageAnswer::Yes};
    EXPECT_TRUE(SaveConsumptionList(ws));
    RefreshConsumptionList(ws);
    EXPECT_EQ(column(2), (std::vector<std::string>{"1001"}));

    // The whole table shown: no question.
    const qsizetype asked = ui.messages.size();
    EXPECT_TRUE(SaveConsumptionList(ws));
    EXPECT_EQ(ui.messages.size(), asked);
}

TEST_F(ConsumptionPage, ClearEmptiesListAndTable)
{
    saveRows({consumptionRow("1001")});
    ClearConsumptionPage(ws);
    EXPECT_EQ(consumption.rowCount(), 0);
    EXPECT_EQ(logged().last(), "消费记录已全部删除");
    RefreshConsumptionList(ws);
    EXPECT_EQ(consumption.rowCount(), 0);
}

class ConsumptionPageWithoutDatabase : public PageTest {
protected:
    ConsumptionPageWithoutDatabase() : PageTest(false) {}
};

TEST_F(ConsumptionPageWithoutDatabase, ClearRefreshAndSaveFailQuietlyOrSayWhy)
{
    consumption.appendRow(consumptionRow("1001"));
    ClearConsumptionPage(ws);
    EXPECT_EQ(consumption.rowCount(), 0);
    EXPECT_TRUE(logged().isEmpty());

    RefreshConsumptionList(ws);
    ApplyConsumptionFilter(ws, 0);
    EXPECT_EQ(logged(), QStringList({"总共刷新到-1条记录", "检测到到有0条记录"}));

    consumption.appendRow(consumptionRow("1001"));
    EXPECT_FALSE(SaveConsumptionList(ws));
    EXPECT_FALSE(logged().contains("数据保存完毕"));
    EXPECT_TRUE(logged().last().startsWith("数据保存失败："));
    EXPECT_EQ(ui.messages, QStringList({"没有数据库！"}));
}

}  // namespace
