// The database schema, its creation, and the text of stored values.
#include "store_test_support.h"

#include <QFile>
#include <QFileInfo>

namespace vornicle::test {
namespace {

std::vector<std::string> Fields(const std::string& path, const std::string& table)
{
    std::vector<std::string> names;
    for (const auto& row : QueryRows(path, "select name from pragma_table_info('" + table + "') order by cid"))
        names.push_back(row[0]);
    return names;
}

TEST_F(StoreTest, SchemaHoldsTheTablesInTheirFieldOrder)
{
    EXPECT_EQ(Fields(path, "dlc_record_xf"),
              (std::vector<std::string>{"id", "skdate", "sktime", "empno", "empname", "deptname", "empje01", "card",
                                        "empno1", "empname2", "deptname2", "cf"}));
    EXPECT_EQ(Fields(path, "hr_employee"), (std::vector<std::string>{"id", "empno", "empname", "deptname", "cardtype"}));
    EXPECT_EQ(Fields(path, "cf"), (std::vector<std::string>{"empno", "empname"}));
    // Keys compare without regard to case, as Access compares text.
    Exec("insert into hr_employee(empno, empname, deptname) values ('AB1', 'Li', 'Shop')");
    EXPECT_EQ(Query("select count(*) from hr_employee where empno='ab1' and empname='LI' and deptname='shop'")[0][0],
              "1");
}

TEST_F(StoreTest, StatementsUseTheIndexes)
{
    struct Case {
        std::string statement;
        std::string index;
    } cases[] = {
        {RewriteJetStatement("update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,"
                             "dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname "
                             "where dlc_record_xf.empno=hr_employee.empno "),
         "hr_employee_empno (empno=?)"},
        {RewriteJetStatement("update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,"
                             "dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname "
                             "where dlc_record_xf.empname=hr_employee.empname "),
         "hr_employee_empname_deptname (empname=?)"},
        {RewriteJetStatement("update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,"
                             "dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname "
                             "where dlc_record_xf.empname=hr_employee.empname and "
                             "dlc_record_xf.deptname=hr_employee.deptname"),
         "hr_employee_empname_deptname (empname=? AND deptname=?)"},
        {"select * from hr_employee where empno='1001'", "hr_employee_empno (empno=?)"},
    };
    const auto plan = [this](const std::string& statement) {
        std::string text;
        for (const auto& row : Query("EXPLAIN QUERY PLAN " + statement))
            text += row[3] + "\n";
        return text;
    };
    for (const Case& c : cases) {
        const std::string text = plan(c.statement);
        EXPECT_NE(text.find("INDEX " + c.index), std::string::npos) << c.statement << "\n" << text;
    }
    // The duplicate flag collects cf's numbers once, not once per row.
    const std::string flag =
        plan(RewriteJetStatement("update dlc_record_xf,cf set dlc_record_xf.cf='重复' where dlc_record_xf.empno=cf.empno "));
    EXPECT_NE(flag.find("LIST SUBQUERY"), std::string::npos) << flag;
    EXPECT_EQ(flag.find("CORRELATED"), std::string::npos) << flag;
}

TEST(StoreSchema, CreationNeverTouchesAnExistingFile)
{
    const std::string dir = makeTempDir().toStdString();
    const std::string path = dir + "/CBC.db";
    std::string error;
    ASSERT_TRUE(CreateDatabaseIfMissing(path, &error)) << error;
    EXPECT_EQ(QueryRows(path, "select count(*) from sqlite_master where type='index'")[0][0], "2");

    // An existing database with the schema: true, the bytes unchanged.
    const std::string bytes = readFileBytes(QString::fromStdString(path));
    EXPECT_TRUE(CreateDatabaseIfMissing(path, &error)) << error;
    EXPECT_EQ(readFileBytes(QString::fromStdString(path)), bytes);

    // Anything else at the path: false with a reason, the file unchanged.
    const std::string other = dir + "/other.db";
    {
        QFile f(QString::fromStdString(other));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database at all, just text\n");
    }
    error.clear();
    EXPECT_FALSE(CreateDatabaseIfMissing(other, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFileBytes(QString::fromStdString(other)), "not a database at all, just text\n");

    // A database without the tables is not taken for ours either.
    {
        RecordStore store;
        ASSERT_EQ(store.Connect(path), 1);
        ASSERT_TRUE(store.Execute("drop table cf"));
    }
    EXPECT_FALSE(CreateDatabaseIfMissing(path, &error));

    // A directory that does not exist: false, nothing created.
    EXPECT_FALSE(CreateDatabaseIfMissing(dir + "/missing/CBC.db", &error));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir + "/missing")));
    EXPECT_EQ(std::string(kDatabaseSchema).find("CREATE TABLE dlc_record_xf"), 0u);
}

// Values of every kind, read back as text.
TEST_F(StoreTest, ValuesReadAsTextByTheirDeclaredKind)
{
    Exec("create table kinds (v_text TEXT, v_int INTEGER, v_bool BOOLEAN, v_bit BIT, v_yesno YESNO, v_date DATE, "
         "v_datetime DATETIME, v_stamp TIMESTAMP, v_real REAL, v_double DOUBLE, v_single SINGLE, v_float4 FLOAT4, "
         "v_numeric NUMERIC, v_decimal DECIMAL(10,2), v_blob BLOB, v_any)");
    struct Case {
        const char* field;
        const char* literal;
        const char* text;
    } cases[] = {
        {"v_text", "'张三'", "张三"},
        {"v_text", "NULL", ""},
        {"v_text", "''", ""},
        {"v_int", "-5", "-5"},
        {"v_int", "2147483648", "-2147483648"},  // low 32 bits, read as signed
        {"v_int", "4294967297", "1"},
        {"v_int", "'12a'", "12a"},  // text stays text
        {"v_bool", "1", "TRUE"},
        {"v_bool", "0", "FALSE"},
        {"v_bit", "-1", "TRUE"},
        {"v_yesno", "0", "FALSE"},
        {"v_bool", "NULL", ""},
        {"v_date", "43903", "2020-03-13 00:00:00"},
        {"v_date", "'2020-03-13'", "2020-03-13 00:00:00"},
        {"v_datetime", "43903.5", "2020-03-13 12:00:00"},
        {"v_datetime", "43903.37855324074", "2020-03-13 09:05:07"},
        {"v_datetime", "43903.99999999", "2020-03-14 00:00:00"},  // to the nearest second
        {"v_datetime", "'2020-03-13 09:05:07'", "2020-03-13 09:05:07"},
        {"v_datetime", "'2020-03-13T09:05'", "2020-03-13 09:05:00"},
        {"v_datetime", "'2020-03-13 09:05:07.250'", "2020-03-13 09:05:07"},
        {"v_stamp", "0", "1899-12-30 00:00:00"},
        {"v_stamp", "-1.25", "1899-12-29 06:00:00"},
        {"v_date", "'2020-02-30'", "2020-02-30"},  // not a date: as stored
        {"v_date", "'13.3.2020'", "13.3.2020"},
        {"v_date", "1e12", "1000000000000.00000000"},  // beyond 9999-12-31
        {"v_real", "12.5", "12.50000000"},
        {"v_real", "7", "7.00000000"},
        {"v_double", "1.0/3", "0.33333333"},
        {"v_single", "12.5", "12.5000"},
        {"v_float4", "0.1", "0.1000"},
        {"v_numeric", "12", "12.00000000"},
        {"v_decimal", "3.25", "3.25000000"},
        {"v_blob", "x'0102'", "[BLOB]"},
        {"v_any", "x''", "[BLOB]"},
        {"v_any", "7", "7"},
        {"v_any", "2.5", "2.50000000"},
    };
    for (const Case& c : cases) {
        Exec("delete from kinds");
        Exec(std::string("insert into kinds (") + c.field + ") values (" + c.literal + ")");
        ASSERT_TRUE(store.Open("kinds", OpenKind::TableName));
        std::string out = "old";
        EXPECT_TRUE(store.ReadField(c.field, out)) << c.field << " " << c.literal;
        EXPECT_EQ(out, c.text) << c.field << " " << c.literal;
    }
    // The kind comes from the declared type also through a query.
    ASSERT_TRUE(store.Open("select v_bool from kinds", OpenKind::SqlText));
    Exec("update kinds set v_bool=1");
    ASSERT_TRUE(store.Open("select v_bool, v_bool + 0 as plain from kinds", OpenKind::SqlText));
    EXPECT_EQ(store.ReadFieldText("v_bool"), "TRUE");
    EXPECT_EQ(store.ReadFieldText("plain"), "1");

    // A date written through the record set reads back the same way.
    ASSERT_TRUE(store.Open("kinds", OpenKind::TableName));
    ASSERT_TRUE(store.AddNew());
    ASSERT_TRUE(store.WriteField(5, "2020-03-13"));
    EXPECT_EQ(store.ReadFieldText("v_date"), "2020-03-13 00:00:00");
    ASSERT_TRUE(store.Update());
    EXPECT_EQ(store.ReadFieldText("v_date"), "2020-03-13 00:00:00");
}

}  // namespace
}  // namespace vornicle::test
