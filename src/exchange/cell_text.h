#pragma once
// Conversion of spreadsheet cell values to the text the import works with.
//
// Numbers print with at most 15 significant digits and no trailing zeros
// ("12.5", "1.23456789012346E+17", "1E-05"); date/time formatted numbers
// print as "yyyy/M/d" with " H:mm:ss" when the time is not midnight, and a
// time without a date (serial below 1, 1900 system) as "H:mm:ss".
#include <cstdint>
#include <string>
#include <string_view>

namespace vornicle::exchange {

// Plain decimal form of a number (C "%.15G" without locale); "" for NaN/Inf; never "-0".
std::string numberText(double value);

// Text of a date/time-formatted serial. Serials that are negative, equal to 60
// (1900 system: the non-existent 1900-02-29) or past 9999-12-31 print as numbers.
std::string dateText(double serial, bool date1904);

// Whether a built-in number format id is a date/time format.
bool isBuiltinDateFormat(int numFmtId);

// Whether a number format code shows a date or time (first section only,
// quoted text, escapes and [...] blocks other than [h] [m] [s] ignored).
bool isDateFormatCode(std::string_view code);

// Text of an ISO 8601 date/time ("2021-01-01", "2021-01-01T10:10:10",
// "10:10:10"); returns false when it is not one.
bool isoDateText(std::string_view iso, std::string& out);

// Decodes the _xHHHH_ escapes of xlsx text in place.
void decodeXmlEscapes(std::string& text);

// Appends the UTF-8 form of a code point (invalid ones become U+FFFD).
void appendUtf8(std::string& out, uint32_t codePoint);

}  // namespace vornicle::exchange
