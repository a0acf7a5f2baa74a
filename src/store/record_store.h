#pragma once
// The record store: one SQLite connection and one record set over it, with
// the operations the handlers use. No operation throws; each returns its
// plain failure result (false, 0, -1 or empty text).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornicle {

enum class OpenKind { SqlText = 1, TableName = 2 };

class RecordStore {
public:
    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Opens the database file at path (never creates it). 1 on success, 0 on
    // failure (missing file, not a database). Closes an open connection first.
    int Connect(const std::string& path, const std::string& password = {});
    // Runs one statement; true when it ran without error. Jet's multi-table
    // UPDATE is rewritten for SQLite.
    bool Execute(const std::string& sql);
    // Same, with '?' parameters bound to the given texts, so operator text is
    // never read as SQL. An empty text binds the empty text; a parameter count
    // that differs from the statement's placeholders fails.
    bool ExecuteWithParameters(const std::string& sql, const std::vector<std::string>& parameters);
    // Binds the record set to the connection. True.
    bool BindConnection();
    bool IsBound() const;
    bool IsConnected() const;

    // Record set.
    bool Open(const std::string& source, OpenKind kind);
    bool OpenWithParameters(const std::string& sql, const std::vector<std::string>& parameters);
    void Close();
    bool IsOpen() const;
    int64_t RecordCount();
    bool AtEnd();
    bool MoveFirst();
    bool MoveNext();
    bool MoveLast();
    bool AddNew();
    bool WriteField(int ordinal, std::string_view text);
    bool Update();
    bool ReadField(const std::string& name, std::string& out);
    std::string ReadFieldText(const std::string& name);

    // Fast paths for the list loops. FieldIndex gives the column of a field
    // name of the open result (case-insensitive, -1 when unknown); it stays
    // valid until the next Open. ReadFieldView gives the text of that column
    // of the current record without a copy, empty on any failure; the view is
    // valid until the position moves or the record set closes. ReadFieldAt
    // tells a failure apart from an empty value.
    int FieldIndex(std::string_view name) const;
    int FieldCount() const;
    std::string_view ReadFieldView(int column);
    bool ReadFieldAt(int column, std::string_view& out);

    // Transactions for the saves: Begin, then Commit or Rollback.
    bool Begin();
    bool Commit();
    bool Rollback();

    // The last error text of the database engine (for log lines), empty if none.
    std::string LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The schema of CBC.db: the three tables in the field order the saves rely
// on, and the indexes the duplicate, match and search statements use.
extern const char* const kDatabaseSchema;

// Creates CBC.db with the schema when path does not exist. Returns true when
// the file exists with the schema afterwards; an existing file is never touched.
bool CreateDatabaseIfMissing(const std::string& path, std::string* error = nullptr);

// Rewrites Jet's "update T1,T2 set T1.a=T2.b,... where ..." into SQLite's
// "UPDATE T1 SET a=T2.b,... FROM T2 WHERE ..."; any other statement is
// returned unchanged.
std::string RewriteJetStatement(const std::string& sql);

}  // namespace vornicle
