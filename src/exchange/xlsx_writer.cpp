#include "exchange/xlsx_writer.h"

#include "exchange/column_map.h"
#include "exchange/export_format.h"
#include "lists/report_list.h"

#include <xlsxwriter.h>

namespace vornicle {

namespace {

namespace wf = workbook_format;

void setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

lxw_format* addCellFormat(lxw_workbook* book, bool header)
{
    lxw_format* f = workbook_add_format(book);
    if (!f)
        return nullptr;
    format_set_align(f, LXW_ALIGN_CENTER);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(f, LXW_BORDER_THIN);
    format_set_border_color(f, LXW_COLOR_BLACK);
    format_set_font_name(f, wf::kFontName);
    format_set_font_size(f, wf::kFontSize);
    if (header) {
        format_set_font_color(f, wf::kHeaderFontColor);
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, wf::kHeaderFill);
    } else {
        format_set_font_color(f, LXW_COLOR_BLACK);  // 0 would mean "automatic" to libxlsxwriter
    }
    return f;
}

// Owns the workbook until it is closed; an unclosed workbook is freed without
// being written.
class Book {
public:
    Book(const std::string& path, const std::string& tmpDir)
    {
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpDir.empty() ? nullptr : const_cast<char*>(tmpDir.c_str());
        options.use_zip64 = LXW_TRUE;
        book_ = workbook_new_opt(path.c_str(), &options);
    }
    ~Book()
    {
        if (book_)
            lxw_workbook_free(book_);
    }
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    lxw_workbook* get() const { return book_; }
    lxw_error close()
    {
        lxw_workbook* b = book_;
        book_ = nullptr;
        return workbook_close(b);
    }

private:
    lxw_workbook* book_ = nullptr;
};

}  // namespace

int32_t WriteXlsxWorkbook(const ReportList& list, const std::string& path, std::string_view headerTitles,
                          bool writeHeader, const std::string& tmpDir, const ExportProgressCallback& progress,
                          std::string* error)
{
    ColumnMap map;
    BuildColumnMap(list, headerTitles, "|", map);
    if (map.empty())
        return 0;
    const std::vector<std::string> titles = SplitHeaderTitles(headerTitles);
    const int64_t rows = list.rowCount();
    const int64_t firstRow = writeHeader ? 1 : 0;
    if (rows + firstRow > kXlsxMaxRows) {
        setError(error, "an .xlsx sheet holds at most " + std::to_string(kXlsxMaxRows) + " rows; the list has " +
                            std::to_string(rows) + (writeHeader ? " rows and a header" : " rows"));
        return -1;
    }
    if (map.size() > static_cast<size_t>(LXW_COL_MAX)) {
        setError(error, "an .xlsx sheet holds at most " + std::to_string(LXW_COL_MAX) + " columns");
        return -1;
    }

    Book book(path, tmpDir);
    if (!book.get()) {
        setError(error, "cannot create the workbook " + path);
        return -1;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), nullptr);
    lxw_format* headerFormat = addCellFormat(book.get(), true);
    lxw_format* bodyFormat = addCellFormat(book.get(), false);
    if (!sheet || !headerFormat || !bodyFormat) {
        setError(error, "cannot create the worksheet of " + path);
        return -1;
    }
    worksheet_set_default_row(sheet, wf::kRowHeight, LXW_FALSE);

    auto failed = [&](lxw_error e, int64_t row) {
        setError(error, "cannot write row " + std::to_string(row + 1) + " of " + path + ": " + lxw_strerror(e));
        return -1;
    };

    const auto columns = static_cast<lxw_col_t>(map.size());
    std::string text;
    if (writeHeader) {
        lxw_error e = worksheet_set_column(sheet, 0, static_cast<lxw_col_t>(columns - 1), wf::kHeaderColumnWidth,
                                           nullptr);
        if (e != LXW_NO_ERROR)
            return failed(e, 0);
        for (lxw_col_t c = 0; c < columns; ++c) {
            e = titles[c].empty() ? worksheet_write_blank(sheet, 0, c, headerFormat)
                                  : worksheet_write_string(sheet, 0, c, titles[c].c_str(), headerFormat);
            if (e != LXW_NO_ERROR)
                return failed(e, 0);
        }
    }

    ExportProgressReporter reporter(progress, rows);
    for (int64_t r = 0; r < rows; ++r) {
        reporter.row(r + 1);
        const auto sheetRow = static_cast<lxw_row_t>(r + firstRow);
        for (lxw_col_t c = 0; c < columns; ++c) {
            const std::string_view cell = map[c] >= 0 ? list.cell(r, map[c]) : std::string_view();
            lxw_error e;
            if (cell.empty()) {
                e = worksheet_write_blank(sheet, sheetRow, c, bodyFormat);
            } else {
                text.assign(cell);
                e = worksheet_write_string(sheet, sheetRow, c, text.c_str(), bodyFormat);
            }
            if (e != LXW_NO_ERROR)
                return failed(e, sheetRow);
        }
    }

    const lxw_error e = book.close();
    if (e != LXW_NO_ERROR) {
        setError(error, "cannot save the workbook " + path + ": " + lxw_strerror(e));
        return -1;
    }
    return static_cast<int32_t>(columns);
}

}  // namespace vornicle
