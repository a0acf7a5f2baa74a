#pragma once
// "导出EXCEL" on the consumption page: asks for a file, exports the list,
// logs the time taken, and tells the operator whether it worked.
#include "core/workspace.h"

#include <QString>

namespace vornicle {

// The header titles of the consumption export: ten titles, "重复" not exported.
extern const char* const kConsumptionExportHeader;

// The click handler. Returns true when a complete file was written.
bool ExportConsumptionList(Workspace& ws);

// The export itself, after the dialog: stopwatch, "开始导出", the file, the
// elapsed-time line, then "导出完毕！" or the reason it failed; the progress
// bar ends at 0.
bool ExportConsumptionListTo(Workspace& ws, const QString& path);

// "Template" followed by six random digits.
QString ProposedExportFileName();

}  // namespace vornicle
