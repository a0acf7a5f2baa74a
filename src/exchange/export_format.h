#pragma once
// The formatting of an exported workbook, shared by the .xlsx and .xls
// writers: every written cell centred both ways, in a thin black border, in
// 微软雅黑 11 black; the header row on green with white letters in columns 18
// characters wide; every row 20 points high.
#include <cstdint>

namespace vornicle::workbook_format {

inline constexpr const char* kFontName = "\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91";  // 微软雅黑
inline constexpr double kFontSize = 11;
inline constexpr uint32_t kFontColor = 0x000000;
inline constexpr uint32_t kHeaderFill = 0x008000;
inline constexpr uint32_t kHeaderFontColor = 0xFFFFFF;
inline constexpr double kHeaderColumnWidth = 18;
inline constexpr double kRowHeight = 20;

}  // namespace vornicle::workbook_format
