#include "exchange/cell_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vornicle::exchange {

namespace {

void appendUnsigned(std::string& out, uint64_t v)
{
    char buf[24];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    out.append(p, static_cast<size_t>(buf + sizeof buf - p));
}

size_t significantDigits(std::string_view s)
{
    size_t n = 0;
    bool leading = true;
    for (char c : s) {
        if (c < '0' || c > '9')
            continue;
        if (leading && c == '0')
            continue;
        leading = false;
        ++n;
    }
    return n;
}

}  // namespace

std::string numberText(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return {};
    if (value == 0)
        return "0";
    std::string out;
    const double mag = std::fabs(value);
    // Fast paths for the common cases; they print what "%.15G" prints.
    if (mag < 1e15 && value == std::trunc(value)) {
        if (value < 0)
            out += '-';
        appendUnsigned(out, static_cast<uint64_t>(mag));
        return out;
    }
    std::array<char, 64> buf{};
    if (mag >= 1e-4 && mag < 1e15) {
        auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
        const std::string_view sv(buf.data(), static_cast<size_t>(res.ptr - buf.data()));
        if (res.ec == std::errc() && significantDigits(sv) <= 15)
            return std::string(sv);
    }
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
    out.assign(buf.data(), res.ptr);
    for (char& c : out)
        if (c == 'e')
            c = 'E';
    return out;
}

namespace {

// Civil date from days since 1970-01-01 (proleptic Gregorian).
void civilFromDays(int64_t z, int& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yy + (m <= 2 ? 1 : 0));
}

int64_t daysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void appendTwo(std::string& out, int64_t v)
{
    out += static_cast<char>('0' + v / 10);
    out += static_cast<char>('0' + v % 10);
}

void appendTime(std::string& out, int64_t secs)
{
    appendUnsigned(out, static_cast<uint64_t>(secs / 3600));
    out += ':';
    appendTwo(out, secs / 60 % 60);
    out += ':';
    appendTwo(out, secs % 60);
}

std::string formatDate(int64_t unixDays, int64_t secs)
{
    int y;
    unsigned m, d;
    civilFromDays(unixDays, y, m, d);
    std::string out;
    if (y < 0) {
        out += '-';
        y = -y;
    }
    appendUnsigned(out, static_cast<uint64_t>(y));
    out += '/';
    appendUnsigned(out, m);
    out += '/';
    appendUnsigned(out, d);
    if (secs) {
        out += ' ';
        appendTime(out, secs);
    }
    return out;
}

constexpr double kMaxSerial = 2958465.99999;  // 9999-12-31 23:59:59

}  // namespace

std::string dateText(double serial, bool date1904)
{
    if (std::isnan(serial) || serial < 0 || serial > kMaxSerial)
        return numberText(serial);
    const int64_t total = static_cast<int64_t>(std::floor(serial * 86400 + 0.5));
    const int64_t days = total / 86400;
    const int64_t secs = total % 86400;
    if (date1904)
        return formatDate(daysFromCivil(1904, 1, 1) + days, secs);
    if (serial < 1) {
        std::string out;
        appendTime(out, days ? 0 : secs);  // a time that rounds up to midnight
        return out;
    }
    if (days < 61) {
        // Excel's 1900 calendar counts a 29 February 1900 that never was.
        if (days == 60)
            return numberText(serial);
        return formatDate(daysFromCivil(1899, 12, 31) + days, secs);
    }
    return formatDate(daysFromCivil(1899, 12, 30) + days, secs);
}

bool isBuiltinDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

bool isDateFormatCode(std::string_view code)
{
    // Strip quoted text, escapes and fills; note elapsed-time brackets; strip [...];
    // then look at the first section only.
    std::string s;
    bool elapsed = false;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const size_t end = code.find('"', i + 1);
            if (end == std::string_view::npos)
                break;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const size_t end = code.find(']', i + 1);
            if (end == std::string_view::npos)
                break;
            const std::string_view inner = code.substr(i + 1, end - i - 1);
            if (!inner.empty()) {
                const char f = static_cast<char>(inner[0] | 0x20);
                bool same = f == 'h' || f == 'm' || f == 's';
                for (char k : inner)
                    same = same && static_cast<char>(k | 0x20) == f;
                if (same)
                    elapsed = true;
            }
            i = end;
        } else {
            s += c;
        }
    }
    std::string_view section = s;
    section = section.substr(0, section.find(';'));
    std::string lower;
    for (char c : section)
        if (c != ' ')
            lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower == "general")
        return false;
    if (elapsed)
        return true;
    for (char c : lower)
        if (c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 's')
            return true;
    return false;
}

namespace {

bool readDigits(std::string_view s, size_t& pos, size_t n, int& out)
{
    if (pos + n > s.size())
        return false;
    out = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    pos += n;
    return true;
}

bool parseIsoTime(std::string_view s, size_t& pos, int64_t& secs)
{
    int h, mi, se = 0;
    if (!readDigits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':' || !readDigits(s, pos, 2, mi))
        return false;
    double frac = 0;
    if (pos < s.size() && s[pos] == ':') {
        ++pos;
        if (!readDigits(s, pos, 2, se))
            return false;
        if (pos < s.size() && s[pos] == '.') {
            const size_t start = pos;
            ++pos;
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
                ++pos;
            std::from_chars(s.data() + start, s.data() + pos, frac);
        }
    }
    if (h > 23 || mi > 59 || se > 59)
        return false;
    secs = h * 3600 + mi * 60 + se + (frac >= 0.5 ? 1 : 0);
    return true;
}

}  // namespace

bool isoDateText(std::string_view iso, std::string& out)
{
    size_t pos = 0;
    int y, m, d;
    int64_t secs = 0;
    if (iso.size() >= 10 && iso[4] == '-') {
        if (!readDigits(iso, pos, 4, y) || iso[pos++] != '-' || !readDigits(iso, pos, 2, m) ||
            pos >= iso.size() || iso[pos++] != '-' || !readDigits(iso, pos, 2, d))
            return false;
        if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1)
            return false;
        if (pos < iso.size()) {
            if (iso[pos] != 'T' && iso[pos] != ' ')
                return false;
            ++pos;
            if (!parseIsoTime(iso, pos, secs))
                return false;
        }
        if (pos < iso.size() && iso[pos] != 'Z' && iso[pos] != '+' && iso[pos] != '-')
            return false;
        int64_t days = daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
        if (secs >= 86400) {
            ++days;
            secs -= 86400;
        }
        out = formatDate(days, secs);
        return true;
    }
    if (!parseIsoTime(iso, pos, secs) || pos != iso.size())
        return false;
    out.clear();
    appendTime(out, secs % 86400);
    return true;
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

void decodeXmlEscapes(std::string& text)
{
    if (text.find("_x") == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            uint32_t cp = 0;
            bool ok = true;
            for (size_t k = 2; k < 6; ++k) {
                const int v = hexValue(text[i + k]);
                ok = ok && v >= 0;
                cp = cp * 16 + static_cast<uint32_t>(v < 0 ? 0 : v);
            }
            if (ok) {
                // A surrogate pair is written as two escapes.
                if (cp >= 0xD800 && cp <= 0xDBFF && i + 13 < text.size() && text[i + 7] == '_' &&
                    text[i + 8] == 'x' && text[i + 13] == '_') {
                    uint32_t lo = 0;
                    bool okLo = true;
                    for (size_t k = 9; k < 13; ++k) {
                        const int v = hexValue(text[i + k]);
                        okLo = okLo && v >= 0;
                        lo = lo * 16 + static_cast<uint32_t>(v < 0 ? 0 : v);
                    }
                    if (okLo && lo >= 0xDC00 && lo <= 0xDFFF) {
                        appendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00));
                        i += 14;
                        continue;
                    }
                }
                appendUtf8(out, cp);
                i += 7;
                continue;
            }
        }
        out += text[i++];
    }
    text.swap(out);
}

}  // namespace vornicle::exchange
