#pragma once
// Reader of the first worksheet of an .xls workbook (BIFF8, and BIFF5/7 with
// its code page) inside a compound file.
#include "exchange/workbook_reader.h"

#include <memory>
#include <string>

namespace vornicle::exchange {

// `data` is the whole compound file. Null and `error` on failure (damaged,
// encrypted, not a workbook).
std::unique_ptr<WorkbookReader> openXls(std::string data, std::string& error);

}  // namespace vornicle::exchange
