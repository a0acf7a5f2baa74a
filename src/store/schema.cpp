// The schema of CBC.db and its creation.
#include "store/record_store.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vornicle {

// Field order matters: saves write list column j-1 into field ordinal j.
// Join and search keys compare without regard to ASCII case, as Access does.
// The indexes serve the matches (personnel looked up by number, by name, by
// name and department) and the personnel search by number. The consumption
// rows and cf carry none: an index on their empno would cost every save of a
// month and every duplicate test about half again their time, while the
// grouping of the duplicate test sorts the numbers about as fast without it
// and the duplicate flag collects cf's numbers once (see the Jet rewriting).
const char* const kDatabaseSchema =
    "CREATE TABLE dlc_record_xf (\n"
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
    "  skdate TEXT,\n"
    "  sktime TEXT,\n"
    "  empno TEXT COLLATE NOCASE,\n"
    "  empname TEXT COLLATE NOCASE,\n"
    "  deptname TEXT COLLATE NOCASE,\n"
    "  empje01 TEXT,\n"
    "  card TEXT,\n"
    "  empno1 TEXT,\n"
    "  empname2 TEXT,\n"
    "  deptname2 TEXT,\n"
    "  cf TEXT\n"
    ");\n"
    "CREATE TABLE hr_employee (\n"
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
    "  empno TEXT COLLATE NOCASE,\n"
    "  empname TEXT COLLATE NOCASE,\n"
    "  deptname TEXT COLLATE NOCASE,\n"
    "  cardtype TEXT\n"
    ");\n"
    "CREATE TABLE cf (\n"
    "  empno TEXT COLLATE NOCASE,\n"
    "  empname TEXT COLLATE NOCASE\n"
    ");\n"
    "CREATE INDEX hr_employee_empno ON hr_employee(empno);\n"
    "CREATE INDEX hr_employee_empname_deptname ON hr_employee(empname, deptname);\n";

namespace {

void SetError(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
}

// True when the file at path is an SQLite database holding the three tables.
bool HasSchema(const std::string& path, std::string* error)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        SetError(error, path + ": " + (db ? sqlite3_errmsg(db) : "cannot open"));
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    int found = -1;
    if (sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                           "('dlc_record_xf','hr_employee','cf')",
                           -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        found = sqlite3_column_int(stmt, 0);
    else
        SetError(error, path + ": " + sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (found >= 0 && found != 3)
        SetError(error, path + ": the database lacks the tables dlc_record_xf, hr_employee and cf");
    return found == 3;
}

}  // namespace

bool CreateDatabaseIfMissing(const std::string& path, std::string* error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return HasSchema(path, error);
    if (errno != ENOENT) {
        SetError(error, path + ": " + std::strerror(errno));
        return false;
    }

    // Build the database beside the target and link it into place only when
    // complete; link() never replaces a file that appeared meanwhile.
    const std::string temp = path + ".creating-" + std::to_string(::getpid());
    std::remove(temp.c_str());
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    char* message = nullptr;
    if (ok && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, kDatabaseSchema, nullptr, nullptr, &message) == SQLITE_OK &&
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, &message) == SQLITE_OK) {
        ok = true;
    } else {
        SetError(error, path + ": " + (message ? message : (db ? sqlite3_errmsg(db) : "cannot create")));
        ok = false;
    }
    sqlite3_free(message);
    if (sqlite3_close(db) != SQLITE_OK)
        ok = false;
    if (ok && ::link(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        // File systems without hard links: rename, after one more look.
        if ((e == EPERM || e == EOPNOTSUPP || e == ENOSYS) && ::stat(path.c_str(), &st) != 0 &&
            errno == ENOENT && std::rename(temp.c_str(), path.c_str()) == 0)
            return true;
        if (e != EEXIST && ::stat(path.c_str(), &st) == 0)
            e = EEXIST;
        ok = false;
        if (e == EEXIST) {
            std::remove(temp.c_str());
            return HasSchema(path, error);
        }
        SetError(error, path + ": " + std::strerror(e));
    }
    std::remove(temp.c_str());
    std::remove((temp + "-journal").c_str());
    return ok;
}

}  // namespace vornicle
