// The Jet statements of duplicate marking and matching, run verbatim; Jet
// rewriting; parameters; transactions.
#include "store_test_support.h"

namespace vornicle::test {
namespace {

const char* const kDeleteCf = "delete from cf";
const char* const kCollect =
    "INSERT INTO cf(empno,empname)select empno,empname from dlc_record_xf where empno in (select empno from   "
    "dlc_record_xf group by empno having count (id) > 1)";
const char* const kFlag = "update dlc_record_xf,cf set dlc_record_xf.cf='重复' where dlc_record_xf.empno=cf.empno ";
const char* const kMatchNumber =
    "update dlc_record_xf,hr_employee set "
    "dlc_record_xf.empno1=hr_employee.empno,dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2="
    "hr_employee.deptname where dlc_record_xf.empno=hr_employee.empno ";
const char* const kMatchName =
    "update dlc_record_xf,hr_employee set "
    "dlc_record_xf.empno1=hr_employee.empno,dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2="
    "hr_employee.deptname where dlc_record_xf.empname=hr_employee.empname ";
const char* const kMatchNameDept =
    "update dlc_record_xf,hr_employee set "
    "dlc_record_xf.empno1=hr_employee.empno,dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2="
    "hr_employee.deptname where dlc_record_xf.empname=hr_employee.empname and "
    "dlc_record_xf.deptname=hr_employee.deptname";

TEST(JetRewrite, MultiTableUpdateTakesOnePartnersValues)
{
    EXPECT_EQ(RewriteJetStatement(kMatchNumber),
              "UPDATE dlc_record_xf SET (empno1,empname2,deptname2)=(SELECT "
              "hr_employee.empno,hr_employee.empname,hr_employee.deptname FROM hr_employee WHERE "
              "dlc_record_xf.empno=hr_employee.empno  LIMIT 1) WHERE EXISTS (SELECT 1 FROM hr_employee WHERE "
              "dlc_record_xf.empno=hr_employee.empno )");
    // More than two tables: SQLite's own UPDATE ... FROM.
    EXPECT_EQ(RewriteJetStatement("update a,b,c set a.v=b.v where a.k=b.k and b.j=c.j"),
              "UPDATE a SET v=b.v FROM b,c WHERE a.k=b.k and b.j=c.j");
    // A constant assignment only needs to know that a partner exists.
    EXPECT_EQ(RewriteJetStatement(kFlag),
              "UPDATE dlc_record_xf SET cf='重复' WHERE dlc_record_xf.empno IN (SELECT cf.empno FROM cf)");
    EXPECT_EQ(RewriteJetStatement("update a,b set a.f=1 where a.k=b.k and b.z>0"),
              "UPDATE a SET f=1 WHERE EXISTS (SELECT 1 FROM b WHERE a.k=b.k and b.z>0)");
    EXPECT_EQ(RewriteJetStatement("update a,b set a.f=1 where b.k=a.k"),
              "UPDATE a SET f=1 WHERE EXISTS (SELECT 1 FROM b WHERE b.k=a.k)");
    EXPECT_EQ(RewriteJetStatement("update a,b set a.f=1 where a.k>=b.k"),
              "UPDATE a SET f=1 WHERE EXISTS (SELECT 1 FROM b WHERE a.k>=b.k)");
    // The assigned table decides the target; aliases and brackets are kept.
    EXPECT_EQ(RewriteJetStatement("UPDATE [a] AS x, b SET b.v = x.v, b.w='s,t' WHERE x.k=b.k"),
              "UPDATE b SET (v,w)=(SELECT x.v,'s,t' FROM [a] AS x WHERE x.k=b.k LIMIT 1) WHERE EXISTS (SELECT 1 FROM "
              "[a] AS x WHERE x.k=b.k)");
    for (const char* unchanged : {
             "select * from dlc_record_xf ",
             "delete from cf",
             kCollect,
             "update dlc_record_xf set cf='重复' where empno='1'",
             "update a,b set a.x=1, b.y=2 where a.k=b.k",  // two targets: left to fail
             "update a inner join b on a.k=b.k set a.x=b.x",
             "",
         })
        EXPECT_EQ(RewriteJetStatement(unchanged), unchanged);
}

TEST(JetRewrite, MalformedStatementsAreLeftToTheEngine)
{
    for (const char* text : {"update a,b set", "update a, set x=1", "update a,b set a.x='open", "update a,b set a.x=(1 where",
                             "update [a,b set a.x=1", "update a,b set =1 where a.k=b.k", "update a,b set a.=1",
                             "update a,b set c.x=1 where a.k=b.k", "  update", "update,,set,where"}) {
        const std::string out = RewriteJetStatement(text);
        EXPECT_TRUE(out == text || out.rfind("UPDATE ", 0) == 0) << text << " -> " << out;
    }
}

class JetStatementTest : public StoreTest {
protected:
    Rows Consumptions() { return Query("select empno, empno1, empname2, deptname2, cf from dlc_record_xf order by id"); }
};

TEST_F(JetStatementTest, DuplicateMarkingFlagsEveryCopyOfARepeatedNumber)
{
    SaveConsumption({Consumption("1001", "张三", "食堂"), Consumption("1001", "张三", "食堂"),
                     Consumption("1002", "李四", "财务部"), Consumption("", "无号", "食堂"),
                     Consumption("", "无号", "食堂")});
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(store.Open(kDeleteCf, OpenKind::SqlText));
        EXPECT_FALSE(store.IsOpen());
        Exec(kCollect);
        Exec(kFlag);
        EXPECT_EQ(Query("select empno, empname from cf order by empno"), (Rows{{"1001", "张三"}, {"1001", "张三"}}));
        EXPECT_EQ(Consumptions(), (Rows{{"1001", "<null>", "<null>", "<null>", "重复"},
                                        {"1001", "<null>", "<null>", "<null>", "重复"},
                                        {"1002", "<null>", "<null>", "<null>", "<null>"},
                                        {"<null>", "<null>", "<null>", "<null>", "<null>"},
                                        {"<null>", "<null>", "<null>", "<null>", "<null>"}}));
    }
    // The view of repeated numbers agrees.
    ASSERT_TRUE(store.Open("select * from dlc_record_xf where empno in (select empno from   dlc_record_xf group by "
                           "empno having count (id) > 1)",
                           OpenKind::SqlText));
    EXPECT_EQ(store.RecordCount(), 2);
}

TEST_F(JetStatementTest, MatchesFillTheThreeFieldsOfRowsWithAPartnerOnly)
{
    const std::vector<std::vector<std::string>> consumption = {
        Consumption("1001", "张三", "食堂"),
        Consumption("1002", "李四", "财务部", "old", "旧名", "旧部门"),  // no partner by number
        Consumption("a7", "王五", "财务部"),                            // number differs only in case
        Consumption("", "", "食堂"),                                    // NULL never matches
    };
    ASSERT_TRUE(store.Open("hr_employee", OpenKind::TableName));
    for (const auto& person : std::vector<std::vector<std::string>>{
             {"1001", "张三", "食堂", "A"}, {"A7", "王五", "生产部", "B"}, {"", "", "食堂", "C"}}) {
        ASSERT_TRUE(store.AddNew());
        for (int j = 0; j < 4; ++j)
            ASSERT_TRUE(store.WriteField(j + 1, person[static_cast<size_t>(j)]));
    }
    ASSERT_TRUE(store.Update());

    struct Case {
        const char* name;
        const char* statement;
        Rows expected;
    } cases[] = {
        {"number", kMatchNumber,
         {{"1001", "1001", "张三", "食堂", "<null>"},
          {"1002", "old", "旧名", "旧部门", "<null>"},
          {"a7", "A7", "王五", "生产部", "<null>"},
          {"<null>", "<null>", "<null>", "<null>", "<null>"}}},
        {"name", kMatchName,
         {{"1001", "1001", "张三", "食堂", "<null>"},
          {"1002", "old", "旧名", "旧部门", "<null>"},
          {"a7", "A7", "王五", "生产部", "<null>"},
          {"<null>", "<null>", "<null>", "<null>", "<null>"}}},
        {"name and department", kMatchNameDept,
         {{"1001", "1001", "张三", "食堂", "<null>"},
          {"1002", "old", "旧名", "旧部门", "<null>"},
          {"a7", "<null>", "<null>", "<null>", "<null>"},  // same name, other department
          {"<null>", "<null>", "<null>", "<null>", "<null>"}}},
    };
    for (const Case& c : cases) {
        Exec("delete from dlc_record_xf ");
        SaveConsumption(consumption);
        EXPECT_TRUE(store.Execute(c.statement)) << c.name << ": " << store.LastError();
        EXPECT_EQ(Consumptions(), c.expected) << c.name;
    }
}

TEST_F(JetStatementTest, StatementsFailOnMissingTablesAndFields)
{
    EXPECT_FALSE(store.Execute(""));
    EXPECT_FALSE(store.Execute("update dlc_record_xf,nobody set dlc_record_xf.cf='x' where dlc_record_xf.empno=nobody.empno"));
    EXPECT_FALSE(store.Execute("update dlc_record_xf,cf set dlc_record_xf.nofield='x' where dlc_record_xf.empno=cf.empno"));
    EXPECT_FALSE(store.LastError().empty());
}

TEST_F(StoreTest, ParametersAreNeverReadAsSql)
{
    const std::string tricky = "1' or '1'='1'; drop table hr_employee; --";
    ASSERT_TRUE(store.ExecuteWithParameters("insert into hr_employee(empno, empname) values (?, ?)", {tricky, "O'Neil"}))
        << store.LastError();
    ASSERT_TRUE(store.ExecuteWithParameters("insert into hr_employee(empno, empname) values (?, ?)", {"2", ""}));
    ASSERT_TRUE(store.OpenWithParameters("select * from hr_employee where empno=?", {tricky}));
    EXPECT_EQ(store.RecordCount(), 1);
    EXPECT_EQ(store.ReadFieldText("empname"), "O'Neil");
    ASSERT_TRUE(store.OpenWithParameters("select * from hr_employee where empno=?", {"1' or '1'='1"}));
    EXPECT_TRUE(store.AtEnd());
    // An empty parameter is the empty text, not NULL.
    EXPECT_EQ(Query("select quote(empname) from hr_employee where empno='2'"), (Rows{{"''"}}));
    // The parameter count must fit the statement.
    EXPECT_FALSE(store.ExecuteWithParameters("insert into hr_employee(empno) values (?)", {}));
    EXPECT_FALSE(store.OpenWithParameters("select * from hr_employee where empno=?", {"1", "2"}));
    // A second statement never rides along.
    EXPECT_FALSE(store.Execute("delete from cf; drop table hr_employee"));
    EXPECT_FALSE(store.Open("select * from cf; drop table hr_employee", OpenKind::SqlText));
    EXPECT_EQ(Query("select count(*) from hr_employee")[0][0], "2");
}

TEST_F(StoreTest, RollbackLeavesTheTableAsItWas)
{
    SaveConsumption({Consumption("1001", "张三", "食堂")});
    const Rows before = Query("select * from dlc_record_xf");

    ASSERT_TRUE(store.Begin());
    Exec("delete from dlc_record_xf ");
    SaveConsumption({Consumption("2001", "新", "新部门"), Consumption("2002", "新", "新部门")});
    ASSERT_TRUE(store.Rollback()) << store.LastError();
    EXPECT_EQ(Query("select * from dlc_record_xf"), before);
    EXPECT_FALSE(store.IsOpen());  // its appended records are gone

    ASSERT_TRUE(store.Begin());
    Exec("delete from dlc_record_xf ");
    SaveConsumption({Consumption("3001", "新", "新部门")});
    EXPECT_EQ(Query("select empno from dlc_record_xf"), (Rows{{"1001"}}));  // not visible outside yet
    ASSERT_TRUE(store.Commit()) << store.LastError();
    EXPECT_EQ(Query("select empno from dlc_record_xf"), (Rows{{"3001"}}));
    // The record set stays usable after the commit.
    EXPECT_EQ(store.ReadFieldText("empno"), "3001");
    ASSERT_TRUE(store.MoveFirst());
    EXPECT_EQ(store.ReadFieldText("empno"), "3001");

    EXPECT_FALSE(store.Commit());  // no transaction
    EXPECT_FALSE(store.LastError().empty());
}

}  // namespace
}  // namespace vornicle::test

namespace vornicle::test {
namespace {

// The save follows a refresh that left the record set open on the same table.
TEST_F(StoreTest, SaveInATransactionWhileTheTableIsStillOpenFromARead)
{
    SaveConsumption({Consumption("1", "a", "x"), Consumption("2", "b", "x")});
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    ASSERT_EQ(store.ReadFieldText("empno"), "1");  // mid-read
    ASSERT_TRUE(store.Begin()) << store.LastError();
    Exec("delete from dlc_record_xf ");
    SaveConsumption({Consumption("3", "c", "y")});
    ASSERT_TRUE(store.Commit()) << store.LastError();
    EXPECT_EQ(Query("select empno from dlc_record_xf"), (Rows{{"3"}}));
    ASSERT_EQ(store.Connect(path), 1);
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    EXPECT_EQ(store.RecordCount(), 1);
}

}  // namespace
}  // namespace vornicle::test
