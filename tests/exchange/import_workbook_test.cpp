// The import flow on real small workbooks, without the window: rows into the
// list, one log line per row, the header dropped, the save question, and the
// clear end of an unreadable file.
#include "exchange/workbook_import.h"
#include "page_fixture.h"

#include <QCoreApplication>
#include <QSignalSpy>

using namespace vornicle;
using namespace vornicle::test;

namespace {

QString fixture(const char* name)
{
    return QStringLiteral(VORNICLE_TEST_DATA "/") + QString::fromUtf8(name);
}

class ImportTest : public PageTest {
protected:
    bool importConsumption(const char* file)
    {
        WorkbookImport import(ws, ImportTarget::Consumption, [this] { return SaveConsumptionList(ws); });
        return import.runSynchronously(fixture(file));
    }
    std::vector<std::string> storedNumbers()
    {
        RefreshConsumptionList(ws);
        std::vector<std::string> out;
        for (int64_t r = 0; r < consumption.rowCount(); ++r)
            out.emplace_back(consumption.cell(r, 2));
        return out;
    }
};

TEST_F(ImportTest, ConsumptionRowsTabsLogAndSaveOnYes)
{
    ui.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(importConsumption("import_month.xlsx"));
    EXPECT_EQ(rows(consumption),
              (std::vector<std::vector<std::string>>{
                  {"2020/3/13", "9:05:07", "1001", "张三", "食堂", "12.5", "早\t餐", "", "", "", ""},
                  {"2020/3/14", "12:00:00", "1002", "李四", "后勤", "8", "午餐", "", "", "", ""},
                  {"2020/3/15", "18:30:00", "001003", "王五", "", "10", "晚餐", "", "", "", ""}}));
    const QStringList lines = logged();
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines.mid(0, 6), QStringList({"编号|姓名|部门", "1001|张三|食堂", "1002|李四|后勤", "001003|王五|",
                                            "共导入3条数据", "消费记录已全部删除"}));
    EXPECT_TRUE(lines.contains("数据保存完毕"));
    EXPECT_EQ(ui.messages, QStringList({"数据导入完成，是否保存？"}));
    EXPECT_EQ(storedNumbers(), (std::vector<std::string>{"1001", "1002", "001003"}));
}

TEST_F(ImportTest, NoKeepsTheRowsUnsaved)
{
    ui.answers = {MessageAnswer::No};
    WorkbookImport import(ws, ImportTarget::Consumption, [this] { return SaveConsumptionList(ws); });
    EXPECT_FALSE(import.runSynchronously(fixture("import_month.xlsx")));
    EXPECT_TRUE(import.succeeded());
    EXPECT_EQ(consumption.rowCount(), 3);
    EXPECT_TRUE(storedNumbers().empty());
}

TEST_F(ImportTest, HeaderOnlyAndEmptySheetsImportNothing)
{
    for (const char* file : {"read_header_only.xlsx", "read_empty.xlsx"}) {
        ui.answers = {MessageAnswer::No};
        importConsumption(file);
        EXPECT_EQ(consumption.rowCount(), 0) << file;
        EXPECT_EQ(logged().last(), "共导入0条数据") << file;
    }
}

TEST_F(ImportTest, AnUnreadableFileEndsInAClearErrorAndNothingStoredChanges)
{
    ui.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(importConsumption("import_month.xlsx"));
    for (const char* file : {"read_random.xlsx", "read_truncated.xlsx", "read_encrypted.xlsx", "no_such_file.xlsx"}) {
        ui.messages.clear();
        ui.answers = {MessageAnswer::Yes};
        EXPECT_FALSE(importConsumption(file)) << file;
        ASSERT_EQ(ui.messages.size(), 1) << file;
        EXPECT_TRUE(ui.messages[0].contains(QString::fromUtf8(file))) << ui.messages[0].toStdString();
        EXPECT_TRUE(ui.messages[0].startsWith("无法读取文件")) << ui.messages[0].toStdString();
        EXPECT_TRUE(logged().last().startsWith("无法读取文件")) << file;
        EXPECT_EQ(consumption.rowCount(), 0) << file;
        EXPECT_EQ(storedNumbers(), (std::vector<std::string>{"1001", "1002", "001003"})) << file;
    }
}

TEST_F(ImportTest, RegisterKeepsFourColumnsAndLogsTwo)
{
    WorkbookImport import(ws, ImportTarget::Personnel);
    ASSERT_TRUE(import.runSynchronously(fixture("import_register.xlsx")));
    EXPECT_EQ(rows(personnel), (std::vector<std::vector<std::string>>{{"10\t01", "张\t三", "食堂", "A"},
                                                                      {"1002", "李四", "后勤", "B"}}));
    EXPECT_EQ(logged().mid(0, 4), QStringList({"部门|卡类别", "食堂|A", "后勤|B", "共导入2条数据"}));
    EXPECT_EQ(ui.messages, QStringList({"数据加载完成"}));
    // Only column C (部门 here) loses its tabs. The rows reach the table only
    // through the page's save.
    SavePersonnelList(ws);
    EXPECT_EQ(personnel.rowCount(), 2);
}

TEST_F(ImportTest, WorkerThreadImportAndCancel)
{
    // The window's way: a dialog, a worker thread, rows handed over in batches.
    ui.files = {FileDialogAnswer{fixture("import_month.xlsx"), 0}};
    ui.answers = {MessageAnswer::No};
    WorkbookImport import(ws, ImportTarget::Consumption, [this] { return SaveConsumptionList(ws); });
    QSignalSpy finished(&import, &WorkbookImport::importFinished);
    import.start();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(import.succeeded());
    EXPECT_EQ(consumption.rowCount(), 3);
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, "excel文件(*.xlsx)|*.xlsx|excel文件(*.xls)|*.xls");
    EXPECT_FALSE(ui.fileRequests[0].save);

    // Cancelled at once: nothing further added, no question, a log line.
    ui.messages.clear();
    ui.files = {FileDialogAnswer{fixture("import_month.xlsx"), 0}};
    import.start();
    import.cancel();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(import.succeeded());
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(logged().last().startsWith("导入已取消")) << logged().last().toStdString();

    // A cancelled dialog empties the list and does nothing else.
    consumption.appendRow(std::vector<std::string>{"x"});
    const qsizetype lines = logged().size();
    import.start();
    ASSERT_EQ(finished.size(), 3);
    EXPECT_EQ(consumption.rowCount(), 0);
    EXPECT_EQ(logged().size(), lines);
}

}  // namespace
