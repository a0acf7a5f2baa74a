#include "page_fixture.h"

using namespace vornicle;
using namespace vornicle::test;

namespace {

class PersonnelPage : public PageTest {
protected:
    void addPeople(const std::vector<std::vector<std::string>>& people)
    {
        personnel.clear();
        for (const auto& p : people)
            personnel.appendRow(p);
        SavePersonnelList(ws);
    }
};

TEST_F(PersonnelPage, StartUpConnectsAndFillsTheRegister)
{
    sql("insert into hr_employee(empno,empname,deptname,cardtype) values ('1001','张三','食堂','A')");
    MainWindowCreated(ws);
    EXPECT_EQ(ui.captions, QStringList({"Vornicle连接成功"}));
    EXPECT_EQ(rows(personnel), (std::vector<std::vector<std::string>>{{"1001", "张三", "食堂", "A"}}));
    EXPECT_EQ(logged(), QStringList({"当前共有1人"}));
}

TEST_F(PersonnelPage, SaveAppendsEveryRowThenReloads)
{
    addPeople({{"1001", "张三", "食堂", "A"}, {"1002", "李四", "", "B"}});
    EXPECT_EQ(ui.captions, QStringList({"连接成功", "Vornicle连接成功"}));
    ASSERT_EQ(personnel.rowCount(), 2);
    // Saving right after the refresh stores every record a second time.
    SavePersonnelList(ws);
    EXPECT_EQ(personnel.rowCount(), 4);
    EXPECT_EQ(logged().last(), "当前共有4人");
    // An empty cell is stored as NULL.
    ASSERT_TRUE(store.Open("select * from hr_employee where deptname IS Null", OpenKind::SqlText));
    EXPECT_EQ(store.RecordCount(), 2);
    // Clearing the list and saving adds nothing and reloads the table.
    ClearPersonnelList(ws);
    EXPECT_EQ(personnel.rowCount(), 0);
    SavePersonnelList(ws);
    EXPECT_EQ(personnel.rowCount(), 4);
}

TEST_F(PersonnelPage, SearchFindsEqualNumbersOnlyAndQuotesAreJustText)
{
    addPeople({{"1001", "张三", "食堂", "A"}, {"10011", "李四", "后勤", "B"}, {"O'Neil", "王五", "后勤", "B"}});
    struct Case {
        QString text;
        std::vector<std::string> numbers;
    } cases[] = {
        {"1001", {"1001"}},
        {"100", {}},
        {"1001 ", {}},
        {"' or '1'='1", {}},
        {"1001' --", {}},
        {"O'Neil", {"O'Neil"}},
    };
    for (const Case& c : cases) {
        SearchPersonnelByNumber(ws, c.text);
        std::vector<std::string> found;
        for (int64_t r = 0; r < personnel.rowCount(); ++r)
            found.emplace_back(personnel.cell(r, 0));
        EXPECT_EQ(found, c.numbers) << c.text.toStdString();
        EXPECT_EQ(logged().last(), QStringLiteral("当前共有%1人").arg(c.numbers.size()));
    }
    RefreshPersonnelList(ws);
    EXPECT_EQ(personnel.rowCount(), 3);
}

TEST_F(PersonnelPage, FailedSaveAppendsNothing)
{
    addPeople({{"1001", "张三", "食堂", "A"}});
    sql("CREATE TRIGGER refuse BEFORE INSERT ON hr_employee WHEN NEW.empno='boom' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    personnel.clear();
    personnel.appendRow(std::vector<std::string>{"2001", "a", "b", "c"});
    personnel.appendRow(std::vector<std::string>{"boom", "a", "b", "c"});
    SavePersonnelList(ws);
    const QStringList failed = logged().filter(QStringLiteral("人事资料保存失败："));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("refused")) << failed[0].toStdString();
    EXPECT_EQ(rows(personnel), (std::vector<std::vector<std::string>>{{"1001", "张三", "食堂", "A"}}));
}

class PersonnelPageWithoutDatabase : public PageTest {
protected:
    PersonnelPageWithoutDatabase() : PageTest(false) {}
};

TEST_F(PersonnelPageWithoutDatabase, StartAndSaveShowNoDatabase)
{
    MainWindowCreated(ws);
    EXPECT_TRUE(ui.captions.isEmpty());
    personnel.appendRow(std::vector<std::string>{"1001", "张三", "食堂", "A"});
    SavePersonnelList(ws);
    EXPECT_EQ(ui.messages, QStringList({"没有数据库！", "没有数据库！"}));
    EXPECT_EQ(personnel.rowCount(), 1);   // the list is left as it was
    RefreshPersonnelList(ws);
    EXPECT_EQ(personnel.rowCount(), 0);
    EXPECT_EQ(logged(), QStringList({"当前共有0人"}));
}

}  // namespace
