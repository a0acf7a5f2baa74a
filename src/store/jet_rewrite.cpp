// Jet's multi-table UPDATE, "update T1,T2 set T1.a=T2.b,... where ...", joins
// the listed tables by the WHERE condition and assigns for every joined pair.
// The table whose fields are assigned is the target. For SQLite, a row of it
// takes the values of one partner found by the condition:
// "UPDATE T1 SET (a,...)=(SELECT T2.b,... FROM T2 WHERE ... LIMIT 1) WHERE
// EXISTS (SELECT 1 FROM T2 WHERE ...)" (with more than two tables, "UPDATE T1
// SET a=T2.b,... FROM T2,T3 WHERE ..."). Rows without a partner are not
// touched; with several partners the row ends with the values of one of them,
// as in Jet.
// When the assigned values use only the target's own fields (a flag set to
// a constant), every pair assigns the same, so a semi-join does: with the
// condition "T1.x=T2.y" alone, "UPDATE T1 SET a=... WHERE T1.x IN (SELECT
// T2.y FROM T2)" (the keys are collected once, as "x=y" compares them);
// otherwise "UPDATE T1 SET a=... WHERE EXISTS (SELECT 1 FROM T2 WHERE ...)".
// Either finds one partner per row instead of building every pair.
#include "store/record_store.h"

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace vornicle {

namespace {

bool WordChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) != 0 || c == '_' || c == '$' || u >= 0x80;
}

bool SameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0)
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0)
        s.remove_suffix(1);
    return s;
}

// Index just past a quoted run starting at s[i] ('...', "...", [...], `...`),
// or i when s[i] opens none.
size_t SkipQuoted(std::string_view s, size_t i)
{
    const char open = s[i];
    char close;
    if (open == '\'' || open == '"' || open == '`')
        close = open;
    else if (open == '[')
        close = ']';
    else
        return i;
    for (size_t j = i + 1; j < s.size(); ++j) {
        if (s[j] == close) {
            if (close != ']' && j + 1 < s.size() && s[j + 1] == close) {
                ++j;  // doubled quote inside the run
                continue;
            }
            return j + 1;
        }
    }
    return s.size();
}

// A word outside quotes and brackets at nesting depth 0.
struct Word {
    size_t begin;
    size_t end;
};

std::vector<Word> TopLevelWords(std::string_view s)
{
    std::vector<Word> words;
    int depth = 0;
    size_t i = 0;
    while (i < s.size()) {
        const size_t q = SkipQuoted(s, i);
        if (q != i) {
            i = q;
            continue;
        }
        const char c = s[i];
        if (c == '(') {
            ++depth;
            ++i;
        } else if (c == ')') {
            --depth;
            ++i;
        } else if (WordChar(c)) {
            size_t j = i;
            while (j < s.size() && WordChar(s[j]))
                ++j;
            if (depth == 0)
                words.push_back({i, j});
            i = j;
        } else {
            ++i;
        }
    }
    return words;
}

// Position of the first occurrence of c at or after `from` that stands
// outside quotes and parentheses, or npos.
size_t FindTopLevel(std::string_view s, char c, size_t from = 0)
{
    int depth = 0;
    size_t i = from;
    while (i < s.size()) {
        const size_t q = SkipQuoted(s, i);
        if (q != i) {
            i = q;
            continue;
        }
        if (s[i] == '(')
            ++depth;
        else if (s[i] == ')')
            --depth;
        else if (s[i] == c && depth == 0)
            return i;
        ++i;
    }
    return std::string_view::npos;
}

// Splits at a separator that stands outside quotes and parentheses.
std::vector<std::string_view> SplitTopLevel(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t at = FindTopLevel(s, separator); at != std::string_view::npos;
         at = FindTopLevel(s, separator, start)) {
        parts.push_back(s.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(s.substr(start));
    return parts;
}

std::string_view Unquoted(std::string_view name)
{
    if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') ||
                             (name.front() == '"' && name.back() == '"') ||
                             (name.front() == '`' && name.back() == '`')))
        return name.substr(1, name.size() - 2);
    return name;
}

// An identifier: a run of word characters or one quoted run.
bool Identifier(std::string_view s)
{
    if (s.empty())
        return false;
    if (SkipQuoted(s, 0) == s.size() && s.front() != '\'')
        return s.size() >= 2;
    for (const char c : s)
        if (!WordChar(c))
            return false;
    return true;
}

// "qualifier.column" and nothing else.
bool QualifiedColumn(std::string_view text, std::string_view& qualifier, std::string_view& column)
{
    text = Trim(text);
    size_t dot = std::string_view::npos;
    for (size_t i = 0; i < text.size();) {
        const size_t q = SkipQuoted(text, i);
        if (q != i) {
            i = q;
            continue;
        }
        if (text[i] == '.') {
            if (dot != std::string_view::npos)
                return false;
            dot = i;
        }
        ++i;
    }
    if (dot == std::string_view::npos)
        return false;
    qualifier = text.substr(0, dot);
    column = text.substr(dot + 1);
    return Identifier(qualifier) && Identifier(column);
}

// One entry of the table list: "name", "name alias" or "name AS alias".
struct TableItem {
    std::string_view text;
    std::string_view name;
    std::string_view alias;
};

bool ParseTableItem(std::string_view text, TableItem& item)
{
    item.text = Trim(text);
    std::vector<std::string_view> tokens;
    std::string_view rest = item.text;
    while (!rest.empty()) {
        size_t i = 0;
        while (i < rest.size() && std::isspace(static_cast<unsigned char>(rest[i])) == 0) {
            const size_t q = SkipQuoted(rest, i);
            i = q != i ? q : i + 1;
        }
        tokens.push_back(rest.substr(0, i));
        rest = Trim(rest.substr(i));
    }
    if (tokens.size() == 1) {
        item.name = tokens[0];
        item.alias = {};
    } else if (tokens.size() == 2) {
        item.name = tokens[0];
        item.alias = tokens[1];
    } else if (tokens.size() == 3 && SameWord(tokens[1], "as")) {
        item.name = tokens[0];
        item.alias = tokens[2];
    } else {
        return false;
    }
    return !item.name.empty();
}

bool ItemIsCalled(const TableItem& item, std::string_view qualifier)
{
    const std::string_view q = Unquoted(Trim(qualifier));
    if (!item.alias.empty())
        return SameWord(Unquoted(item.alias), q);
    return SameWord(Unquoted(item.name), q);
}

}  // namespace

std::string RewriteJetStatement(const std::string& sql)
{
    const std::string_view s(sql);
    const std::vector<Word> words = TopLevelWords(s);
    if (words.size() < 3)
        return sql;
    const auto text = [&s](const Word& w) { return s.substr(w.begin, w.end - w.begin); };
    if (!SameWord(text(words[0]), "update") || !Trim(s.substr(0, words[0].begin)).empty())
        return sql;

    size_t setIndex = 0;
    for (size_t i = 1; i < words.size(); ++i)
        if (SameWord(text(words[i]), "set")) {
            setIndex = i;
            break;
        }
    if (setIndex == 0)
        return sql;
    size_t whereIndex = 0;
    for (size_t i = setIndex + 1; i < words.size(); ++i)
        if (SameWord(text(words[i]), "where")) {
            whereIndex = i;
            break;
        }

    const std::string_view tableList = s.substr(words[0].end, words[setIndex].begin - words[0].end);
    const std::vector<std::string_view> tableTexts = SplitTopLevel(tableList, ',');
    if (tableTexts.size() < 2)
        return sql;  // a single-table UPDATE is plain SQL already
    std::vector<TableItem> tables(tableTexts.size());
    for (size_t i = 0; i < tableTexts.size(); ++i)
        if (!ParseTableItem(tableTexts[i], tables[i]))
            return sql;

    const size_t assignEnd = whereIndex != 0 ? words[whereIndex].begin : s.size();
    const std::string_view assignText = s.substr(words[setIndex].end, assignEnd - words[setIndex].end);
    struct Assignment {
        std::string_view column;
        std::string_view value;
    };
    std::vector<Assignment> assignments;
    size_t target = tables.size();
    for (const std::string_view part : SplitTopLevel(assignText, ',')) {
        const size_t eq = FindTopLevel(part, '=');
        if (eq == std::string_view::npos)
            return sql;
        const std::string_view lhs = Trim(part.substr(0, eq));
        const std::string_view value = Trim(part.substr(eq + 1));
        if (lhs.empty() || value.empty())
            return sql;
        // The qualifier is what stands before the last top-level dot.
        size_t dot = std::string_view::npos;
        for (size_t i = 0; i < lhs.size();) {
            const size_t q = SkipQuoted(lhs, i);
            if (q != i) {
                i = q;
                continue;
            }
            if (lhs[i] == '.')
                dot = i;
            ++i;
        }
        size_t owner = 0;
        std::string_view column = lhs;
        if (dot != std::string_view::npos) {
            const std::string_view qualifier = lhs.substr(0, dot);
            column = Trim(lhs.substr(dot + 1));
            owner = tables.size();
            for (size_t t = 0; t < tables.size(); ++t)
                if (ItemIsCalled(tables[t], qualifier)) {
                    owner = t;
                    break;
                }
            if (owner == tables.size())
                return sql;
        }
        if (target != tables.size() && target != owner)
            return sql;  // assignments to two tables: SQLite updates one table only
        target = owner;
        assignments.push_back({column, value});
    }
    if (assignments.empty())
        return sql;

    // Does a value name one of the joined tables? When none does, every
    // joined pair assigns the same values, and a semi-join gives the same
    // result without building every pair.
    bool valuesUseJoined = false;
    for (const Assignment& a : assignments) {
        const std::string_view v = a.value;
        size_t i = 0;
        while (i < v.size() && !valuesUseJoined) {
            size_t end = SkipQuoted(v, i);
            if (end != i && v[i] == '\'') {
                i = end;
                continue;
            }
            if (end == i) {
                if (!WordChar(v[i])) {
                    ++i;
                    continue;
                }
                while (end < v.size() && WordChar(v[end]))
                    ++end;
            }
            if (end < v.size() && v[end] == '.') {
                for (size_t t = 0; t < tables.size(); ++t)
                    if (t != target && ItemIsCalled(tables[t], v.substr(i, end - i)))
                        valuesUseJoined = true;
            }
            i = end;
        }
    }

    // The assignments' columns, values, or "column=value" pairs, by commas.
    const auto joinAssignments = [&assignments](bool column, bool value) {
        std::string text;
        for (size_t i = 0; i < assignments.size(); ++i) {
            if (i != 0)
                text += ',';
            if (column)
                text.append(assignments[i].column);
            if (column && value)
                text += '=';
            if (value)
                text.append(assignments[i].value);
        }
        return text;
    };
    std::string out = "UPDATE ";
    out.append(tables[target].text);
    out += " SET " + joinAssignments(true, true);
    std::string others;
    for (size_t t = 0; t < tables.size(); ++t) {
        if (t == target)
            continue;
        if (!others.empty())
            others += ',';
        others.append(tables[t].text);
    }
    const std::string_view condition = whereIndex != 0 ? s.substr(words[whereIndex].end) : std::string_view();
    if (!valuesUseJoined && tables.size() == 2) {
        // "T1.x=T2.y" alone: the partners' keys are collected once.
        const size_t eq = FindTopLevel(condition, '=');
        std::string_view leftQualifier, leftColumn, rightQualifier, rightColumn;
        if (eq != std::string_view::npos &&
            QualifiedColumn(condition.substr(0, eq), leftQualifier, leftColumn) &&
            QualifiedColumn(condition.substr(eq + 1), rightQualifier, rightColumn) &&
            ItemIsCalled(tables[target], leftQualifier) && ItemIsCalled(tables[1 - target], rightQualifier)) {
            out += " WHERE ";
            out.append(Trim(condition.substr(0, eq)));
            out += " IN (SELECT ";
            out.append(Trim(condition.substr(eq + 1)));
            out += " FROM " + others + ")";
            return out;
        }
    }
    if (!valuesUseJoined) {
        out += " WHERE EXISTS (SELECT 1 FROM " + others;
        if (whereIndex != 0) {
            out += " WHERE";
            out.append(condition);
        }
        out += ')';
        return out;
    }
    if (tables.size() == 2 && whereIndex != 0) {
        // Each target row takes its values from one partner row, looked up
        // once: "SET (a,b)=(SELECT T2.x,T2.y FROM T2 WHERE ... LIMIT 1) WHERE
        // EXISTS (...)". UPDATE ... FROM would build every joined pair and
        // write a row once per partner, which costs a month matched by name
        // (many people share a name) about half again the time.
        std::string joined = "UPDATE ";
        joined.append(tables[target].text);
        joined += " SET (" + joinAssignments(true, false) + ")=(SELECT " + joinAssignments(false, true);
        joined += " FROM " + others + " WHERE";
        joined.append(condition);
        joined += " LIMIT 1) WHERE EXISTS (SELECT 1 FROM " + others + " WHERE";
        joined.append(condition);
        joined += ')';
        return joined;
    }
    out += " FROM " + others;
    if (whereIndex != 0) {
        out += " WHERE";
        out.append(condition);
    }
    return out;
}

}  // namespace vornicle
