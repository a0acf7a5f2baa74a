// The windows under Qt Test: controls as the forms give them, the created
// handler, and the wiring of both pages' buttons to their handlers.
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "shell/main_window.h"
#include "shell/match_dialog.h"
#include "shell/message_box.h"
#include "shell/shell_state.h"
#include "store/record_store.h"
#include "test_support.h"
#include "window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace vornicle;

namespace {

using Window = test::TestWindow;

TEST(MainWindowForm, ControlsCarryTheirNamesTextsAndPlaces)
{
    Window w(true);
    struct Case {
        const char* name;
        QRect geometry;
        QString text;
        int page;   // -1: on the window itself
    } cases[] = {
        {"选择夹1", {8, 1, 864, 408}, {}, -1},
        {"列表框1", {8, 418, 864, 56}, {}, -1},
        {"进度条1", {8, 474, 863, 20}, {}, -1},
        {"编辑框1", {2, 25, 216, 24}, {}, 0},
        {"按钮_消费打开excel", {224, 24, 48, 25}, "打开", 0},
        {"按钮_消费保存", {282, 24, 48, 24}, "保存", 0},
        {"按钮4", {345, 24, 64, 24}, "清空列表", 0},
        {"组合框1", {416, 27, 80, 20}, {}, 0},
        {"按钮_校验编号", {497, 24, 64, 24}, "校验核对", 0},
        {"按钮_重复", {586, 24, 66, 24}, "验证重复", 0},
        {"按钮_导出消费EXCEL", {792, 22, 64, 26}, "导出EXCEL", 0},
        {"超级列表框1", {2, 53, 854, 344}, {}, 0},
        {"编辑框2", {10, 25, 200, 20}, {}, 1},
        {"按钮_人事资料导入EXCEL", {224, 22, 64, 24}, "打开", 1},
        {"按钮_人事资料保存", {304, 22, 56, 24}, "保存", 1},
        {"按钮1", {377, 22, 64, 24}, "清空列表", 1},
        {"按钮_刷新人事", {452, 22, 80, 24}, "刷新数据", 1},
        {"编辑框3", {588, 22, 112, 24}, {}, 1},
        {"按钮_人事查询", {704, 22, 52, 24}, "查编号", 1},
        {"超级列表框2", {8, 48, 848, 352}, {}, 1},
    };
    auto* tabs = w.find<QTabWidget>("选择夹1");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "消费数据");
    EXPECT_EQ(tabs->tabText(1), "人事资料");
    EXPECT_EQ(tabs->currentIndex(), 0);
    for (const Case& c : cases) {
        auto* widget = w.find<QWidget>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        if (auto* b = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(b->text(), c.text) << c.name;
        }
        if (c.page >= 0) {
            EXPECT_EQ(widget->isVisible(), c.page == 0) << c.name;
        }
    }
    tabs->setCurrentIndex(1);
    for (const Case& c : cases) {
        if (c.page >= 0) {
            EXPECT_EQ(w.find<QWidget>(c.name)->isVisible(), c.page == 1) << c.name;
        }
    }

    EXPECT_FALSE(w.find<QLineEdit>("编辑框1")->isEnabled());
    EXPECT_FALSE(w.find<QLineEdit>("编辑框2")->isEnabled());
    EXPECT_TRUE(w.find<QLineEdit>("编辑框3")->isEnabled());
    auto* combo = w.find<QComboBox>("组合框1");
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(3), "编号重复");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), "");
    auto* progress = w.find<QProgressBar>("进度条1");
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 100);
    EXPECT_EQ(progress->value(), 0);

    auto* list1 = w.find<QTableView>("超级列表框1");
    auto* list2 = w.find<QTableView>("超级列表框2");
    EXPECT_TRUE(list1->showGrid());
    EXPECT_EQ(list1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list2->selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_EQ(list1->selectionMode(), QAbstractItemView::SingleSelection);
    const std::vector<std::pair<QString, int>> columns1 = {
        {"消费日期", 70}, {"时间", 50}, {"编号", 50}, {"姓名", 80}, {"部门", 200}, {"金额", 50},
        {"类别", 50},     {"编号2", 50}, {"姓名2", 70}, {"部门2", 150}, {"重复", 40}};
    ASSERT_EQ(list1->model()->columnCount(), 11);
    for (int c = 0; c < 11; ++c) {
        EXPECT_EQ(list1->model()->headerData(c, Qt::Horizontal).toString(), columns1[static_cast<size_t>(c)].first);
        EXPECT_EQ(list1->columnWidth(c), columns1[static_cast<size_t>(c)].second);
    }
    const std::vector<std::pair<QString, int>> columns2 = {{"编号", 100}, {"姓名", 50}, {"部门", 250}, {"卡类别", 50}};
    ASSERT_EQ(list2->model()->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list2->model()->headerData(c, Qt::Horizontal).toString(), columns2[static_cast<size_t>(c)].first);
        EXPECT_EQ(list2->columnWidth(c), columns2[static_cast<size_t>(c)].second);
    }
}

TEST(MainWindowStart, WithAndWithoutTheDatabase)
{
    Window with(true);
    EXPECT_EQ(with.window->windowTitle(), "Vornicle连接成功");
    EXPECT_TRUE(with.messages.isEmpty());
    EXPECT_EQ(with.logged(), QStringList({"当前共有0人"}));

    Window without(false);
    EXPECT_EQ(without.window->windowTitle(), "Vornicle");
    EXPECT_EQ(without.messages, QStringList({"没有数据库！"}));
    EXPECT_FALSE(QFile::exists(QDir(without.dir).filePath("CBC.db")));   // never created by the window
}

TEST(MainWindowStart, EscClosesTheWindow)
{
    Window w(false);
    QTest::keyClick(w.window.get(), Qt::Key_Escape);
    EXPECT_FALSE(w.window->isVisible());
}

TEST(MainWindowPages, ButtonsRunTheirHandlers)
{
    Window w(true);
    RecordStore& store = w.window->state().store;
    ASSERT_TRUE(store.Execute("insert into hr_employee(empno,empname,deptname,cardtype) values ('1001','张三','食堂','A')"));
    ASSERT_TRUE(store.Execute("insert into dlc_record_xf(empno,empname) values ('1001','张三')"));
    ASSERT_TRUE(store.Execute("insert into dlc_record_xf(empno,empname) values ('1001','张三')"));
    ASSERT_TRUE(store.Execute("insert into dlc_record_xf(empno,empname) values ('1002','李四')"));

    // Consumption page: the combo acts when an item is picked from its list.
    auto* combo = w.find<QComboBox>("组合框1");
    emit combo->activated(3);
    EXPECT_EQ(w.window->state().consumptionList.rowCount(), 2);
    EXPECT_EQ(w.logged().last(), "检测到到有2条记录");
    // Typing into its text field does nothing.
    const qsizetype before = w.logged().size();
    QTest::keyClicks(combo->lineEdit(), "abc");
    EXPECT_EQ(w.logged().size(), before);

    w.click("按钮_重复");
    EXPECT_TRUE(w.logged().contains("已成功标识重复数据......."));
    EXPECT_EQ(w.window->state().consumptionList.cell(0, 10), "重复");

    // Saving the whole table asks nothing.
    w.click("按钮_消费保存");
    EXPECT_TRUE(w.messages.isEmpty());
    EXPECT_TRUE(w.logged().contains("数据保存完毕"));
    EXPECT_EQ(w.window->windowTitle(), "Vornicle连接成功");

    // A filtered view asks first; No keeps the table.
    emit combo->activated(1);
    w.answer = MessageAnswer::No;
    w.click("按钮_消费保存");
    EXPECT_EQ(w.messages.size(), 1);

    w.click("按钮4");
    EXPECT_EQ(w.window->state().consumptionList.rowCount(), 0);
    EXPECT_EQ(w.logged().last(), "消费记录已全部删除");

    // Personnel page.
    w.find<QTabWidget>("选择夹1")->setCurrentIndex(1);
    w.find<QLineEdit>("编辑框3")->setText("1001' or '1'='1");
    w.click("按钮_人事查询");
    EXPECT_EQ(w.window->state().personnelList.rowCount(), 0);
    w.find<QLineEdit>("编辑框3")->setText("1001");
    w.click("按钮_人事查询");
    EXPECT_EQ(w.window->state().personnelList.rowCount(), 1);
    w.click("按钮1");
    EXPECT_EQ(w.window->state().personnelList.rowCount(), 0);
    w.click("按钮_刷新人事");
    EXPECT_EQ(w.window->state().personnelList.rowCount(), 1);
    w.click("按钮_人事资料保存");
    EXPECT_EQ(w.window->state().personnelList.rowCount(), 2);
    EXPECT_EQ(w.logged().last(), "当前共有2人");

    // The log list shows the newest line selected.
    auto* log = w.find<QListView>("列表框1");
    EXPECT_EQ(log->currentIndex().row(), log->model()->rowCount() - 1);
}

TEST(MatchDialogWindow, OpensWithTheNumberMatchCheckedEveryTime)
{
    Window w(false);
    int openings = 0;
    std::vector<bool> firstChecked;
    std::function<void()> inspect = [&] {
        MatchDialog* d = g_openMatchDialog;
        if (!d) {
            QTimer::singleShot(20, inspect);
            return;
        }
        ++openings;
        firstChecked.push_back(d->单选框1->isChecked());
        EXPECT_EQ(d->windowTitle(), "A/B数据比对");
        EXPECT_EQ(d->标签1->text(), "请定期更新人事档案数据");
        EXPECT_EQ(d->标签1->palette().color(QPalette::WindowText), QColor(255, 128, 0));
        d->单选框2->setChecked(true);
        EXPECT_FALSE(d->单选框1->isChecked());
        // Without a database the match fails and the dialog stays open.
        QTest::mouseClick(d->按钮3, Qt::LeftButton);
        EXPECT_TRUE(d->isVisible());
        QTest::keyClick(d, Qt::Key_Escape);
    };
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(20, inspect);
        w.click("按钮_校验编号");
    }
    EXPECT_EQ(openings, 2);
    EXPECT_EQ(firstChecked, (std::vector<bool>{true, true}));
    EXPECT_EQ(w.logged(), QStringList({"更新语句有问题", "更新语句有问题"}));
}

TEST(MessageBoxes, CaptionAndChineseButtons)
{
    QTranslator qtbase;
    ASSERT_TRUE(qtbase.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&qtbase);
    struct Case {
        MessageButtons buttons;
        QMessageBox::StandardButton press;
        MessageAnswer expected;
        QString pressText;
    } cases[] = {
        {MessageButtons::YesNo, QMessageBox::Yes, MessageAnswer::Yes, "是"},
        {MessageButtons::YesNo, QMessageBox::No, MessageAnswer::No, "否"},
        {MessageButtons::Ok, QMessageBox::Ok, MessageAnswer::Ok, "确定"},
    };
    for (const Case& c : cases) {
        QString title, buttonText;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            buttonText = box->button(c.press)->text();
            box->button(c.press)->click();
        });
        EXPECT_EQ(ShowMessageBox("数据导入完成，是否保存？", c.buttons), c.expected);
        EXPECT_EQ(title, "信息：");
        EXPECT_TRUE(buttonText.startsWith(c.pressText)) << buttonText.toStdString();
    }
    QCoreApplication::removeTranslator(&qtbase);
}

}  // namespace
