#pragma once
// Runs tests/exchange/write_read_workbook.py, which reads a written file
// with a real reader (openpyxl, xlrd) and prints what it found as JSON.
#include <QJsonObject>
#include <QStringList>
#include <optional>

namespace vornicle::test {

// The parsed output, or nothing when python3 or the reader module is missing
// (*skipReason says which); a reader failure is a test failure.
std::optional<QJsonObject> ReadWithPython(const QStringList& arguments, QString* skipReason);

}  // namespace vornicle::test
