#include "page_fixture.h"

#include <set>

using namespace vornicle;
using namespace vornicle::test;

namespace {

class MarkingAndMatching : public PageTest {
protected:
    // Consumption rows: number, name, department (NULL when empty).
    void consumptionRows(const std::vector<std::array<const char*, 3>>& rs)
    {
        for (const auto& r : rs) {
            std::vector<std::string> p;
            for (const char* v : r)
                p.emplace_back(v);
            ASSERT_TRUE(store.ExecuteWithParameters(
                "insert into dlc_record_xf(empno,empname,deptname) values (nullif(?,''),nullif(?,''),nullif(?,''))", p));
        }
    }
    void register_(const std::vector<std::array<const char*, 3>>& rs)
    {
        for (const auto& r : rs) {
            std::vector<std::string> p;
            for (const char* v : r)
                p.emplace_back(v);
            ASSERT_TRUE(store.ExecuteWithParameters(
                "insert into hr_employee(empno,empname,deptname) values (nullif(?,''),nullif(?,''),nullif(?,''))", p));
        }
    }
    // (empno, column) of every list row, in table order.
    std::vector<std::pair<std::string, std::string>> listed(int column) const
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (int64_t r = 0; r < consumption.rowCount(); ++r)
            out.emplace_back(consumption.cell(r, 2), consumption.cell(r, column));
        return out;
    }
    int64_t count(const std::string& sqlText)
    {
        EXPECT_TRUE(store.Open(sqlText, OpenKind::SqlText));
        const int64_t n = store.RecordCount();
        store.Close();
        return n;
    }
};

TEST_F(MarkingAndMatching, RepeatedNumbersAreFlaggedExactly)
{
    consumptionRows({{"1001", "张三", "食堂"}, {"1001", "张三", "食堂"}, {"1002", "李四", "食堂"}, {"", "无号", ""},
                     {"", "无号", ""}});
    for (int run = 0; run < 2; ++run) {   // running twice changes nothing
        ASSERT_TRUE(MarkDuplicates(ws));
        EXPECT_EQ(listed(10), (std::vector<std::pair<std::string, std::string>>{
                                  {"1001", "重复"}, {"1001", "重复"}, {"1002", ""}, {"", ""}, {"", ""}}));
        EXPECT_EQ(count("select * from cf"), 2);
    }
    const QStringList lines = logged();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.mid(0, 3), QStringList({"正在验证重复数据.......", "已成功标识重复数据.......", "总共刷新到5条记录"}));
}

TEST_F(MarkingAndMatching, ANumberThatBecameUniqueLosesItsFlag)
{
    consumptionRows({{"1001", "张三", "食堂"}, {"1001", "张三", "食堂"}, {"1002", "李四", "食堂"}});
    ASSERT_TRUE(MarkDuplicates(ws));
    sql("update dlc_record_xf set empno='1003' where id=(select max(id) from dlc_record_xf where empno='1001')");
    ASSERT_TRUE(MarkDuplicates(ws));
    EXPECT_EQ(listed(10), (std::vector<std::pair<std::string, std::string>>{{"1001", ""}, {"1003", ""}, {"1002", ""}}));
}

TEST_F(MarkingAndMatching, AFailedMarkingChangesNothing)
{
    consumptionRows({{"1001", "张三", "食堂"}, {"1001", "张三", "食堂"}});
    ASSERT_TRUE(MarkDuplicates(ws));
    sql("CREATE TRIGGER refuse BEFORE UPDATE OF cf ON dlc_record_xf WHEN NEW.cf='重复' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    sql("insert into dlc_record_xf(empno) values ('1002')");
    sql("insert into dlc_record_xf(empno) values ('1002')");
    const qsizetype before = logged().size();
    EXPECT_FALSE(MarkDuplicates(ws));
    EXPECT_EQ(logged().mid(before), QStringList({"正在验证重复数据.......", "更新语句有问题"}));
    EXPECT_EQ(count("select * from cf"), 2);   // the earlier run's rows, untouched
    EXPECT_EQ(count("select * from dlc_record_xf where cf='重复'"), 2);
}

TEST_F(MarkingAndMatching, MatchChoicesFillTheThreeColumns)
{
    register_({{"1001", "张三", "食堂"}, {"2002", "李四", "后勤"}});
    struct Case {
        int choice;
        std::array<const char*, 3> row;
        std::vector<std::string> expected;   // 编号2, 姓名2, 部门2
    } cases[] = {
        {1, {"1001", "别名", "别处"}, {"1001", "张三", "食堂"}},
        {1, {"9999", "张三", "食堂"}, {"", "", ""}},
        {2, {"9999", "李四", "食堂"}, {"2002", "李四", "后勤"}},
        {3, {"9999", "李四", "食堂"}, {"", "", ""}},          // same name, other department
        {3, {"9999", "李四", "后勤"}, {"2002", "李四", "后勤"}},
        {1, {"", "", ""}, {"", "", ""}},                      // NULL never matches
    };
    for (const Case& c : cases) {
        sql("delete from dlc_record_xf");
        consumptionRows({c.row});
        bool closed = false;
        ASSERT_TRUE(RunMatch(ws, c.choice, [&] { closed = true; }));
        EXPECT_TRUE(closed);
        ASSERT_EQ(consumption.rowCount(), 1);
        EXPECT_EQ((std::vector<std::string>{std::string(consumption.cell(0, 7)), std::string(consumption.cell(0, 8)),
                                            std::string(consumption.cell(0, 9))}),
                  c.expected)
            << "choice " << c.choice << " row " << c.row[0];
    }
    EXPECT_EQ(logged().mid(logged().size() - 2), QStringList({"消费记录已纠正请检查", "总共刷新到1条记录"}));
}

TEST_F(MarkingAndMatching, SeveralPartnersGiveTheValuesOfOneOfThem)
{
    register_({{"1", "张三", "食堂"}, {"2", "张三", "后勤"}, {"3", "张三", "财务"}});
    consumptionRows({{"9", "张三", "别处"}, {"8", "张三", "别处"}});
    ASSERT_TRUE(RunMatch(ws, 2));
    const std::set<std::vector<std::string>> partners = {{"1", "张三", "食堂"}, {"2", "张三", "后勤"}, {"3", "张三", "财务"}};
    for (int64_t r = 0; r < consumption.rowCount(); ++r) {
        const std::vector<std::string> got = {std::string(consumption.cell(r, 7)), std::string(consumption.cell(r, 8)),
                                              std::string(consumption.cell(r, 9))};
        EXPECT_TRUE(partners.count(got)) << got[0] << " " << got[2];   // never mixed from two people
    }
}

TEST_F(MarkingAndMatching, MatchedRowsMoveBetweenTheViews)
{
    register_({{"1001", "张三", "食堂"}});
    consumptionRows({{"1001", "张三", "食堂"}, {"1002", "李四", "食堂"}});
    ASSERT_TRUE(RunMatch(ws, 1));
    ApplyConsumptionFilter(ws, 1);
    EXPECT_EQ(listed(7), (std::vector<std::pair<std::string, std::string>>{{"1001", "1001"}}));
    ApplyConsumptionFilter(ws, 2);
    EXPECT_EQ(listed(7), (std::vector<std::pair<std::string, std::string>>{{"1002", ""}}));
}

TEST_F(MarkingAndMatching, NoChoiceFailsAndKeepsTheDialog)
{
    bool closed = false;
    EXPECT_FALSE(RunMatch(ws, 0, [&] { closed = true; }));
    EXPECT_FALSE(closed);
    EXPECT_EQ(logged(), QStringList({"更新语句有问题"}));
}

class MarkingWithoutDatabase : public PageTest {
protected:
    MarkingWithoutDatabase() : PageTest(false) {}
};

TEST_F(MarkingWithoutDatabase, BothLogTheStatementProblem)
{
    bool closed = false;
    EXPECT_FALSE(MarkDuplicates(ws));
    EXPECT_FALSE(RunMatch(ws, 1, [&] { closed = true; }));
    EXPECT_FALSE(closed);
    EXPECT_EQ(logged(), QStringList({"更新语句有问题", "更新语句有问题"}));
}

}  // namespace
