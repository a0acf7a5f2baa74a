#include "store/value_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vornicle::store_detail {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

void FormatDateTime(int64_t y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s, std::string& out)
{
    char buf[48];
    const int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u:%02u", static_cast<long long>(y), mo,
                                d, h, mi, s);
    out.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

bool Digits(std::string_view t, size_t pos, size_t count, unsigned& value)
{
    if (pos + count > t.size())
        return false;
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(t[i] - '0');
    }
    return true;
}

bool LeapYear(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// "YYYY-MM-DD", optionally followed by ' ' or 'T' and "HH:MM[:SS[.fff]]".
bool IsoDateText(std::string_view t, std::string& out)
{
    unsigned y, mo, d, h = 0, mi = 0, s = 0;
    if (!Digits(t, 0, 4, y) || t.size() < 10 || t[4] != '-' || !Digits(t, 5, 2, mo) || t[7] != '-' ||
        !Digits(t, 8, 2, d))
        return false;
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + ((mo == 2 && LeapYear(y)) ? 1 : 0))
        return false;
    size_t p = 10;
    if (p < t.size()) {
        if (t[p] != ' ' && t[p] != 'T')
            return false;
        if (!Digits(t, p + 1, 2, h) || p + 3 >= t.size() || t[p + 3] != ':' || !Digits(t, p + 4, 2, mi))
            return false;
        p += 6;
        if (p < t.size()) {
            if (t[p] != ':' || !Digits(t, p + 1, 2, s))
                return false;
            p += 3;
            if (p < t.size()) {
                if (t[p] != '.')
                    return false;
                for (++p; p < t.size(); ++p)
                    if (t[p] < '0' || t[p] > '9')
                        return false;
            }
        }
        if (h > 23 || mi > 59 || s > 59)
            return false;
    }
    FormatDateTime(y, mo, d, h, mi, s, out);
    return true;
}

std::string_view Printf(std::string& scratch, const char* format, double v)
{
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, format, v);
    if (n < 0)
        scratch.clear();
    else if (static_cast<size_t>(n) < sizeof buf)
        scratch.assign(buf, static_cast<size_t>(n));
    else {
        // Huge magnitudes with eight decimals do not fit the buffer.
        scratch.assign(static_cast<size_t>(n) + 1, '\0');
        std::snprintf(scratch.data(), scratch.size(), format, v);
        scratch.resize(static_cast<size_t>(n));
    }
    return scratch;
}

std::string_view IntegerText(int64_t v, std::string& scratch)
{
    char buf[16];
    const auto low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    const int n = std::snprintf(buf, sizeof buf, "%d", low);
    scratch.assign(buf, static_cast<size_t>(n));
    return scratch;
}

std::string_view NumberText(double v, bool isInteger, int64_t iv, FieldKind kind, std::string& scratch)
{
    switch (kind) {
    case FieldKind::Boolean:
        return (isInteger ? iv != 0 : v != 0.0) ? std::string_view("TRUE") : std::string_view("FALSE");
    case FieldKind::Date:
        if (AutomationDateText(v, scratch))
            return scratch;
        return Printf(scratch, "%.8f", v);
    case FieldKind::Single:
        return Printf(scratch, "%.4f", static_cast<double>(static_cast<float>(v)));
    case FieldKind::Double:
        return Printf(scratch, "%.8f", v);
    case FieldKind::Plain:
        break;
    }
    if (isInteger)
        return IntegerText(iv, scratch);
    return Printf(scratch, "%.8f", v);
}

}  // namespace

FieldKind ClassifyDeclaredType(const char* declared)
{
    if (declared == nullptr)
        return FieldKind::Plain;
    std::string up;
    for (const char* p = declared; *p != '\0' && *p != '('; ++p)
        up += AsciiUpper(*p);
    while (!up.empty() && up.back() == ' ')
        up.pop_back();
    const auto has = [&up](const char* part) { return up.find(part) != std::string::npos; };
    if (has("BOOL") || up == "BIT" || up == "YESNO" || up == "LOGICAL")
        return FieldKind::Boolean;
    if (has("DATE") || has("TIME"))
        return FieldKind::Date;
    if (up == "SINGLE" || up == "FLOAT4" || up == "REAL4")
        return FieldKind::Single;
    if (has("REAL") || has("DOUB") || has("FLOA") || has("NUMERIC") || has("DECIMAL"))
        return FieldKind::Double;
    return FieldKind::Plain;
}

bool AutomationDateText(double value, std::string& out)
{
    // 100-01-01 .. 9999-12-31 23:59:59, the range automation dates cover.
    if (!(value >= -657434.0 && value < 2958466.0))
        return false;
    const double dayPart = std::trunc(value);
    auto day = static_cast<int64_t>(dayPart);
    auto secs = static_cast<int64_t>(std::llround(std::fabs(value - dayPart) * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        ++day;
    }
    int64_t y;
    unsigned mo, d;
    CivilFromDays(day - 25569, y, mo, d);  // 1899-12-30 is day -25569 of 1970
    if (y > 9999)
        return false;
    FormatDateTime(y, mo, d, static_cast<unsigned>(secs / 3600), static_cast<unsigned>(secs / 60 % 60),
                   static_cast<unsigned>(secs % 60), out);
    return true;
}

std::string_view ColumnText(sqlite3_stmt* stmt, int column, FieldKind kind, std::string& scratch)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(stmt, column);
        return NumberText(static_cast<double>(v), true, v, kind, scratch);
    }
    case SQLITE_FLOAT:
        return NumberText(sqlite3_column_double(stmt, column), false, 0, kind, scratch);
    case SQLITE_BLOB:
        return "[BLOB]";
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        const std::string_view text(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
        if (kind == FieldKind::Date && IsoDateText(text, scratch))
            return scratch;
        return text;
    }
    }
}

std::string_view TextValue(std::string_view text, bool isNull, FieldKind kind, std::string& scratch)
{
    if (isNull)
        return {};
    if (kind == FieldKind::Date && IsoDateText(text, scratch))
        return scratch;
    return text;
}

}  // namespace vornicle::store_detail
