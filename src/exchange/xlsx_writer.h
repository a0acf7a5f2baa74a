#pragma once
// The .xlsx export: one list cell to one sheet cell, every cell text, with the
// export's formatting (see export_format.h).
#include "exchange/export_progress.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vornicle {

class ReportList;

// Most rows a sheet holds (header included).
constexpr int64_t kXlsxMaxRows = 1048576;

// Writes the list to the .xlsx file `path` (created or replaced) through
// libxlsxwriter in constant-memory mode, its temporary files in `tmpDir`
// (empty: the system's). Row 1 holds the header titles when
// `writeHeader` is true. Returns the number of column-map entries written (0:
// the text has no titles, nothing is written), or -1 with the reason in
// *error. The sheet holds at most kXlsxMaxRows rows; a longer list is an
// error and nothing is written.
int32_t WriteXlsxWorkbook(const ReportList& list, const std::string& path, std::string_view headerTitles,
                          bool writeHeader, const std::string& tmpDir, const ExportProgressCallback& progress,
                          std::string* error = nullptr);

}  // namespace vornicle
