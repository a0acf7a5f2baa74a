// Connection and record-set operations: results, positions and failures.
#include "store_test_support.h"

#include <QFile>
#include <QFileInfo>

namespace vornicle::test {
namespace {

TEST(StoreConnect, RefusesMissingEmptyAndForeignFilesWithoutCreatingAnything)
{
    const std::string dir = makeTempDir().toStdString();
    const std::string missing = dir + "/CBC.db";
    const std::string empty = dir + "/empty.db";
    const std::string text = dir + "/notes.txt";
    {
        QFile f(QString::fromStdString(empty));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        QFile f(QString::fromStdString(text));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("this is not a database file, only some text that is long enough to fill a header\n")
                    .repeated(20));
    }
    const std::string textBefore = readFileBytes(QString::fromStdString(text));

    RecordStore store;
    for (const std::string& p : {missing, empty, text, dir}) {
        EXPECT_EQ(store.Connect(p), 0) << p;
        EXPECT_FALSE(store.IsConnected());
        EXPECT_FALSE(store.LastError().empty());
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(missing)));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(missing + "-journal")));
    EXPECT_EQ(QFileInfo(QString::fromStdString(empty)).size(), 0);
    EXPECT_EQ(readFileBytes(QString::fromStdString(text)), textBefore);

    // Without a connection: statements fail, the record set reads as closed.
    EXPECT_FALSE(store.Execute("delete from cf"));
    EXPECT_TRUE(store.BindConnection());
    EXPECT_FALSE(store.Open("hr_employee", OpenKind::TableName));
    EXPECT_FALSE(store.Open("select * from hr_employee", OpenKind::SqlText));
    EXPECT_EQ(store.RecordCount(), -1);
    EXPECT_TRUE(store.AtEnd());
    EXPECT_FALSE(store.Begin());
}

TEST_F(StoreTest, ConnectRefusesAPassword)
{
    EXPECT_EQ(store.Connect(path, "secret"), 0);
    EXPECT_FALSE(store.IsConnected());
}

TEST_F(StoreTest, ReconnectKeepsTheBindingAndClosesTheRecordSet)
{
    SaveConsumption({Consumption("1001", "张三", "食堂")});
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    ASSERT_EQ(store.Connect(path), 1);
    EXPECT_FALSE(store.IsOpen());
    EXPECT_TRUE(store.IsBound());
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    EXPECT_EQ(store.RecordCount(), 1);
    EXPECT_EQ(store.ReadFieldText("empno"), "1001");
}

TEST(StoreOpen, FailsWhileUnbound)
{
    const std::string path = makeTempDir().toStdString() + "/CBC.db";
    ASSERT_TRUE(CreateDatabaseIfMissing(path));
    RecordStore store;
    ASSERT_EQ(store.Connect(path), 1);
    EXPECT_FALSE(store.Open("hr_employee", OpenKind::TableName));
    EXPECT_FALSE(store.Open("select * from hr_employee", OpenKind::SqlText));
    EXPECT_FALSE(store.IsOpen());
    EXPECT_TRUE(store.Execute("delete from cf"));  // statements need no binding
    EXPECT_TRUE(store.BindConnection());
    EXPECT_TRUE(store.Open("hr_employee", OpenKind::TableName));
}

TEST_F(StoreTest, ClosedRecordSetGivesFailureResults)
{
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(store.RecordCount(), -1);
    EXPECT_TRUE(store.AtEnd());
    EXPECT_FALSE(store.MoveFirst());
    EXPECT_FALSE(store.MoveNext());
    EXPECT_FALSE(store.MoveLast());
    EXPECT_FALSE(store.AddNew());
    EXPECT_FALSE(store.WriteField(1, "x"));
    EXPECT_FALSE(store.Update());
    std::string out = "old";
    EXPECT_FALSE(store.ReadField("empno", out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(store.ReadFieldText("empno"), "");
    store.Close();  // harmless when closed
    EXPECT_FALSE(store.Open("no_such_table", OpenKind::TableName));
    EXPECT_FALSE(store.Open("select * from no_such_table", OpenKind::SqlText));
    EXPECT_FALSE(store.Open("", OpenKind::SqlText));
    EXPECT_FALSE(store.LastError().empty());
}

TEST_F(StoreTest, AtEndIsFalseOnEveryRecordAndNeverMoves)
{
    SaveConsumption({Consumption("1", "a", "x"), Consumption("2", "b", "x"), Consumption("3", "c", "x")});
    ASSERT_TRUE(store.Open("select * from dlc_record_xf order by id", OpenKind::SqlText));
    ASSERT_TRUE(store.MoveFirst());
    std::vector<std::string> seen;
    while (!store.AtEnd()) {
        EXPECT_FALSE(store.AtEnd());  // asking twice changes nothing
        seen.push_back(store.ReadFieldText("empno"));
        ASSERT_TRUE(store.MoveNext());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_FALSE(store.MoveNext());  // at the end: refused
    EXPECT_TRUE(store.AtEnd());
    std::string out;
    EXPECT_FALSE(store.ReadField("empno", out));

    // On the last record: not at the end, and the record stays current.
    ASSERT_TRUE(store.MoveLast());
    EXPECT_FALSE(store.AtEnd());
    EXPECT_EQ(store.ReadFieldText("empno"), "3");
    ASSERT_TRUE(store.MoveNext());
    EXPECT_TRUE(store.AtEnd());
    ASSERT_TRUE(store.MoveFirst());
    EXPECT_EQ(store.ReadFieldText("empno"), "1");
    EXPECT_EQ(store.RecordCount(), 3);
}

TEST_F(StoreTest, EmptyResultIsAtEndAtOnceAndRefusesMoves)
{
    SaveConsumption({Consumption("1", "a", "x")});
    for (const auto kind : {OpenKind::SqlText, OpenKind::TableName}) {
        const std::string source = kind == OpenKind::SqlText ? "select * from dlc_record_xf where empno='none'" : "cf";
        ASSERT_TRUE(store.Open(source, kind)) << store.LastError();
        EXPECT_TRUE(store.IsOpen());
        EXPECT_TRUE(store.AtEnd());
        EXPECT_EQ(store.RecordCount(), 0);
        EXPECT_FALSE(store.MoveFirst());
        EXPECT_FALSE(store.MoveLast());
        EXPECT_FALSE(store.MoveNext());
        EXPECT_TRUE(store.AtEnd());
    }
}

TEST_F(StoreTest, TableReadAsTheRefreshDoes)
{
    SaveConsumption({Consumption("1001", "张三", "食堂"), Consumption("1002", "李四", "财务部")});
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    const int64_t n = store.RecordCount();
    ASSERT_EQ(n, 2);
    std::vector<std::string> names;
    for (int64_t i = 0; i < n; ++i) {
        names.push_back(store.ReadFieldText("empname") + "/" + store.ReadFieldText("DeptName"));
        store.MoveNext();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"张三/食堂", "李四/财务部"}));
    EXPECT_TRUE(store.IsOpen());  // left open
}

TEST_F(StoreTest, FieldNamesAreCaseInsensitiveAndUnknownOnesFail)
{
    SaveConsumption({Consumption("1001", "张三", "食堂")});
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    std::string out = "old";
    EXPECT_TRUE(store.ReadField("EMPNO", out));
    EXPECT_EQ(out, "1001");
    EXPECT_FALSE(store.ReadField("no_such_field", out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(store.ReadFieldText("no_such_field"), "");
    EXPECT_EQ(store.ReadFieldText("empname"), "张三");  // an unknown field stops nothing

    // The column fast path agrees with reads by name.
    EXPECT_EQ(store.FieldCount(), 12);
    EXPECT_EQ(store.FieldIndex("id"), 0);
    EXPECT_EQ(store.FieldIndex("Cf"), 11);
    EXPECT_EQ(store.FieldIndex("nope"), -1);
    EXPECT_EQ(store.ReadFieldView(store.FieldIndex("deptname")), "食堂");
    std::string_view view = "old";
    EXPECT_FALSE(store.ReadFieldAt(12, view));
    EXPECT_EQ(view, "");
    EXPECT_TRUE(store.ReadFieldAt(8, view));  // empno1: NULL reads as empty text
    EXPECT_EQ(view, "");
}

TEST_F(StoreTest, AddNewSavesThePendingRecordAndOneUpdateTheLast)
{
    ASSERT_TRUE(store.Open("hr_employee", OpenKind::TableName));
    EXPECT_FALSE(store.MoveLast());  // empty table: refused, nothing changes
    EXPECT_FALSE(store.WriteField(1, "x"));  // no record being added
    for (const char* number : {"1", "2", "3"}) {
        ASSERT_TRUE(store.AddNew());
        EXPECT_FALSE(store.AtEnd());
        ASSERT_TRUE(store.WriteField(1, number));
        ASSERT_TRUE(store.WriteField(2, std::string("name") + number));
        EXPECT_EQ(store.ReadFieldText("empno"), number);  // the new record is current
    }
    EXPECT_EQ(Query("select count(*) from hr_employee")[0][0], "2");  // the third is still pending
    EXPECT_EQ(store.RecordCount(), 3);
    ASSERT_TRUE(store.Update());
    EXPECT_TRUE(store.Update());  // nothing pending: nothing to do
    EXPECT_EQ(Query("select id, empno, empname, deptname, cardtype from hr_employee order by id"),
              (Rows{{"1", "1", "name1", "<null>", "<null>"},
                    {"2", "2", "name2", "<null>", "<null>"},
                    {"3", "3", "name3", "<null>", "<null>"}}));
    // The saved records stay part of the record set and can be read back.
    EXPECT_EQ(store.ReadFieldText("id"), "3");
    ASSERT_TRUE(store.MoveFirst());
    EXPECT_EQ(store.ReadFieldText("empname"), "name1");
    ASSERT_TRUE(store.MoveLast());
    EXPECT_EQ(store.ReadFieldText("empname"), "name3");

    // Appending to a table that has rows: MoveLast stands on its last record.
    ASSERT_TRUE(store.Open("hr_employee", OpenKind::TableName));
    ASSERT_TRUE(store.MoveLast());
    EXPECT_EQ(store.ReadFieldText("empno"), "3");
    ASSERT_TRUE(store.AddNew());
    ASSERT_TRUE(store.WriteField(4, "A"));
    ASSERT_TRUE(store.Update());
    EXPECT_EQ(store.RecordCount(), 4);
    EXPECT_EQ(Query("select id, cardtype from hr_employee where id=4"), (Rows{{"4", "A"}}));
}

TEST_F(StoreTest, WriteFieldRefusesOrdinalsOutsideTheTable)
{
    ASSERT_TRUE(store.Open("hr_employee", OpenKind::TableName));
    ASSERT_TRUE(store.AddNew());
    EXPECT_TRUE(store.WriteField(4, "last field"));
    EXPECT_FALSE(store.WriteField(5, "past the end"));
    EXPECT_FALSE(store.WriteField(-1, "before the start"));
    ASSERT_TRUE(store.Update());
    EXPECT_EQ(Query("select cardtype from hr_employee"), (Rows{{"last field"}}));
}

TEST_F(StoreTest, RecordsCanBeAddedOnlyToATable)
{
    ASSERT_TRUE(store.Open("select * from hr_employee", OpenKind::SqlText));
    EXPECT_FALSE(store.AddNew());
}

TEST_F(StoreTest, FailedSaveDiscardsThePendingRecord)
{
    SaveConsumption({Consumption("1", "a", "x")});
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    ASSERT_TRUE(store.MoveLast());
    // A text id cannot be stored into the integer key.
    ASSERT_TRUE(store.AddNew());
    ASSERT_TRUE(store.WriteField(0, "not a number"));
    ASSERT_TRUE(store.WriteField(3, "bad"));
    EXPECT_FALSE(store.Update());
    EXPECT_FALSE(store.LastError().empty());
    EXPECT_TRUE(store.Update());  // discarded: nothing pending any more
    EXPECT_EQ(store.RecordCount(), 1);
    EXPECT_EQ(store.ReadFieldText("empno"), "1");  // back on the record current before

    // The same through AddNew saving it: refused, and the next record is not lost.
    ASSERT_TRUE(store.AddNew());
    ASSERT_TRUE(store.WriteField(0, "not a number"));
    EXPECT_FALSE(store.AddNew());
    ASSERT_TRUE(store.AddNew());
    ASSERT_TRUE(store.WriteField(3, "good"));
    ASSERT_TRUE(store.Update());
    EXPECT_EQ(Query("select empno from dlc_record_xf order by id"), (Rows{{"1"}, {"good"}}));
}

TEST_F(StoreTest, EmptyTextIsStoredAsNull)
{
    SaveConsumption({Consumption("1001", "张三", "食堂", "", "", ""), Consumption("1002", "李四", "食堂", "1002")});
    EXPECT_EQ(Query("select empno, empno1, cf from dlc_record_xf order by id"),
              (Rows{{"1001", "<null>", "<null>"}, {"1002", "1002", "<null>"}}));
    struct Case {
        const char* sql;
        std::vector<std::string> numbers;
    } cases[] = {
        {"select * from dlc_record_xf where empno1 IS Null", {"1001"}},
        {"select * from dlc_record_xf where empno1<>''", {"1002"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(store.Open(c.sql, OpenKind::SqlText));
        std::vector<std::string> numbers;
        store.MoveFirst();
        while (!store.AtEnd()) {
            numbers.push_back(store.ReadFieldText("empno"));
            store.MoveNext();
        }
        store.Close();
        EXPECT_EQ(numbers, c.numbers) << c.sql;
    }
}

TEST_F(StoreTest, OpenOnAQueryWhileATableIsOpenClosesTheTableFirst)
{
    SaveConsumption({Consumption("1001", "张三", "食堂"), Consumption("1002", "李四", "食堂")});
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    ASSERT_EQ(store.RecordCount(), 2);
    ASSERT_TRUE(store.Open("select * from dlc_record_xf where empno='1002'", OpenKind::SqlText));
    EXPECT_EQ(store.RecordCount(), 1);
    EXPECT_EQ(store.ReadFieldText("empname"), "李四");
    EXPECT_FALSE(store.AddNew());  // the table's append mode went with it
}

TEST_F(StoreTest, StatementWithoutRowsRunsThroughOpenAndLeavesItClosed)
{
    Exec("insert into cf(empno, empname) values ('1', 'a')");
    ASSERT_TRUE(store.Open("hr_employee", OpenKind::TableName));
    EXPECT_TRUE(store.Open("delete from cf", OpenKind::SqlText));
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(store.RecordCount(), -1);
    EXPECT_EQ(Query("select count(*) from cf")[0][0], "0");
    EXPECT_FALSE(store.Open("delete from no_such_table", OpenKind::SqlText));
}

TEST_F(StoreTest, RecordCountIsTheCountAtOpen)
{
    SaveConsumption({Consumption("1", "a", "x"), Consumption("2", "b", "x")});
    ASSERT_TRUE(store.Open("select * from dlc_record_xf", OpenKind::SqlText));
    Exec("insert into dlc_record_xf(empno) values ('3')");
    EXPECT_EQ(store.RecordCount(), 2);
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    Exec("delete from dlc_record_xf where empno='1'");
    EXPECT_EQ(store.RecordCount(), 3);
    ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName));
    EXPECT_EQ(store.RecordCount(), 2);
}

TEST_F(StoreTest, TableNameMayBeBracketed)
{
    EXPECT_TRUE(store.Open("[hr_employee]", OpenKind::TableName));
    EXPECT_TRUE(store.Open(" \"cf\" ", OpenKind::TableName));
    EXPECT_FALSE(store.Open("cf; drop table cf", OpenKind::TableName));
    EXPECT_EQ(Query("select count(*) from sqlite_master where name='cf'")[0][0], "1");
}

}  // namespace
}  // namespace vornicle::test
