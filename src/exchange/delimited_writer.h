#pragma once
// The delimited text export: an optional header line, then one line per list
// row holding, for each column-map entry, the cell text followed by the
// delimiter; every line ends with CR LF. No quoting, UTF-8, no byte-order mark.
#include "exchange/export_progress.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vornicle {

class ReportList;

// Writes the list to `path` (created or truncated). Returns the number of
// column-map entries; 0 when the header titles text has no titles, and then
// no file is opened. Returns -1 when the file cannot be opened or written, with the
// reason in *error (when given); the file may then be incomplete.
int32_t WriteDelimitedFile(const ReportList& list, const std::string& path, std::string_view headerTitles,
                           std::string_view delimiter, bool writeHeader, const ExportProgressCallback& progress,
                           std::string* error = nullptr);

}  // namespace vornicle
