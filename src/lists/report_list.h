#pragma once
// A report list: titled text columns and rows of UTF-8 text cells, kept
// compactly (one encoded block per row in a chunked arena, no object per
// cell), and shown by a view through the Qt item model it also is.
#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vornicle {

struct ListColumn {
    std::string title;
    int width = 50;
};

class ReportList : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportList(std::vector<ListColumn> columns, QObject* parent = nullptr);
    ~ReportList() override;

    // Columns.
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const std::string& columnTitle(int column) const { return columns_.at(static_cast<size_t>(column)).title; }
    int columnWidth(int column) const { return columns_.at(static_cast<size_t>(column)).width; }

    // Rows.
    int64_t rowCount() const { return static_cast<int64_t>(rows_.size()); }
    void clear();
    // Appends an empty row; returns its index.
    int64_t appendRow();
    // Appends a row; cells beyond the column count are not kept, missing ones are empty.
    int64_t appendRow(std::span<const std::string_view> cells);
    int64_t appendRow(const std::vector<std::string>& cells);
    // Appends many rows with one announcement (for rows arriving in batches).
    template <typename Rows>
    void appendRows(const Rows& rows)
    {
        if (rows.empty())
            return;
        const int64_t first = rowCount();
        if (batchDepth_ == 0)
            beginInsertRows(QModelIndex(), static_cast<int>(first), static_cast<int>(first + rows.size() - 1));
        ++batchDepth_;
        std::vector<std::string_view> views;
        for (const auto& row : rows) {
            views.assign(row.begin(), row.end());
            appendRow(views);
        }
        --batchDepth_;
        if (batchDepth_ == 0)
            endInsertRows();
    }
    void setCell(int64_t row, int column, std::string_view text);
    // The cell's text; empty for a row or column out of range.
    std::string_view cell(int64_t row, int column) const;
    void removeRow(int64_t row);
    void reserveRows(int64_t rows);
    // Bytes held by the cell storage (for memory checks).
    size_t storageBytes() const;

    // Inside a batch, changes are not announced row by row; the end of the
    // outermost batch resets the model once.
    void beginBatch();
    void endBatch();

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const char* encodeRow(std::span<const std::string_view> cells);
    const char* store(size_t bytes);
    void compactIfWasteful();

    std::vector<ListColumn> columns_;
    std::vector<const char*> rows_;      // encoded row blocks
    std::vector<std::unique_ptr<char[]>> chunks_;
    size_t chunkUsed_ = 0;
    size_t chunkSize_ = 0;
    size_t liveBytes_ = 0;
    size_t totalBytes_ = 0;
    int batchDepth_ = 0;
};

// Keeps a list in batch mode for the life of a scope.
class ListBatch {
public:
    explicit ListBatch(ReportList& list) : list_(list) { list_.beginBatch(); }
    ~ListBatch() { list_.endBatch(); }
    ListBatch(const ListBatch&) = delete;
    ListBatch& operator=(const ListBatch&) = delete;

private:
    ReportList& list_;
};

// The two lists of the main window.
std::vector<ListColumn> ConsumptionListColumns();  // 超级列表框1, 11 columns
std::vector<ListColumn> PersonnelListColumns();    // 超级列表框2, 4 columns

}  // namespace vornicle
