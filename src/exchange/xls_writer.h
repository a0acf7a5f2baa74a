#pragma once
// The .xls export: a BIFF8 workbook in a compound file, one list cell to one
// sheet cell, every cell text, with the export's formatting.
#include "exchange/export_progress.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vornicle {

class ReportList;

// Most rows and columns a BIFF8 sheet holds (header included).
constexpr int64_t kXlsMaxRows = 65536;
constexpr int kXlsMaxColumns = 256;

// Writes the list to the .xls file `path` (created or replaced). Row 1 holds
// the header titles when `writeHeader` is true. Returns the number of
// column-map entries written (0: the text has no titles, nothing is written),
// or -1 with the reason in *error: more rows or columns than a sheet holds,
// a cell longer than 32,767 characters, or a file that cannot be written.
// Nothing is written on an error found before writing.
int32_t WriteXlsWorkbook(const ReportList& list, const std::string& path, std::string_view headerTitles,
                         bool writeHeader, const ExportProgressCallback& progress, std::string* error = nullptr);

}  // namespace vornicle
