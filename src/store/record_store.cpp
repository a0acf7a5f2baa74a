// The record store on SQLite.
//
// The record set keeps one prepared statement over its source and steps it
// as the position moves; nothing of the result is copied. The position is a
// row index, and the statement is brought to it only when a field is read,
// so MoveLast before appending costs one count query and no row reads. The
// record count is counted once (when first asked for, or before the first
// write through this store, whichever comes first) and then kept, as a static
// cursor's count is: it changes only by the records appended through AddNew.
// Appended records are read back by their row id.
#include "store/record_store.h"

#include "store/value_text.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace vornicle {

using store_detail::FieldKind;

namespace {

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

// True when only blanks and semicolons are left.
bool OnlyBlanks(const char* tail)
{
    for (; tail != nullptr && *tail != '\0'; ++tail)
        if (std::isspace(static_cast<unsigned char>(*tail)) == 0 && *tail != ';')
            return false;
    return true;
}

std::string QuoteIdentifier(std::string_view name)
{
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

// A table name as given to Open: blanks trimmed, one pair of [], "" or ``
// quotes removed.
std::string PlainTableName(const std::string& source)
{
    std::string_view s(source);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0)
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0)
        s.remove_suffix(1);
    if (s.size() >= 2 && ((s.front() == '[' && s.back() == ']') || (s.front() == '"' && s.back() == '"') ||
                          (s.front() == '`' && s.back() == '`')))
        s = s.substr(1, s.size() - 2);
    return std::string(s);
}

}  // namespace

struct RecordStore::Impl {
    sqlite3* db = nullptr;
    bool bound = false;
    std::string lastError;

    // The open record set.
    bool open = false;
    sqlite3_stmt* query = nullptr;  // the source, stepped as the position moves
    std::string querySql;           // for the count
    std::vector<std::string> queryParameters;
    std::string table;              // quoted table name when opened by name
    int columns = 0;
    std::vector<std::string> names;
    std::vector<FieldKind> kinds;
    std::vector<std::string> scratch;  // converted texts of the current record

    int64_t queryRow = -1;   // row the query statement stands on, -1 before the first
    int64_t baseCount = -1;  // rows of the source at open, -1 until counted
    int64_t position = 0;    // current row when !atEnd
    bool atEnd = true;
    std::vector<sqlite3_int64> appended;  // row ids of records saved through AddNew
    sqlite3_stmt* rowById = nullptr;
    sqlite3_int64 rowByIdLoaded = 0;
    bool rowByIdValid = false;

    // The record being added.
    bool pending = false;
    int64_t positionBeforeAdd = 0;
    bool atEndBeforeAdd = true;
    std::vector<std::string> values;
    std::vector<char> written;
    std::vector<char> isNull;
    sqlite3_stmt* insert = nullptr;
    std::vector<char> insertColumns;  // which fields the prepared INSERT names

    ~Impl()
    {
        CloseRecordSet();
        if (db != nullptr)
            sqlite3_close_v2(db);
    }

    bool Fail(const std::string& message)
    {
        lastError = message;
        return false;
    }
    bool FailDb(const char* what)
    {
        lastError = std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database connection");
        return false;
    }

    void CloseRecordSet()
    {
        sqlite3_finalize(query);
        sqlite3_finalize(rowById);
        sqlite3_finalize(insert);
        query = rowById = insert = nullptr;
        open = false;
        querySql.clear();
        queryParameters.clear();
        table.clear();
        columns = 0;
        names.clear();
        kinds.clear();
        scratch.clear();
        queryRow = -1;
        baseCount = -1;
        position = 0;
        atEnd = true;
        appended.clear();
        appended.shrink_to_fit();
        rowByIdValid = false;
        pending = false;
        values.clear();
        written.clear();
        isNull.clear();
        insertColumns.clear();
    }

    // Prepares exactly one statement; trailing text other than blanks and
    // semicolons is refused so that no second statement can ride along.
    sqlite3_stmt* Prepare(const std::string& sql)
    {
        if (db == nullptr) {
            Fail("no database connection");
            return nullptr;
        }
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) != SQLITE_OK) {
            FailDb("prepare");
            sqlite3_finalize(stmt);
            return nullptr;
        }
        if (stmt == nullptr) {
            Fail("empty statement");
            return nullptr;
        }
        if (!OnlyBlanks(tail)) {
            sqlite3_finalize(stmt);
            Fail("more than one statement");
            return nullptr;
        }
        return stmt;
    }

    bool Bind(sqlite3_stmt* stmt, const std::vector<std::string>& parameters)
    {
        if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(parameters.size()))
            return Fail("the statement has " + std::to_string(sqlite3_bind_parameter_count(stmt)) +
                        " parameters, " + std::to_string(parameters.size()) + " given");
        for (size_t i = 0; i < parameters.size(); ++i)
            if (sqlite3_bind_text(stmt, static_cast<int>(i) + 1, parameters[i].data(),
                                  static_cast<int>(parameters[i].size()), SQLITE_TRANSIENT) != SQLITE_OK)
                return FailDb("bind");
        return true;
    }

    // Runs a statement to its end; a query only as far as its first row.
    bool Run(sqlite3_stmt* stmt)
    {
        const bool query = sqlite3_stmt_readonly(stmt) != 0;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW && !query) {
        }
        const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
        if (!ok)
            FailDb("execute");
        sqlite3_finalize(stmt);
        return ok;
    }

    // The count of the source, from a count query (or by stepping a second
    // statement when the source cannot be wrapped).
    int64_t CountSource()
    {
        std::string sql = querySql;
        while (!sql.empty() && (std::isspace(static_cast<unsigned char>(sql.back())) != 0 || sql.back() == ';'))
            sql.pop_back();
        sqlite3_stmt* stmt = nullptr;
        const std::string countSql = table.empty() ? "SELECT count(*) FROM (" + sql + "\n)" : "SELECT count(*) FROM " + table;
        if (sqlite3_prepare_v2(db, countSql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && stmt != nullptr &&
            Bind(stmt, queryParameters)) {
            int64_t n = -1;
            if (sqlite3_step(stmt) == SQLITE_ROW)
                n = sqlite3_column_int64(stmt, 0);
            sqlite3_finalize(stmt);
            if (n >= 0)
                return n;
        } else {
            sqlite3_finalize(stmt);
        }
        stmt = Prepare(querySql);
        if (stmt == nullptr || !Bind(stmt, queryParameters)) {
            sqlite3_finalize(stmt);
            return -1;
        }
        int64_t n = 0;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            ++n;
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            FailDb("count");
            return -1;
        }
        return n;
    }

    // Fixes the count before anything is written through this store, so a
    // later count is still the count at open.
    void FreezeCount()
    {
        if (open && baseCount < 0) {
            baseCount = CountSource();
            if (baseCount < 0)
                baseCount = queryRow + 1;  // count unavailable: what is known to exist
        }
    }

    int64_t Total() const { return baseCount + static_cast<int64_t>(appended.size()) + (pending ? 1 : 0); }

    // Brings the query statement onto row `row`: SQLITE_ROW when there,
    // SQLITE_DONE when the source has fewer rows, else the error.
    int StepTo(int64_t row)
    {
        if (queryRow > row) {
            sqlite3_reset(query);
            queryRow = -1;
        }
        while (queryRow < row) {
            const int rc = sqlite3_step(query);
            if (rc != SQLITE_ROW) {
                if (rc != SQLITE_DONE)
                    FailDb("read");
                sqlite3_reset(query);
                queryRow = -1;
                return rc == SQLITE_DONE ? SQLITE_DONE : rc;
            }
            ++queryRow;
        }
        return SQLITE_ROW;
    }

    // Releases the query statement's hold on the database (before a commit
    // or rollback); it steps back to the position when next read.
    void ParkQuery()
    {
        if (query != nullptr && queryRow >= 0) {
            sqlite3_reset(query);
            queryRow = -1;
        }
        if (rowById != nullptr) {
            sqlite3_reset(rowById);
            rowByIdValid = false;
        }
    }

    // Reads column `column` of the current record into out.
    bool ReadColumn(int column, std::string_view& out)
    {
        out = {};
        if (!open) {
            lastError = "the record set is closed";
            return false;
        }
        if (atEnd) {
            lastError = "no current record";
            return false;
        }
        if (column < 0 || column >= columns) {
            lastError = "no such field";
            return false;
        }
        std::string& buf = scratch[static_cast<size_t>(column)];
        if (pending) {
            const auto c = static_cast<size_t>(column);
            out = store_detail::TextValue(values[c], !written[c] || isNull[c], kinds[c], buf);
            return true;
        }
        if (baseCount < 0 || position < baseCount) {
            const int rc = StepTo(position);
            if (rc != SQLITE_ROW) {
                if (rc == SQLITE_DONE)
                    lastError = "the record no longer exists";
                return false;
            }
            out = store_detail::ColumnText(query, column, kinds[static_cast<size_t>(column)], buf);
            return true;
        }
        const sqlite3_int64 id = appended[static_cast<size_t>(position - baseCount)];
        if (!rowByIdValid || rowByIdLoaded != id) {
            if (rowById == nullptr) {
                rowById = Prepare("SELECT * FROM " + table + " WHERE rowid=?");
                if (rowById == nullptr)
                    return false;
            }
            sqlite3_reset(rowById);
            sqlite3_bind_int64(rowById, 1, id);
            rowByIdValid = false;
            if (sqlite3_step(rowById) != SQLITE_ROW) {
                sqlite3_reset(rowById);
                lastError = "the record no longer exists";
                return false;
            }
            rowByIdValid = true;
            rowByIdLoaded = id;
        }
        if (column >= sqlite3_column_count(rowById))
            return false;
        out = store_detail::ColumnText(rowById, column, kinds[static_cast<size_t>(column)], buf);
        return true;
    }

    // Saves the record being added. On failure it is discarded and the
    // position returns to where it was before AddNew.
    bool SavePending()
    {
        if (!pending)
            return true;
        bool ok = false;
        if (insert == nullptr || insertColumns != written) {
            sqlite3_finalize(insert);
            insert = nullptr;
            std::string sql = "INSERT INTO " + table;
            std::string list, marks;
            for (int c = 0; c < columns; ++c) {
                if (!written[static_cast<size_t>(c)])
                    continue;
                if (!list.empty()) {
                    list += ',';
                    marks += ',';
                }
                list += QuoteIdentifier(names[static_cast<size_t>(c)]);
                marks += '?';
            }
            sql += list.empty() ? std::string(" DEFAULT VALUES") : " (" + list + ") VALUES (" + marks + ")";
            insert = Prepare(sql);
            insertColumns = written;
        }
        if (insert != nullptr) {
            int parameter = 1;
            for (int c = 0; c < columns; ++c) {
                const auto i = static_cast<size_t>(c);
                if (!written[i])
                    continue;
                if (isNull[i])
                    sqlite3_bind_null(insert, parameter);
                else
                    sqlite3_bind_text(insert, parameter, values[i].data(), static_cast<int>(values[i].size()),
                                      SQLITE_STATIC);
                ++parameter;
            }
            ok = sqlite3_step(insert) == SQLITE_DONE;
            if (!ok)
                FailDb("save the new record");
            sqlite3_reset(insert);
        }
        pending = false;
        if (ok) {
            appended.push_back(sqlite3_last_insert_rowid(db));
            position = baseCount + static_cast<int64_t>(appended.size()) - 1;
            atEnd = false;
        } else {
            position = positionBeforeAdd;
            atEnd = atEndBeforeAdd;
        }
        return ok;
    }

    bool PrepareOpen(sqlite3_stmt* stmt, const std::string& sql, const std::vector<std::string>& parameters,
                     const std::string& tableName)
    {
        query = stmt;
        querySql = sql;
        queryParameters = parameters;
        table = tableName;
        columns = sqlite3_column_count(stmt);
        names.resize(static_cast<size_t>(columns));
        kinds.resize(static_cast<size_t>(columns));
        scratch.assign(static_cast<size_t>(columns), std::string());
        for (int c = 0; c < columns; ++c) {
            const char* name = sqlite3_column_name(stmt, c);
            names[static_cast<size_t>(c)] = name ? name : "";
            kinds[static_cast<size_t>(c)] = store_detail::ClassifyDeclaredType(sqlite3_column_decltype(stmt, c));
        }
        open = true;
        const int rc = StepTo(0);
        if (rc == SQLITE_ROW) {
            position = 0;
            atEnd = false;
            return true;
        }
        if (rc == SQLITE_DONE) {
            baseCount = 0;
            atEnd = true;
            return true;
        }
        CloseRecordSet();
        return false;
    }
};

RecordStore::RecordStore() : impl_(std::make_unique<Impl>()) {}
RecordStore::~RecordStore() = default;

int RecordStore::Connect(const std::string& path, const std::string& password)
{
    Impl& d = *impl_;
    d.CloseRecordSet();
    if (d.db != nullptr) {
        sqlite3_close_v2(d.db);
        d.db = nullptr;
    }
    d.lastError.clear();
    if (!password.empty()) {
        d.Fail("database passwords are not supported");
        return 0;
    }
    // An empty file would pass for an empty database; it is not one.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        d.Fail(path + ": no database file");
        return 0;
    }
    sqlite3* db = nullptr;
    // No SQLITE_OPEN_CREATE: a missing file stays missing. The store is used
    // by one thread at a time, so the connection needs no mutex of its own.
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        d.lastError = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
        sqlite3_close(db);
        return 0;
    }
    // Reading the schema proves the file is a database.
    sqlite3_stmt* stmt = nullptr;
    const bool ok = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr) == SQLITE_OK &&
                    sqlite3_step(stmt) == SQLITE_ROW;
    if (!ok)
        d.lastError = path + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    if (!ok) {
        sqlite3_close(db);
        return 0;
    }
    sqlite3_busy_timeout(db, 2000);
    // A month updated in place (the duplicate flags, the matches) fits in the
    // page cache, and sorting a month's numbers stays in memory.
    sqlite3_exec(db, "PRAGMA cache_size=-262144; PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr);
    d.db = db;
    return 1;
}

bool RecordStore::Execute(const std::string& sql) { return ExecuteWithParameters(sql, {}); }

bool RecordStore::ExecuteWithParameters(const std::string& sql, const std::vector<std::string>& parameters)
{
    Impl& d = *impl_;
    sqlite3_stmt* stmt = d.Prepare(RewriteJetStatement(sql));
    if (stmt == nullptr)
        return false;
    if (!d.Bind(stmt, parameters)) {
        sqlite3_finalize(stmt);
        return false;
    }
    if (sqlite3_stmt_readonly(stmt) == 0)
        d.FreezeCount();
    return d.Run(stmt);
}

bool RecordStore::BindConnection()
{
    impl_->bound = true;
    return true;
}

bool RecordStore::IsBound() const { return impl_->bound; }
bool RecordStore::IsConnected() const { return impl_->db != nullptr; }

bool RecordStore::Open(const std::string& source, OpenKind kind)
{
    if (kind == OpenKind::SqlText)
        return OpenWithParameters(source, {});
    Impl& d = *impl_;
    if (!d.bound)
        return d.Fail("the record set is not bound to the connection");
    d.CloseRecordSet();
    const std::string table = QuoteIdentifier(PlainTableName(source));
    const std::string sql = "SELECT * FROM " + table;
    sqlite3_stmt* stmt = d.Prepare(sql);
    if (stmt == nullptr)
        return false;
    return d.PrepareOpen(stmt, sql, {}, table);
}

bool RecordStore::OpenWithParameters(const std::string& sql, const std::vector<std::string>& parameters)
{
    Impl& d = *impl_;
    if (!d.bound)
        return d.Fail("the record set is not bound to the connection");
    d.CloseRecordSet();
    const std::string text = RewriteJetStatement(sql);
    sqlite3_stmt* stmt = d.Prepare(text);
    if (stmt == nullptr)
        return false;
    if (!d.Bind(stmt, parameters)) {
        sqlite3_finalize(stmt);
        return false;
    }
    // A statement without a result is carried out; the record set stays closed.
    if (sqlite3_column_count(stmt) == 0)
        return d.Run(stmt);
    return d.PrepareOpen(stmt, text, parameters, {});
}

void RecordStore::Close() { impl_->CloseRecordSet(); }

bool RecordStore::IsOpen() const { return impl_->open; }

int64_t RecordStore::RecordCount()
{
    Impl& d = *impl_;
    if (!d.open)
        return -1;
    if (d.baseCount < 0) {
        const int64_t n = d.CountSource();
        if (n < 0)
            return -1;  // the engine could not tell
        d.baseCount = n;
    }
    return d.Total();
}

bool RecordStore::AtEnd()
{
    const Impl& d = *impl_;
    return !d.open || d.atEnd;
}

bool RecordStore::MoveFirst()
{
    Impl& d = *impl_;
    if (!d.open || !d.SavePending())
        return false;
    if (d.baseCount < 0) {
        // Not yet counted: nothing was written since the open, so the source
        // itself tells whether a first row exists.
        const int rc = d.StepTo(0);
        if (rc != SQLITE_ROW) {
            if (rc == SQLITE_DONE)
                d.baseCount = 0;
            return false;
        }
    } else if (d.Total() == 0) {
        return d.Fail("no records");
    }
    d.position = 0;
    d.atEnd = false;
    return true;
}

bool RecordStore::MoveNext()
{
    Impl& d = *impl_;
    if (!d.open || !d.SavePending())
        return false;
    if (d.atEnd)
        return d.Fail("at the end of the record set");
    const int64_t next = d.position + 1;
    if (d.baseCount >= 0) {
        if (next >= d.Total())
            d.atEnd = true;
        else
            d.position = next;
        return true;
    }
    const int rc = d.StepTo(next);
    if (rc == SQLITE_ROW) {
        d.position = next;
        return true;
    }
    // The end of the source; a read error ends it too, so that no loop waits
    // for an end that never comes.
    d.baseCount = next;
    d.atEnd = true;
    return rc == SQLITE_DONE;
}

bool RecordStore::MoveLast()
{
    Impl& d = *impl_;
    if (!d.open || !d.SavePending())
        return false;
    d.FreezeCount();
    const int64_t total = d.Total();
    if (total <= 0)
        return d.Fail("no records");
    d.position = total - 1;
    d.atEnd = false;
    return true;
}

bool RecordStore::AddNew()
{
    Impl& d = *impl_;
    if (!d.open)
        return d.Fail("the record set is closed");
    if (d.table.empty())
        return d.Fail("records can be added only to a record set opened on a table");
    if (!d.SavePending())
        return false;
    d.FreezeCount();
    const auto n = static_cast<size_t>(d.columns);
    if (d.values.size() != n) {
        d.values.assign(n, std::string());
        d.written.assign(n, 0);
        d.isNull.assign(n, 1);
    } else {
        std::fill(d.written.begin(), d.written.end(), 0);
        std::fill(d.isNull.begin(), d.isNull.end(), 1);
    }
    d.positionBeforeAdd = d.position;
    d.atEndBeforeAdd = d.atEnd;
    d.pending = true;
    d.position = d.Total() - 1;
    d.atEnd = false;
    return true;
}

bool RecordStore::WriteField(int ordinal, std::string_view text)
{
    Impl& d = *impl_;
    if (!d.open || !d.pending)
        return d.Fail("no record being added");
    if (ordinal < 0 || ordinal >= d.columns)
        return d.Fail("field ordinal " + std::to_string(ordinal) + " out of range");
    const auto i = static_cast<size_t>(ordinal);
    d.written[i] = 1;
    d.isNull[i] = text.empty() ? 1 : 0;
    d.values[i].assign(text);
    return true;
}

bool RecordStore::Update()
{
    Impl& d = *impl_;
    if (!d.open)
        return d.Fail("the record set is closed");
    return d.SavePending();
}

bool RecordStore::ReadField(const std::string& name, std::string& out)
{
    std::string_view view;
    const int column = FieldIndex(name);
    bool ok;
    if (column < 0) {
        impl_->lastError = "no field " + name;
        ok = false;
    } else {
        ok = impl_->ReadColumn(column, view);
    }
    out = std::string(view);
    return ok;
}

std::string RecordStore::ReadFieldText(const std::string& name)
{
    return std::string(ReadFieldView(FieldIndex(name)));
}

int RecordStore::FieldIndex(std::string_view name) const
{
    const Impl& d = *impl_;
    for (int c = 0; c < d.columns; ++c)
        if (SameName(d.names[static_cast<size_t>(c)], name))
            return c;
    return -1;
}

int RecordStore::FieldCount() const { return impl_->open ? impl_->columns : 0; }

std::string_view RecordStore::ReadFieldView(int column)
{
    std::string_view out;
    impl_->ReadColumn(column, out);
    return out;
}

bool RecordStore::ReadFieldAt(int column, std::string_view& out) { return impl_->ReadColumn(column, out); }

bool RecordStore::Begin()
{
    Impl& d = *impl_;
    if (d.db == nullptr)
        return d.Fail("no database connection");
    return sqlite3_exec(d.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK || d.FailDb("begin");
}

bool RecordStore::Commit()
{
    Impl& d = *impl_;
    if (d.db == nullptr)
        return d.Fail("no database connection");
    d.ParkQuery();
    return sqlite3_exec(d.db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK || d.FailDb("commit");
}

bool RecordStore::Rollback()
{
    Impl& d = *impl_;
    if (d.db == nullptr)
        return d.Fail("no database connection");
    // Records appended through the record set vanish with the rollback, so
    // a record set holding any is closed with it.
    if (d.pending || !d.appended.empty())
        d.CloseRecordSet();
    d.ParkQuery();
    return sqlite3_exec(d.db, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK || d.FailDb("rollback");
}

std::string RecordStore::LastError() const { return impl_->lastError; }

}  // namespace vornicle
