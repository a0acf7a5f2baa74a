#include "lists/report_list.h"

#include <QSignalSpy>
#include <array>
#include <gtest/gtest.h>

using namespace vornicle;

namespace {

ReportList threeColumns()
{
    return ReportList({{"a", 10}, {"b", 20}, {"c", 30}});
}

}  // namespace

TEST(ReportList, CellsRoundTripIncludingEmptyLongAndUnicode)
{
    ReportList list = threeColumns();
    const std::string longText(70000, 'x');
    list.appendRow(std::vector<std::string>{"张三", "", longText});
    list.appendRow(std::vector<std::string>{"1", "2"});                 // missing cell is empty
    list.appendRow(std::vector<std::string>{"p", "q", "r", "dropped"});  // extra cell not kept
    ASSERT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.cell(0, 0), "张三");
    EXPECT_EQ(list.cell(0, 1), "");
    EXPECT_EQ(list.cell(0, 2), longText);
    EXPECT_EQ(list.cell(1, 2), "");
    EXPECT_EQ(list.cell(2, 2), "r");
    EXPECT_EQ(list.cell(3, 0), "");   // out of range reads empty
    EXPECT_EQ(list.cell(0, 3), "");
}

TEST(ReportList, SetCellRemoveRowAndClear)
{
    ReportList list = threeColumns();
    for (int i = 0; i < 5; ++i)
        list.appendRow(std::vector<std::string>{std::to_string(i), "b", "c"});
    list.setCell(2, 1, "changed");
    list.setCell(2, 1, list.cell(2, 0));   // a text that points into the row itself
    list.setCell(9, 0, "ignored");
    EXPECT_EQ(list.cell(2, 1), "2");
    list.removeRow(0);
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.cell(0, 0), "1");
    EXPECT_EQ(list.cell(1, 1), "2");
    list.clear();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.appendRow(), 0);
    EXPECT_EQ(list.cell(0, 0), "");
}

TEST(ReportList, ManyRewritesStayReadable)
{
    // Rewriting cells again and again makes the storage compact itself.
    ReportList list = threeColumns();
    for (int i = 0; i < 1000; ++i)
        list.appendRow(std::vector<std::string>{"r" + std::to_string(i), "", ""});
    const std::string big(100000, 'y');
    for (int round = 0; round < 800; ++round)
        list.setCell(round % 1000, 2, big + std::to_string(round));
    EXPECT_EQ(list.cell(999, 0), "r999");
    EXPECT_EQ(list.cell(799, 2), big + "799");
    EXPECT_LT(list.storageBytes(), size_t(300) << 20);
}

TEST(ReportList, ModelShowsTitlesAndCells)
{
    ReportList list(ConsumptionListColumns());
    ASSERT_EQ(list.columnCount(), 11);
    EXPECT_EQ(list.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("消费日期"));
    EXPECT_EQ(list.headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("重复"));
    EXPECT_EQ(list.columnWidth(4), 200);
    list.appendRow(std::vector<std::string>{"2020/3/13", "9:05:07", "1001", "张三"});
    EXPECT_EQ(list.data(list.index(0, 3), Qt::DisplayRole).toString(), QStringLiteral("张三"));
    ReportList personnel(PersonnelListColumns());
    ASSERT_EQ(personnel.columnCount(), 4);
    EXPECT_EQ(personnel.columnTitle(3), "卡类别");
}

TEST(ReportList, BatchAnnouncesOneResetInsteadOfRowInserts)
{
    ReportList list = threeColumns();
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
    {
        ListBatch batch(list);
        for (int i = 0; i < 100; ++i)
            list.appendRow();
    }
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(reset.count(), 1);
    list.appendRow();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(list.rowCount(QModelIndex()), 101);
}

TEST(ReportList, AppendRowsAnnouncesOneInsertion)
{
    ReportList list = threeColumns();
    list.appendRow(std::vector<std::string>{"first", "", ""});
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    std::vector<std::array<std::string, 7>> batch(3);
    batch[0][0] = "a";
    batch[2][2] = "c";
    batch[2][5] = "beyond the columns";
    list.appendRows(batch);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 3);
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.cell(1, 0), "a");
    EXPECT_EQ(list.cell(3, 2), "c");
}
