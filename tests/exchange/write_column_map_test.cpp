// Column map and header titles text of the list export.
#include "exchange/column_map.h"
#include "exchange/export_progress.h"
#include "lists/report_list.h"

#include <gtest/gtest.h>

namespace vornicle {
namespace {

TEST(WriteHeaderTitles, SplitsAtEveryBarButATrailingOne)
{
    const struct {
        const char* titlesText;
        std::vector<std::string> titles;
    } cases[] = {
        {"", {}},
        {"|", {""}},
        {"a", {"a"}},
        {"a|", {"a"}},
        {"a|b", {"a", "b"}},
        {"a||b|", {"a", "", "b"}},
        {"|a", {"", "a"}},
        {"||", {"", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitHeaderTitles(c.titlesText), c.titles) << "titles \"" << c.titlesText << "\"";
    EXPECT_EQ(SplitHeaderTitles("消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|").size(), 10u);
}

TEST(WriteColumnMap, ConsumptionTitlesMapTheFirstTenColumns)
{
    ReportList list(ConsumptionListColumns());
    ColumnMap map;
    const std::string header =
        BuildColumnMap(list, "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|", "\t", map);
    EXPECT_EQ(map, (ColumnMap{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(header, "消费日期\t时间\t编号\t姓名\t部门\t金额\t类别\t编号2\t姓名2\t部门2\t");
}

TEST(WriteColumnMap, TitlesMatchDespiteSpacesAndCase)
{
    ReportList list({{" Name", 50}, {"\xE3\x80\x80" "Dept  ", 50}, {"amount", 50}, {"name", 50}, {"x", 50}});
    const struct {
        const char* titlesText;
        ColumnMap map;
    } cases[] = {
        {"NAME|dept|Amount", {0, 1, 2}},                            // case and ASCII / full-width spaces
        {"\xE3\x80\x80 amount \xE3\x80\x80|  x", {2, 4}},           // spaces around the titles
        {"name|name", {0, 0}},                                      // repeated title: the first column each time
        {"missing|x|", {-1, 4}},                                    // unmatched title keeps its place
        {"||x", {-1, -1, 4}},                                       // empty titles match nothing
        {"", {}},
        {"Ｘ|dept x", {-1, -1}},                                    // full-width letters and inner spaces count
    };
    for (const auto& c : cases) {
        ColumnMap map{7, 7, 7, 7, 7, 7, 7, 7};
        BuildColumnMap(list, c.titlesText, "|", map);
        EXPECT_EQ(map, c.map) << "titles \"" << c.titlesText << "\"";
    }
}

TEST(WriteColumnMap, HeaderLineReplacesEveryBar)
{
    ReportList list({{"a", 50}});
    ColumnMap map;
    EXPECT_EQ(BuildColumnMap(list, "a||b|", ",", map), "a,,b,");
    EXPECT_EQ(BuildColumnMap(list, "a|b", "::", map), "a::b");
    EXPECT_EQ(BuildColumnMap(list, "", ",", map), "");
    EXPECT_TRUE(map.empty());
}

TEST(WriteProgress, PositionIsTruncatedPercentage)
{
    const struct {
        int total, current, position;
    } cases[] = {
        {3, 1, 33}, {3, 2, 66}, {3, 3, 100}, {100, 29, 28}, {100, 57, 56}, {100, 58, 57},
        {100, 100, 100}, {1, 1, 100}, {1048575, 1048575, 100}, {1048575, 1, 0}, {0, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportProgressPosition(c.total, c.current), c.position) << c.current << " of " << c.total;
}

TEST(WriteProgress, ReporterCallsOnlyWhenThePositionChanges)
{
    std::vector<std::pair<int, int>> calls;
    const ExportProgressCallback callback = [&](int total, int current) { calls.emplace_back(total, current); };
    ExportProgressReporter three(callback, 3);
    for (int r = 1; r <= 3; ++r)
        three.row(r);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{3, 1}, {3, 2}, {3, 3}}));

    calls.clear();
    ExportProgressReporter many(callback, 1000);
    for (int r = 1; r <= 1000; ++r)
        many.row(r);
    ASSERT_EQ(calls.size(), 101u);  // positions 0..100, each once
    EXPECT_EQ(calls.front().second, 1);
    EXPECT_EQ(calls.back().second, 1000);
    int last = -1;
    for (const auto& [total, current] : calls) {
        const int position = ExportProgressPosition(total, current);
        EXPECT_EQ(position, last + 1);
        last = position;
    }
}

}  // namespace
}  // namespace vornicle
