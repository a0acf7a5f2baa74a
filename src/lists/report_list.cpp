#include "lists/report_list.h"

#include <algorithm>
#include <cstring>

namespace vornicle {

namespace {

constexpr size_t kChunkBytes = size_t(4) << 20;

size_t varintSize(size_t v)
{
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

char* putVarint(char* p, size_t v)
{
    while (v >= 0x80) {
        *p++ = static_cast<char>((v & 0x7f) | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<char>(v);
    return p;
}

const char* getVarint(const char* p, size_t& v)
{
    v = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= static_cast<size_t>(b & 0x7f) << shift;
        if (!(b & 0x80))
            return p;
        shift += 7;
    }
}

// Splits an encoded row into its cells.
void decodeRow(const char* block, int columns, std::vector<std::string_view>& out)
{
    out.clear();
    size_t lengths[64];
    std::vector<size_t> many;
    size_t* len = lengths;
    if (columns > 64) {
        many.resize(static_cast<size_t>(columns));
        len = many.data();
    }
    const char* p = block;
    for (int c = 0; c < columns; ++c)
        p = getVarint(p, len[c]);
    for (int c = 0; c < columns; ++c) {
        out.emplace_back(p, len[c]);
        p += len[c];
    }
}

size_t encodedSize(const char* block, int columns)
{
    const char* p = block;
    size_t body = 0;
    for (int c = 0; c < columns; ++c) {
        size_t v;
        p = getVarint(p, v);
        body += v;
    }
    return static_cast<size_t>(p - block) + body;
}

}  // namespace

ReportList::ReportList(std::vector<ListColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns))
{
}

ReportList::~ReportList() = default;

const char* ReportList::store(size_t bytes)
{
    if (chunks_.empty() || chunkUsed_ + bytes > chunkSize_) {
        const size_t size = std::max(kChunkBytes, bytes);
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        chunkSize_ = size;
        chunkUsed_ = 0;
    }
    char* p = chunks_.back().get() + chunkUsed_;
    chunkUsed_ += bytes;
    totalBytes_ += bytes;
    liveBytes_ += bytes;
    return p;
}

const char* ReportList::encodeRow(std::span<const std::string_view> cells)
{
    const int cols = columnCount();
    size_t bytes = 0;
    for (int c = 0; c < cols; ++c) {
        const size_t n = c < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(c)].size() : 0;
        bytes += varintSize(n) + n;
    }
    char* block = const_cast<char*>(store(bytes == 0 ? 1 : bytes));
    char* p = block;
    for (int c = 0; c < cols; ++c) {
        const size_t n = c < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(c)].size() : 0;
        p = putVarint(p, n);
    }
    for (int c = 0; c < cols && c < static_cast<int>(cells.size()); ++c) {
        const auto& s = cells[static_cast<size_t>(c)];
        if (!s.empty())
            std::memcpy(p, s.data(), s.size());
        p += s.size();
    }
    return block;
}

void ReportList::clear()
{
    if (batchDepth_ == 0)
        beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    chunks_.clear();
    chunkUsed_ = chunkSize_ = liveBytes_ = totalBytes_ = 0;
    if (batchDepth_ == 0)
        endResetModel();
}

int64_t ReportList::appendRow()
{
    return appendRow(std::span<const std::string_view>());
}

int64_t ReportList::appendRow(const std::vector<std::string>& cells)
{
    std::vector<std::string_view> views(cells.begin(), cells.end());
    return appendRow(views);
}

int64_t ReportList::appendRow(std::span<const std::string_view> cells)
{
    const int64_t row = rowCount();
    if (batchDepth_ == 0)
        beginInsertRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
    rows_.push_back(encodeRow(cells));
    if (batchDepth_ == 0)
        endInsertRows();
    return row;
}

void ReportList::setCell(int64_t row, int column, std::string_view text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    std::vector<std::string_view> cells;
    decodeRow(rows_[static_cast<size_t>(row)], columnCount(), cells);
    if (cells[static_cast<size_t>(column)] == text)
        return;
    // The text may point into the block being replaced: copy first.
    const std::string copy(text);
    cells[static_cast<size_t>(column)] = copy;
    liveBytes_ -= encodedSize(rows_[static_cast<size_t>(row)], columnCount());
    rows_[static_cast<size_t>(row)] = encodeRow(cells);
    if (batchDepth_ == 0) {
        const QModelIndex i = index(static_cast<int>(row), column);
        emit dataChanged(i, i);
    }
    compactIfWasteful();
}

std::string_view ReportList::cell(int64_t row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    const char* p = rows_[static_cast<size_t>(row)];
    size_t skip = 0;
    size_t len = 0;
    for (int c = 0; c < columnCount(); ++c) {
        size_t v;
        p = getVarint(p, v);
        if (c < column)
            skip += v;
        else if (c == column)
            len = v;
    }
    return std::string_view(p + skip, len);
}

void ReportList::removeRow(int64_t row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (batchDepth_ == 0)
        beginRemoveRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
    liveBytes_ -= encodedSize(rows_[static_cast<size_t>(row)], columnCount());
    rows_.erase(rows_.begin() + row);
    if (batchDepth_ == 0)
        endRemoveRows();
    compactIfWasteful();
}

void ReportList::reserveRows(int64_t rows)
{
    if (rows > 0)
        rows_.reserve(static_cast<size_t>(rows));
}

size_t ReportList::storageBytes() const
{
    return chunks_.size() * kChunkBytes + rows_.capacity() * sizeof(const char*);
}

void ReportList::compactIfWasteful()
{
    const size_t waste = totalBytes_ - liveBytes_;
    if (waste < (size_t(64) << 20) || waste < liveBytes_)
        return;
    std::vector<std::unique_ptr<char[]>> old;
    old.swap(chunks_);
    chunkUsed_ = chunkSize_ = liveBytes_ = totalBytes_ = 0;
    std::vector<std::string_view> cells;
    for (auto& block : rows_) {
        decodeRow(block, columnCount(), cells);
        block = encodeRow(cells);
    }
}

void ReportList::beginBatch()
{
    if (batchDepth_++ == 0)
        beginResetModel();
}

void ReportList::endBatch()
{
    if (batchDepth_ > 0 && --batchDepth_ == 0)
        endResetModel();
}

int ReportList::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(std::min<int64_t>(rowCount(), INT32_MAX));
}

int ReportList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount();
}

QVariant ReportList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const std::string_view s = cell(index.row(), index.column());
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QVariant ReportList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromStdString(columnTitle(section));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

std::vector<ListColumn> ConsumptionListColumns()
{
    return {{"消费日期", 70}, {"时间", 50}, {"编号", 50}, {"姓名", 80}, {"部门", 200}, {"金额", 50},
            {"类别", 50},     {"编号2", 50}, {"姓名2", 70}, {"部门2", 150}, {"重复", 40}};
}

std::vector<ListColumn> PersonnelListColumns()
{
    return {{"编号", 100}, {"姓名", 50}, {"部门", 250}, {"卡类别", 50}};
}

}  // namespace vornicle
