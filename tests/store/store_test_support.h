#pragma once
// Helpers of the record store tests: a fresh CBC.db per test and a second,
// independent connection to look at what was stored.
#include "store/record_store.h"
#include "test_support.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornicle::test {

using Rows = std::vector<std::vector<std::string>>;

// Every row of a query, NULL shown as "<null>"; a failing query adds a test failure.
inline Rows QueryRows(const std::string& path, const std::string& sql)
{
    Rows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                row.emplace_back(text ? text : "<null>");
            }
            rows.push_back(std::move(row));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = makeTempDir().toStdString() + "/CBC.db";
        std::string error;
        ASSERT_TRUE(CreateDatabaseIfMissing(path, &error)) << error;
        ASSERT_EQ(store.Connect(path), 1) << store.LastError();
        ASSERT_TRUE(store.BindConnection());
    }

    void Exec(const std::string& sql) { ASSERT_TRUE(store.Execute(sql)) << sql << ": " << store.LastError(); }

    // Appends consumption rows through the record set as the save does:
    // fields 1..11 from the given cells.
    void SaveConsumption(const std::vector<std::vector<std::string>>& rows)
    {
        ASSERT_TRUE(store.Open("dlc_record_xf", OpenKind::TableName)) << store.LastError();
        store.MoveLast();
        for (const auto& row : rows) {
            ASSERT_TRUE(store.AddNew()) << store.LastError();
            for (size_t j = 0; j < row.size(); ++j)
                ASSERT_TRUE(store.WriteField(static_cast<int>(j) + 1, row[j])) << store.LastError();
        }
        ASSERT_TRUE(store.Update()) << store.LastError();
    }

    Rows Query(const std::string& sql) { return QueryRows(path, sql); }

    std::string path;
    RecordStore store;
};

// A consumption row: date, time, number, name, department, amount, category,
// then the three match fields and the flag.
inline std::vector<std::string> Consumption(const std::string& empno, const std::string& empname,
                                            const std::string& deptname, const std::string& empno1 = "",
                                            const std::string& empname2 = "", const std::string& deptname2 = "",
                                            const std::string& cf = "")
{
    return {"2020/3/13", "09:05:07", empno, empname, deptname, "12.5", "午餐", empno1, empname2, deptname2, cf};
}

}  // namespace vornicle::test
