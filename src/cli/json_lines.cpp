#include "json_lines.h"

namespace vornicle {

void AppendJsonString(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

bool JsonLinesWriter::flush()
{
    if (buffer_.empty())
        return true;
    const bool ok = std::fwrite(buffer_.data(), 1, buffer_.size(), out_) == buffer_.size();
    buffer_.clear();
    return ok;
}

}  // namespace vornicle
