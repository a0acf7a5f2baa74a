#pragma once
// Exporting a report list to a file whose extension chooses the format:
// "txt" and "csv" give delimited text, "xls" and "xlsx" a formatted workbook.
//
// How the consumption page's export button uses it (the handler, its dialog
// and its log lines live above this layer):
//
//   ExportResult r = ExportListView(list, path,
//       "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|", "|", std::nullopt,
//       [&](int total, int current) { progressBar.setValue(ExportProgressPosition(total, current)); });
//   if (!r.ok) show r.error;    // nothing was replaced at `path`
//
// The save dialog's typed name gets its extension from PathWithFilterExtension.
#include "exchange/export_progress.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vornicle {

class ReportList;

struct ExportResult {
    bool ok = false;
    std::string error;  // why nothing was written, when !ok
    int columns = 0;    // column-map entries written per row
};

// Writes the list to `path`. The extension (text after the last ".") is
// compared without regard to case. On the delimited path an absent delimiter
// means "|" and an absent write-header flag false; the workbook path writes
// cells directly (the delimiter does not apply) and an absent write-header
// flag means true. Another extension, or none, is the error "unknown file
// type". A header titles text without titles writes nothing and is an error.
//
// The file is written under a temporary name in the target's folder and
// renamed onto `path` only once complete, so a failed export leaves any
// earlier file at `path` as it was and no temporary file behind; success is
// reported only when the complete file is in place.
ExportResult ExportListView(const ReportList& list, const std::string& path, std::string_view headerTitles,
                            std::optional<std::string_view> delimiter = std::nullopt,
                            std::optional<bool> writeHeader = std::nullopt,
                            const ExportProgressCallback& progress = {});

// The export's save-dialog filter, in its order: 0 txt, 1 csv, 2 xls, 3 xlsx, 4 all files.
inline constexpr const char* kExportFileFilter =
    "文本文档(*.txt)|*.txt|逗号分隔符(*.CSV)|*.csv|Excel 97-2003 工作簿(*.xls)|*.xls|Excel 工作簿(*.xlsx)|*.xlsx|"
    "所有文件(*.*)|*.*";

// The path a save dialog returns for a typed name and the chosen filter: the
// filter's extension is appended unless the name already ends with it (in any
// case); "all files" (and an unknown index) leaves the name as typed.
std::string PathWithFilterExtension(const std::string& typedPath, int filterIndex);

// For tests: when set, runs after the file has been written under its
// temporary name and before it is renamed; returning false makes the export
// fail there as a failed final write would.
void SetExportCommitHookForTesting(std::function<bool(const std::string& tempPath)> hook);

}  // namespace vornicle
