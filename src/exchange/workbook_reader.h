#pragma once
// Reading the first worksheet of a workbook file (.xlsx or .xls) as text.
//
// The reader yields, row by row from sheet row 1 through the last row of the
// used range, the texts of columns A to G. The used range is the box around the
// cells that hold a value (a number, a non-empty text, a boolean or an error);
// the size the file declares is never trusted. Rows without values inside that
// span (blank rows on top included) come as seven empty texts. A sheet without
// any value reads as one empty row (its used range is A1).
//
// The format is chosen by the file's content, not by its name: a zip package
// is read as xlsx, a compound file as xls (BIFF8, or BIFF5 with its code page).
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vornicle::exchange {

// Columns A..G of one sheet row, UTF-8.
using WorkbookRow = std::array<std::string, 7>;

class WorkbookReader {
public:
    virtual ~WorkbookReader() = default;

    // Opens a workbook file. On failure returns null and sets `error` to the
    // reason (e.g. "not a workbook (neither .xlsx nor .xls)", "the workbook is
    // password protected"); the caller adds the file name.
    static std::unique_ptr<WorkbookReader> open(const std::string& path, std::string& error);

    // The same for a workbook held in memory (tests and fuzzing).
    static std::unique_ptr<WorkbookReader> openMemory(std::string data, std::string& error);

    // Fills `cells` with the next row and returns true; returns false at the
    // end (error empty) or on a failure (error set, e.g. a damaged or
    // truncated sheet, or cancellation). After false, further calls return false.
    virtual bool nextRow(WorkbookRow& cells, std::string& error) = 0;

    // Rows returned so far (the 1-based number of the last row returned).
    int64_t rowsRead() const { return rowsRead_; }

    // The last row of the used range, once known: xls knows it on opening;
    // xlsx only once nextRow has returned false (the sheet is streamed). -1 before.
    int64_t lastRow() const { return lastRow_; }

    // Share of the work done, 0..1: rows read of the total for xls, bytes of
    // the sheet inflated of its uncompressed size for xlsx.
    virtual double progress() const = 0;

    // "xlsx" or "xls".
    virtual const char* format() const = 0;

    // When set, the flag is checked once per row; a set flag makes nextRow fail
    // with the error "cancelled".
    void setCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }

protected:
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

    int64_t rowsRead_ = 0;
    int64_t lastRow_ = -1;
    const std::atomic<bool>* cancel_ = nullptr;
};

// Error texts (the reasons; the caller adds the file name).
namespace readerror {
inline constexpr const char* kNotWorkbook = "not a workbook (neither .xlsx nor .xls)";
inline constexpr const char* kEncrypted = "the workbook is encrypted (password protected)";
inline constexpr const char* kCancelled = "cancelled";
}  // namespace readerror

}  // namespace vornicle::exchange
