#pragma once
// The record store: one SQLite connection and one record set over it, with
// the operations the handlers use. No operation throws; each returns its
// plain failure result (false, 0, -1 or empty text). One thread at a time
// may use a store. Stored values read as text by the rules in value_text.h.
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
    // failure (missing or empty file, not a database, a password given: the
    // engine has none). Closes an open connection and the record set first.
    int Connect(const std::string& path, const std::string& password = {});
    // Runs one statement; true when it ran without error. Jet's multi-table
    // UPDATE is rewritten for SQLite. Text after the first statement (other
    // than blanks and semicolons) makes it fail.
    bool Execute(const std::string& sql);
    // Same, with '?' parameters bound to the given texts, so operator text is
    // never read as SQL. An empty text binds the empty text; a parameter count
    // that differs from the statement's placeholders fails.
    bool ExecuteWithParameters(const std::string& sql, const std::vector<std::string>& parameters);
    // Binds the record set to the connection; the binding outlives
    // reconnects. True.
    bool BindConnection();
    bool IsBound() const;
    bool IsConnected() const;

    // Record set. Open is false when unbound, unconnected or on any error;
    // afterwards the first record is current (or the end, when there is
    // none). A statement without a result (delete, update) is carried out and
    // leaves the record set closed. Every Open closes what was open, and a
    // record being added is discarded by Close and Open.
    bool Open(const std::string& source, OpenKind kind);
    bool OpenWithParameters(const std::string& sql, const std::vector<std::string>& parameters);
    void Close();
    bool IsOpen() const;
    // Records of the result as at Open, plus those appended by AddNew; -1
    // when closed.
    int64_t RecordCount();
    // True when there is no current record (after the last, on an empty
    // result, when closed); false on every record. Never moves.
    bool AtEnd();
    // False when refused: closed, no records, MoveNext at the end. A move
    // saves a record being added first.
    bool MoveFirst();
    bool MoveNext();
    bool MoveLast();
    // Starts a new record at the end (only on a record set opened by table
    // name), saving a record still being added first; false when that save
    // fails (the earlier record is then discarded).
    bool AddNew();
    // Sets field `ordinal` (0-based, the table's order) of the record being
    // added; empty text sets NULL. False past the last field or without a
    // record being added.
    bool WriteField(int ordinal, std::string_view text);
    // Saves the record being added (true when there is none). On failure the
    // record is discarded and the record current before AddNew is current.
    bool Update();
    // The named field (case-insensitive) of the current record as text;
    // "" and false for an unknown field or no current record.
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

    // Transactions for the saves: Begin, then Commit or Rollback. A rollback
    // closes a record set that appended records, since they are gone.
    bool Begin();
    bool Commit();
    bool Rollback();

    // The text of the last failure, mostly the engine's message (for log
    // lines); empty if nothing failed since Connect.
    std::string LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The schema of CBC.db (SQL text): the three tables in the field order the
// saves rely on, and the indexes the match and search statements use.
extern const char* const kDatabaseSchema;

// Creates CBC.db with the schema when path does not exist. Returns true when
// the file exists with the schema afterwards; an existing file is never touched.
bool CreateDatabaseIfMissing(const std::string& path, std::string* error = nullptr);

// Rewrites Jet's "update T1,T2 set T1.a=T2.b,... where ..." into SQLite's
// "UPDATE T1 SET a=T2.b,... FROM T2 WHERE ..."; when the values use no field
// of T2, into the semi-join "UPDATE T1 SET a=... WHERE T1.x IN (SELECT T2.y
// FROM T2)" (for a condition "T1.x=T2.y" alone) or "... WHERE EXISTS (SELECT
// 1 FROM T2 WHERE ...)". Any other statement is returned unchanged.
std::string RewriteJetStatement(const std::string& sql);

}  // namespace vornicle
