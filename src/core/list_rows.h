#pragma once
// Moving rows between a report list and the record set, the way both pages
// do: filling a list from a table or a query, and appending a list to a
// table. Field names are resolved to result columns once per fill and cells
// are read without copies; loops report their progress now and then.
#include "core/loop_progress.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vornicle {

namespace list_rows_detail {

template <typename Store, size_t N>
std::array<int, N> fieldColumns(Store& store, const std::array<const char*, N>& fields)
{
    std::array<int, N> columns{};
    for (size_t c = 0; c < N; ++c)
        columns[c] = store.FieldIndex(fields[c]);
    return columns;
}

// A field the result lacks reads as an empty cell.
template <typename Store, size_t N>
void readRow(Store& store, const std::array<int, N>& columns, std::array<std::string_view, N>& cells)
{
    for (size_t c = 0; c < N; ++c)
        cells[c] = columns[c] < 0 ? std::string_view() : store.ReadFieldView(columns[c]);
}

template <typename List>
class BatchGuard {
public:
    explicit BatchGuard(List& list) : list_(list) { list_.beginBatch(); }
    ~BatchGuard() { list_.endBatch(); }
    BatchGuard(const BatchGuard&) = delete;
    BatchGuard& operator=(const BatchGuard&) = delete;

private:
    List& list_;
};

}  // namespace list_rows_detail

// The table read as the refreshes read it: RecordCount once, then that many
// rows with MoveNext; the record set is left open. The list is emptied first.
template <typename Store, typename List, size_t N>
void FillListFromOpenTable(Store& store, List& list, const std::array<const char*, N>& fields, OperatorInterface& ui)
{
    list_rows_detail::BatchGuard<List> batch(list);
    list.clear();
    const int64_t n = store.RecordCount();
    list.reserveRows(n);
    LoopProgress progress(ui, n);
    const auto columns = list_rows_detail::fieldColumns(store, fields);
    std::array<std::string_view, N> cells;
    for (int64_t i = 1; i <= n; ++i) {
        list_rows_detail::readRow(store, columns, cells);
        list.appendRow(std::span<const std::string_view>(cells));
        store.MoveNext();
        progress.step();
    }
}

// The open result read as the views and the search read it: MoveFirst, then
// rows until AtEnd; the record set is closed afterwards. The list is emptied
// first.
template <typename Store, typename List, size_t N>
void FillListFromOpenResult(Store& store, List& list, const std::array<const char*, N>& fields, OperatorInterface& ui)
{
    {
        list_rows_detail::BatchGuard<List> batch(list);
        list.clear();
        store.MoveFirst();
        LoopProgress progress(ui, -1);   // counting a view would run its query twice
        const auto columns = list_rows_detail::fieldColumns(store, fields);
        std::array<std::string_view, N> cells;
        while (!store.AtEnd()) {
            list_rows_detail::readRow(store, columns, cells);
            list.appendRow(std::span<const std::string_view>(cells));
            store.MoveNext();
            progress.step();
        }
    }
    store.Close();
}

// Appends every list row to the table open in the record set, list column
// j-1 into field ordinal j: AddNew per row (which stores the row before it),
// one Update after the last. Stops at the first refusal and returns false;
// the caller's transaction then rolls back.
template <typename Store, typename List>
bool AppendListRows(Store& store, const List& list, OperatorInterface& ui)
{
    bool ok = true;
    const int64_t n = list.rowCount();
    LoopProgress progress(ui, n);
    for (int64_t i = 1; ok && i <= n; ++i) {
        ok = store.AddNew();
        const int c = list.columnCount();   // read again for every row
        for (int j = 1; ok && j <= c; ++j)
            ok = store.WriteField(j, list.cell(i - 1, j - 1));
        progress.step();
    }
    return ok && store.Update();
}

}  // namespace vornicle
