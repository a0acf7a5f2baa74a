#pragma once
// Turning a stored value into the text the record set reads.
//
// The values arrive as SQLite storage classes; the column's declared type
// tells what kind of field it stands for, the way an Access field kind would:
//
//   NULL                                   ""
//   TEXT                                   as stored (see dates below)
//   INTEGER                                "%d" of the low 32 bits read as signed
//   INTEGER in BOOLEAN / BIT / YESNO       "TRUE" (non-zero) or "FALSE"
//   REAL, or any number in a column
//     declared REAL / DOUBLE / FLOAT(8) /
//     NUMERIC / DECIMAL                    "%.8f"
//   any number in SINGLE / FLOAT4 / REAL4  "%.4f" of the single-precision value
//   number in DATE / DATETIME / TIMESTAMP  an automation date (days since
//                                          1899-12-30, time as the fraction),
//                                          shown "%Y-%m-%d %H:%M:%S" to the
//                                          nearest second; outside 100-01-01 ..
//                                          9999-12-31 it reads as "%.8f"
//   ISO text in such a column              "YYYY-MM-DD[ T]HH:MM[:SS[.f]]" shown
//                                          as "%Y-%m-%d %H:%M:%S" (a date alone
//                                          reads 00:00:00); other text as stored
//   BLOB                                   "[BLOB]"
#include <sqlite3.h>

#include <string>
#include <string_view>

namespace vornicle::store_detail {

enum class FieldKind : unsigned char { Plain, Boolean, Date, Single, Double };

// The kind of a column from its declared type (null or unknown: Plain).
FieldKind ClassifyDeclaredType(const char* declared);

// Text of column `column` of the statement's current row. Converted texts
// are built in `scratch`; the result points either into the statement's own
// buffer or into scratch.
std::string_view ColumnText(sqlite3_stmt* stmt, int column, FieldKind kind, std::string& scratch);

// The same for a value held as text (or NULL when isNull).
std::string_view TextValue(std::string_view text, bool isNull, FieldKind kind, std::string& scratch);

// "%Y-%m-%d %H:%M:%S" of an automation date; false outside the valid range.
bool AutomationDateText(double value, std::string& out);

}  // namespace vornicle::store_detail
