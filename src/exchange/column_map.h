#pragma once
// The column map of a list export: which list column each title of a header
// titles text ("消费日期|时间|...|") exports, in the order of the titles.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornicle {

class ReportList;

// One entry per title of the header titles text: the 0-based list column it
// exports, or -1 when no list column carries that title (its cells export
// empty).
using ColumnMap = std::vector<int32_t>;

// Splits a header titles text at every "|": empty pieces between two "|" (or
// before a leading "|") count as titles, the piece after the last "|" only
// when it is not empty; an empty text has no titles.
std::vector<std::string> SplitHeaderTitles(std::string_view headerTitles);

// Trims leading and trailing ASCII spaces and full-width spaces ("　").
std::string_view TrimTitle(std::string_view text);

// Whether two titles are equal after trimming, ASCII letters compared without
// regard to case and other characters as they stand.
bool TitlesEqual(std::string_view a, std::string_view b);

// Replaces `map` by one entry per title: the first list column whose title
// equals it (TitlesEqual), or -1. Returns the header line: the titles text
// with every "|" replaced by `delimiter`.
std::string BuildColumnMap(const ReportList& list, std::string_view headerTitles, std::string_view delimiter,
                           ColumnMap& map);

}  // namespace vornicle
