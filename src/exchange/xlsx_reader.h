#pragma once
// Streaming reader of the first worksheet of an xlsx package.
#include "exchange/workbook_reader.h"

#include <memory>
#include <string>

namespace vornicle::exchange {

class XlsxZip;

// Opens the package's first worksheet for streaming; null and `error` on failure.
std::unique_ptr<WorkbookReader> openXlsx(std::unique_ptr<XlsxZip> zip, std::string& error);

}  // namespace vornicle::exchange
