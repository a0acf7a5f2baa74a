// Exporting a list through ExportListView: format by extension, replacing the
// target only when complete, and the save dialog's extension.
#include "exchange/export_list_view.h"
#include "exchange/xls_writer.h"
#include "lists/report_list.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>

namespace vornicle {
namespace {

constexpr const char* kTitles = "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|";

void fillRows(ReportList& list, int rows)
{
    for (int r = 0; r < rows; ++r)
        list.appendRow(std::vector<std::string>{"2024/5/1", "8:30:00", "00" + std::to_string(r), "张三", "财务部",
                                                "12.5", "早餐"});
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(WriteExport, FormatFollowsTheExtensionInAnyCase)
{
    ReportList list(ConsumptionListColumns());
    fillRows(list, 2);
    const struct {
        const char* name;
        const char* starts;  // leading bytes of the written file; null: nothing written
    } cases[] = {
        {"a.txt", "2024/5/1|8:30:00|000|"},  // delimited, no header by default
        {"b.Txt", "2024/5/1|"},
        {"c.CSV", "2024/5/1|"},
        {"d.xlsx", "PK\x03\x04"},
        {"e.XLSX", "PK\x03\x04"},
        {"f.Xls", "\xD0\xCF\x11\xE0"},
        {"report", nullptr},
        {"g.pdf", nullptr},
        {"h.", nullptr},
        {"dir.x/name", nullptr},
    };
    for (const auto& c : cases) {
        const QString dir = test::makeTempDir();
        QDir(dir).mkpath("dir.x");
        const QString path = dir + "/" + c.name;
        const ExportResult r = ExportListView(list, path.toStdString(), kTitles);
        SCOPED_TRACE(c.name);
        if (c.starts) {
            EXPECT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.columns, 10);
            EXPECT_TRUE(test::readFileBytes(path).starts_with(c.starts));
            EXPECT_EQ(entries(dir), QStringList{c.name});  // no temporary file left
        } else {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.error, "unknown file type");
            EXPECT_TRUE(entries(dir).isEmpty());
        }
    }
}

TEST(WriteExport, DelimiterAndHeaderOptions)
{
    ReportList list({{"a", 50}, {"b", 50}});
    list.appendRow(std::vector<std::string>{"1", "2"});
    const QString path = test::makeTempDir() + "/x.csv";
    ASSERT_TRUE(ExportListView(list, path.toStdString(), "a|b", ",", true).ok);
    EXPECT_EQ(test::readFileBytes(path), "a,b\r\n1,2,\r\n");
    ASSERT_TRUE(ExportListView(list, path.toStdString(), "b|a").ok);
    EXPECT_EQ(test::readFileBytes(path), "2|1|\r\n");
}

TEST(WriteExport, FailedExportLeavesTheOldFileAndNoTemporaryFile)
{
    ReportList list(ConsumptionListColumns());
    fillRows(list, 3);
    for (const char* name : {"old.txt", "old.xlsx", "old.xls"}) {
        SCOPED_TRACE(name);
        const QString dir = test::makeTempDir();
        const QString path = dir + "/" + name;
        writeFile(path, "earlier export");
        std::string seenTemp;
        SetExportCommitHookForTesting([&](const std::string& temp) {
            seenTemp = temp;
            return false;
        });
        const ExportResult r = ExportListView(list, path.toStdString(), kTitles);
        SetExportCommitHookForTesting({});
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(QFileInfo(QString::fromStdString(seenTemp)).absolutePath(), QFileInfo(dir).absoluteFilePath());
        EXPECT_EQ(test::readFileBytes(path), "earlier export");
        EXPECT_EQ(entries(dir), QStringList{name});

        // Without the fault the same export replaces the file.
        ASSERT_TRUE(ExportListView(list, path.toStdString(), kTitles).ok);
        EXPECT_NE(test::readFileBytes(path), "earlier export");
        EXPECT_EQ(entries(dir), QStringList{name});
    }
}

TEST(WriteExport, PermissionsOfANewAndOfAReplacedFile)
{
    ReportList list(ConsumptionListColumns());
    fillRows(list, 1);
    using std::filesystem::perms;
    for (const char* name : {"p.txt", "p.xlsx", "p.xls"}) {
        SCOPED_TRACE(name);
        const std::string path = (test::makeTempDir() + "/" + name).toStdString();
        ASSERT_TRUE(ExportListView(list, path, kTitles).ok);
        EXPECT_EQ(std::filesystem::status(path).permissions(),
                  perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);

        const perms kept = perms::owner_read | perms::owner_write | perms::group_read | perms::group_write;
        std::filesystem::permissions(path, kept);
        ASSERT_TRUE(ExportListView(list, path, kTitles).ok);
        EXPECT_EQ(std::filesystem::status(path).permissions(), kept);
    }
}

TEST(WriteExport, NothingToWriteIsAnErrorAndKeepsTheOldFile)
{
    ReportList list(ConsumptionListColumns());
    fillRows(list, 1);
    for (const char* name : {"a.txt", "a.xlsx", "a.xls"}) {
        const QString dir = test::makeTempDir();
        const QString path = dir + "/" + name;
        writeFile(path, "old");
        const ExportResult r = ExportListView(list, path.toStdString(), "");
        EXPECT_FALSE(r.ok) << name;
        EXPECT_EQ(test::readFileBytes(path), "old") << name;
        EXPECT_EQ(entries(dir), QStringList{name});
    }
}

TEST(WriteExport, MissingFolderIsAnError)
{
    ReportList list(ConsumptionListColumns());
    const ExportResult r = ExportListView(list, (test::makeTempDir() + "/no/such/x.txt").toStdString(), kTitles);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
}

TEST(WriteExport, XlsRowLimit)
{
    ReportList list({{"n", 50}});
    for (int r = 0; r < kXlsMaxRows; ++r)
        list.appendRow(std::vector<std::string>{r % 3 ? std::to_string(r % 100) : std::string()});
    const QString dir = test::makeTempDir();
    const QString path = dir + "/big.xls";
    writeFile(path, "old");

    // A full sheet with the header is one row too many.
    ExportResult r = ExportListView(list, path.toStdString(), "n");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("65536 rows"), std::string::npos) << r.error;
    EXPECT_EQ(test::readFileBytes(path), "old");
    EXPECT_EQ(entries(dir), QStringList{"big.xls"});

    // Without the header it fits exactly.
    r = ExportListView(list, path.toStdString(), "n", std::nullopt, false);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(test::readFileBytes(path).starts_with("\xD0\xCF\x11\xE0"));
}

TEST(WriteExport, XlsxRowLimit)
{
    ReportList list({{"n", 50}});
    list.reserveRows(1048576);
    {
        ListBatch batch(list);
        for (int r = 0; r < 1048576; ++r)
            list.appendRow();
    }
    const QString dir = test::makeTempDir();
    const QString path = dir + "/full.xlsx";
    writeFile(path, "old");
    const ExportResult r = ExportListView(list, path.toStdString(), "n");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("1048576 rows"), std::string::npos) << r.error;
    EXPECT_EQ(test::readFileBytes(path), "old");
    EXPECT_EQ(entries(dir), QStringList{"full.xlsx"});
}

TEST(WriteExport, CellLongerThanASheetHoldsIsAnError)
{
    for (const char* name : {"long.xls", "long.xlsx"}) {
        SCOPED_TRACE(name);
        ReportList list({{"t", 50}});
        list.appendRow(std::vector<std::string>{std::string(32767, 'a')});
        const QString dir = test::makeTempDir();
        const QString path = dir + "/" + name;
        EXPECT_TRUE(ExportListView(list, path.toStdString(), "t").ok);  // the most a cell holds

        writeFile(path, "old");
        std::string tooLong(16384, 'x');  // 32,768 characters, half of them three UTF-8 bytes long
        for (int i = 0; i < 16384; ++i)
            tooLong += "字";
        list.appendRow(std::vector<std::string>{tooLong});
        const ExportResult r = ExportListView(list, path.toStdString(), "t");
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(test::readFileBytes(path), "old");
        EXPECT_EQ(entries(dir), QStringList{name});
    }
}

TEST(WriteExport, SaveDialogExtension)
{
    const struct {
        const char* typed;
        int filter;
        const char* path;
    } cases[] = {
        {"/d/Template123456", 0, "/d/Template123456.txt"}, {"/d/a", 1, "/d/a.csv"},
        {"/d/a", 2, "/d/a.xls"},        {"/d/a", 3, "/d/a.xlsx"},
        {"/d/a", 4, "/d/a"},            {"/d/a.XLSX", 3, "/d/a.XLSX"},
        {"/d/a.xls", 3, "/d/a.xls"}, {"/d/report.csv", 0, "/d/report.csv"}, {"/d/a.b", 0, "/d/a.b.txt"},
        {"/d/a", -1, "/d/a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathWithFilterExtension(c.typed, c.filter), c.path) << c.typed << " " << c.filter;
}

}  // namespace
}  // namespace vornicle
