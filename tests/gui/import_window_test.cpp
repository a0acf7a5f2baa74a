// Both "打开" buttons in the window: the worker-thread import with its
// progress window, the buttons held while it runs, the save question, and
// Esc on the progress window cancelling.
#include "exchange/workbook_import.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "shell/main_window.h"
#include "shell/shell_state.h"
#include "store/record_store.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

using namespace vornicle;

namespace {

QString fixture(const char* name)
{
    return QStringLiteral(VORNICLE_TEST_DATA "/") + QString::fromUtf8(name);
}

// A workbook big enough to still be reading when the test presses Esc.
QString bigWorkbook(const QString& dir, int rows)
{
    const QString path = QDir(dir).filePath("big.xlsx");
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.toUtf8().constData(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 7; ++c)
            worksheet_write_number(ws, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), r * 10 + c, nullptr);
    EXPECT_EQ(workbook_close(wb), LXW_NO_ERROR);
    return path;
}

struct ImportWindow : test::TestWindow {
    ImportWindow() : TestWindow(true) {}
};

TEST(ImportWindowFlow, ConsumptionImportSavesOnYesAndHoldsTheButtonsMeanwhile)
{
    ImportWindow w;
    w.file = FileDialogAnswer{fixture("import_month.xlsx"), 0};
    QSignalSpy finished(w.window->consumptionImport(), &WorkbookImport::importFinished);
    QTest::mouseClick(w.button("按钮_消费打开excel"), Qt::LeftButton);
    if (finished.isEmpty()) {
        EXPECT_FALSE(w.button("按钮_消费保存")->isEnabled());
        EXPECT_FALSE(w.button("按钮_人事资料导入EXCEL")->isEnabled());
        ASSERT_TRUE(finished.wait(10000));
    }
    EXPECT_TRUE(w.button("按钮_消费保存")->isEnabled());
    EXPECT_EQ(w.window->findChild<QLineEdit*>(QStringLiteral("编辑框1"))->text(), QDir::toNativeSeparators(w.file->path));
    EXPECT_EQ(w.messages, QStringList({"数据导入完成，是否保存？"}));
    EXPECT_EQ(w.window->state().consumptionList.rowCount(), 3);
    EXPECT_EQ(w.window->importProgressWindow(), nullptr);
    EXPECT_EQ(w.window->windowTitle(), "Vornicle连接成功");
    ASSERT_TRUE(w.window->state().store.Open("dlc_record_xf", OpenKind::TableName));
    EXPECT_EQ(w.window->state().store.RecordCount(), 3);
}

TEST(ImportWindowFlow, PersonnelImportShowsLoadedAndNeedsSave)
{
    ImportWindow w;
    w.file = FileDialogAnswer{fixture("import_register.xlsx"), 0};
    QSignalSpy finished(w.window->personnelImport(), &WorkbookImport::importFinished);
    QTest::mouseClick(w.button("按钮_人事资料导入EXCEL"), Qt::LeftButton);
    ASSERT_TRUE(finished.size() > 0 || finished.wait(10000));
    EXPECT_EQ(w.messages, QStringList({"数据加载完成"}));
    EXPECT_EQ(w.window->state().personnelList.rowCount(), 2);
    ASSERT_TRUE(w.window->state().store.Open("hr_employee", OpenKind::TableName));
    EXPECT_EQ(w.window->state().store.RecordCount(), 0);
}

TEST(ImportWindowFlow, EscOnTheProgressWindowCancels)
{
    ImportWindow w;
    w.file = FileDialogAnswer{bigWorkbook(w.dir, 300000), 0};
    QSignalSpy finished(w.window->consumptionImport(), &WorkbookImport::importFinished);
    QTest::mouseClick(w.button("按钮_消费打开excel"), Qt::LeftButton);
    ImportProgressWindow* progress = w.window->importProgressWindow();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(finished.isEmpty());
    QTest::keyClick(progress, Qt::Key_Escape);
    EXPECT_FALSE(progress->isVisible());
    ASSERT_TRUE(finished.size() > 0 || finished.wait(20000));
    EXPECT_TRUE(w.messages.isEmpty()) << w.messages.join(";").toStdString();   // no save question
    EXPECT_TRUE(w.lastLog().startsWith("导入已取消")) << w.lastLog().toStdString();
    EXPECT_LT(w.window->state().consumptionList.rowCount(), 300000);
    EXPECT_TRUE(w.button("按钮_消费打开excel")->isEnabled());
}

TEST(ImportWindowFlow, AnUnreadableFileAsksNothingAndSavesNothing)
{
    ImportWindow w;
    w.file = FileDialogAnswer{fixture("read_random.xlsx"), 0};
    QSignalSpy finished(w.window->consumptionImport(), &WorkbookImport::importFinished);
    QTest::mouseClick(w.button("按钮_消费打开excel"), Qt::LeftButton);
    ASSERT_TRUE(finished.size() > 0 || finished.wait(10000));
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_TRUE(w.messages[0].startsWith("无法读取文件")) << w.messages[0].toStdString();
    EXPECT_EQ(w.window->state().consumptionList.rowCount(), 0);
}

}  // namespace
