// "导出EXCEL" in the window with a scripted save dialog: the file written,
// the log lines, the message, the progress bar back at 0, cancel and failures.
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "shell/main_window.h"
#include "shell/shell_state.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace vornicle;

namespace {

// A window without a database, its consumption list holding three rows.
struct ExportWindow : test::TestWindow {
    ExportWindow() : TestWindow(false, false)
    {
        ReportList& list = window->state().consumptionList;
        list.appendRow(std::vector<std::string>{"2020/3/13", "9:05:07", "001001", "张三", "", "12.5", "早餐", "", "", "", "重复"});
        list.appendRow(std::vector<std::string>{"2020/3/14", "12:00:00", "1002", "李四", "后勤", "8", "午餐"});
        list.appendRow(std::vector<std::string>{"2020/3/15", "18:30:00", "1003", "王五", "后勤", "10", "晚餐"});
    }
    void press() { click("按钮_导出消费EXCEL"); }
};

TEST(ExportWindowFlow, ATypedNameGetsTheChosenTypeAndTheFileIsWritten)
{
    ExportWindow w;
    w.file = FileDialogAnswer{QDir(w.dir).filePath("month"), 0};   // 文本文档(*.txt)
    w.press();
    ASSERT_EQ(w.requests.size(), 1u);
    EXPECT_TRUE(w.requests[0].save);
    EXPECT_TRUE(QRegularExpression("^Template[1-9][0-9]{5}$").match(w.requests[0].fileName).hasMatch())
        << w.requests[0].fileName.toStdString();
    EXPECT_EQ(w.requests[0].filter,
              "文本文档(*.txt)|*.txt|逗号分隔符(*.CSV)|*.csv|Excel 97-2003 工作簿(*.xls)|*.xls|Excel 工作簿(*.xlsx)|*.xlsx|"
              "所有文件(*.*)|*.*");
    EXPECT_EQ(test::readFileBytes(QDir(w.dir).filePath("month.txt")),
              "2020/3/13|9:05:07|001001|张三||12.5|早餐||||\r\n"
              "2020/3/14|12:00:00|1002|李四|后勤|8|午餐||||\r\n"
              "2020/3/15|18:30:00|1003|王五|后勤|10|晚餐||||\r\n");
    EXPECT_EQ(w.messages, QStringList({"导出完毕！"}));
    const QStringList lines = w.logged();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "开始导出");
    EXPECT_TRUE(QRegularExpression("^导出耗时：[0-9]+ms，[0-9.]+s$").match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_EQ(w.window->findChild<QProgressBar*>(QStringLiteral("进度条1"))->value(), 0);
}

TEST(ExportWindowFlow, UpperCaseExtensionWritesAWorkbook)
{
    ExportWindow w;
    w.file = FileDialogAnswer{QDir(w.dir).filePath("report.XLSX"), 0};
    w.press();
    EXPECT_EQ(w.messages, QStringList({"导出完毕！"}));
    EXPECT_TRUE(test::readFileBytes(QDir(w.dir).filePath("report.XLSX")).starts_with("PK"));
}

TEST(ExportWindowFlow, CancelDoesNothing)
{
    ExportWindow w;
    w.press();
    EXPECT_TRUE(w.messages.isEmpty());
    EXPECT_TRUE(w.logged().isEmpty());
    EXPECT_EQ(QDir(w.dir).entryList(QDir::Files).filter("Template").size(), 0);
}

TEST(ExportWindowFlow, AFailureIsReportedNotCalledDone)
{
    struct Case {
        const char* name;
        int filter;
    } cases[] = {
        {"missing/month.csv", 1},   // a folder that does not exist
        {"month.doc", 4},           // 所有文件: an extension nothing writes
    };
    for (const Case& c : cases) {
        ExportWindow w;
        w.file = FileDialogAnswer{QDir(w.dir).filePath(c.name), c.filter};
        w.press();
        ASSERT_EQ(w.messages.size(), 1) << c.name;
        EXPECT_TRUE(w.messages[0].startsWith("导出失败")) << w.messages[0].toStdString();
        EXPECT_TRUE(w.logged().last().startsWith("导出失败")) << c.name;
        EXPECT_FALSE(w.logged().contains("导出完毕！"));
        EXPECT_FALSE(QFile::exists(QDir(w.dir).filePath(c.name))) << c.name;
        EXPECT_EQ(w.window->findChild<QProgressBar*>(QStringLiteral("进度条1"))->value(), 0);
    }
}

}  // namespace
