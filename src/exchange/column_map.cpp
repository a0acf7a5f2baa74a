#include "exchange/column_map.h"

#include "lists/report_list.h"

namespace vornicle {

namespace {

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";  // U+3000

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::vector<std::string> SplitHeaderTitles(std::string_view headerTitles)
{
    std::vector<std::string> titles;
    size_t start = 0;
    for (;;) {
        const size_t bar = headerTitles.find('|', start);
        if (bar == std::string_view::npos) {
            if (start < headerTitles.size())
                titles.emplace_back(headerTitles.substr(start));
            return titles;
        }
        titles.emplace_back(headerTitles.substr(start, bar - start));
        start = bar + 1;
    }
}

std::string_view TrimTitle(std::string_view text)
{
    for (;;) {
        if (text.starts_with(' '))
            text.remove_prefix(1);
        else if (text.starts_with(kFullWidthSpace))
            text.remove_prefix(kFullWidthSpace.size());
        else
            break;
    }
    for (;;) {
        if (text.ends_with(' '))
            text.remove_suffix(1);
        else if (text.ends_with(kFullWidthSpace))
            text.remove_suffix(kFullWidthSpace.size());
        else
            break;
    }
    return text;
}

bool TitlesEqual(std::string_view a, std::string_view b)
{
    a = TrimTitle(a);
    b = TrimTitle(b);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string BuildColumnMap(const ReportList& list, std::string_view headerTitles, std::string_view delimiter,
                           ColumnMap& map)
{
    const std::vector<std::string> titles = SplitHeaderTitles(headerTitles);
    map.assign(titles.size(), -1);
    const int columns = list.columnCount();
    for (size_t t = 0; t < titles.size(); ++t) {
        for (int c = 0; c < columns; ++c) {
            if (TitlesEqual(list.columnTitle(c), titles[t])) {
                map[t] = c;
                break;
            }
        }
    }

    std::string header;
    header.reserve(headerTitles.size() + titles.size() * delimiter.size());
    for (char ch : headerTitles) {
        if (ch == '|')
            header.append(delimiter);
        else
            header.push_back(ch);
    }
    return header;
}

}  // namespace vornicle
