#include "exchange/xls_writer.h"

#include "exchange/cfb_writer.h"
#include "exchange/column_map.h"
#include "exchange/export_format.h"
#include "lists/report_list.h"

#include <unordered_map>
#include <vector>

namespace vornicle {

namespace {

// Record types.
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kCodepage = 0x0042;
constexpr uint16_t kWindow1 = 0x003D;
constexpr uint16_t kDate1904 = 0x0022;
constexpr uint16_t kFont = 0x0031;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kStyle = 0x0293;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kExtSst = 0x00FF;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kDefaultRowHeight = 0x0225;
constexpr uint16_t kColInfo = 0x007D;
constexpr uint16_t kDimensions = 0x0200;
constexpr uint16_t kRow = 0x0208;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kBlank = 0x0201;
constexpr uint16_t kWindow2 = 0x023E;
constexpr uint16_t kIndex = 0x020B;
constexpr uint16_t kDbCell = 0x00D7;
constexpr uint16_t kDefColWidth = 0x0055;

constexpr size_t kMaxRecordData = 8224;
constexpr size_t kMaxCellChars = 32767;

// Palette indexes of the default palette.
constexpr uint16_t kBlack = 8;
constexpr uint16_t kWhite = 9;
constexpr uint16_t kGreen = 17;  // 0x008000
constexpr uint16_t kSystemForeground = 64;
constexpr uint16_t kSystemBackground = 65;

constexpr uint16_t kFormatText = 49;  // built-in "@"

// Cell XF indexes: 0-14 are style XFs, 15 the default cell XF.
constexpr uint16_t kDefaultXf = 15;
constexpr uint16_t kHeaderXf = 16;
constexpr uint16_t kBodyXf = 17;

// Font indexes (index 4 does not exist in BIFF).
constexpr uint16_t kBodyFont = 0;
constexpr uint16_t kHeaderFont = 5;

constexpr uint16_t kRowHeightTwips = static_cast<uint16_t>(workbook_format::kRowHeight * 20);
constexpr uint16_t kColumnWidth = static_cast<uint16_t>(workbook_format::kHeaderColumnWidth * 256);

class Bytes {
public:
    std::string data;
    size_t size() const { return data.size(); }
    void u8(uint8_t v) { data.push_back(static_cast<char>(v)); }
    void u16(uint16_t v)
    {
        data.push_back(static_cast<char>(v & 0xFF));
        data.push_back(static_cast<char>(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(static_cast<uint16_t>(v & 0xFFFF));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void patch32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void append(const Bytes& b) { data += b.data; }
    // One record; data of at most kMaxRecordData bytes.
    void record(uint16_t type, const Bytes& body)
    {
        u16(type);
        u16(static_cast<uint16_t>(body.size()));
        data += body.data;
    }
};

// UTF-8 to UTF-16; an invalid sequence gives U+FFFD.
void toUtf16(std::string_view s, std::u16string& out)
{
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        auto cont = [&](size_t k) { return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; };
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0 && cont(1)) {
            cp = ((b0 & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
            len = 2;
            if (cp < 0x80)
                cp = 0xFFFD;
        } else if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            cp = ((b0 & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                cp = 0xFFFD;
        } else if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
            cp = ((b0 & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
            len = 4;
            if (cp < 0x10000 || cp > 0x10FFFF)
                cp = 0xFFFD;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
}

bool allLatin1(const std::u16string& s)
{
    for (char16_t c : s) {
        if (c > 0xFF)
            return false;
    }
    return true;
}

// The shared string table, written as SST plus CONTINUE records that never
// exceed the record limit: a string's character count and flags stay in one
// record, and a string that runs over continues in the next record after a
// new flags byte. Also collects the EXTSST buckets.
class SstBuilder {
public:
    // Index of the string, adding it when new.
    uint32_t add(std::string_view utf8)
    {
        ++total_;
        auto it = index_.find(std::string(utf8));
        if (it != index_.end())
            return it->second;
        const auto id = static_cast<uint32_t>(strings_.size());
        index_.emplace(std::string(utf8), id);
        strings_.emplace_back(utf8);
        return id;
    }

    // Appends the SST, its CONTINUE records and EXTSST to `out`, whose size is
    // the stream offset where they start.
    void write(Bytes& out) const
    {
        const size_t unique = strings_.size();
        const size_t perBucket = unique > 1024 ? (unique + 127) / 128 : 8;

        Bytes record;  // data of the record being filled
        uint16_t type = kSst;
        size_t recordStart = out.size();  // stream offset of the current record's header
        auto flush = [&]() {
            out.record(type, record);
            record.data.clear();
            type = kContinue;
            recordStart = out.size();
        };
        record.u32(total_);
        record.u32(static_cast<uint32_t>(unique));

        Bytes ext;
        ext.u16(static_cast<uint16_t>(perBucket));
        std::u16string text;
        for (size_t k = 0; k < unique; ++k) {
            toUtf16(strings_[k], text);
            const bool wide = !allLatin1(text);
            const size_t charBytes = wide ? 2 : 1;
            // The header and the first character must fit in this record.
            if (record.size() + 3 + charBytes > kMaxRecordData)
                flush();
            if (k % perBucket == 0) {
                const size_t offsetInRecord = 4 + record.size();
                ext.u32(static_cast<uint32_t>(recordStart + offsetInRecord));
                ext.u16(static_cast<uint16_t>(offsetInRecord));
                ext.u16(0);
            }
            record.u16(static_cast<uint16_t>(text.size()));
            record.u8(wide ? 1 : 0);
            size_t done = 0;
            while (done < text.size()) {
                size_t room = (kMaxRecordData - record.size()) / charBytes;
                if (room == 0) {
                    flush();
                    record.u8(wide ? 1 : 0);
                    room = (kMaxRecordData - record.size()) / charBytes;
                }
                const size_t n = std::min(room, text.size() - done);
                for (size_t c = 0; c < n; ++c) {
                    const char16_t ch = text[done + c];
                    if (wide)
                        record.u16(static_cast<uint16_t>(ch));
                    else
                        record.u8(static_cast<uint8_t>(ch));
                }
                done += n;
            }
        }
        flush();
        out.record(kExtSst, ext);
    }

private:
    std::vector<std::string> strings_;
    std::unordered_map<std::string, uint32_t> index_;
    uint32_t total_ = 0;
};

Bytes bofRecord(uint16_t kind)
{
    Bytes b;
    b.u16(0x0600);  // BIFF8
    b.u16(kind);
    b.u16(0x0DBB);  // build
    b.u16(0x07CC);  // year
    b.u32(0x00000000);
    b.u32(0x00000006);  // lowest BIFF version that reads the file
    return b;
}

Bytes fontRecord(uint16_t colour)
{
    std::u16string name;
    toUtf16(workbook_format::kFontName, name);
    Bytes b;
    b.u16(static_cast<uint16_t>(workbook_format::kFontSize * 20));
    b.u16(0);  // not italic, not struck out
    b.u16(colour);
    b.u16(400);  // normal weight
    b.u16(0);    // no super/subscript
    b.u8(0);     // no underline
    b.u8(0);     // family
    b.u8(134);   // GB2312 character set
    b.u8(0);
    b.u8(static_cast<uint8_t>(name.size()));
    b.u8(1);  // UTF-16
    for (char16_t c : name)
        b.u16(static_cast<uint16_t>(c));
    return b;
}

Bytes styleXf()
{
    Bytes b;
    b.u16(0);       // font
    b.u16(0);       // format
    b.u16(0xFFF5);  // locked, style, no parent
    b.u8(0x20);     // bottom aligned
    b.u8(0);
    b.u8(0);
    b.u8(0);  // style: all attributes taken from here
    b.u32(0);
    b.u32(0);
    b.u16(static_cast<uint16_t>(kSystemForeground | (kSystemBackground << 7)));
    return b;
}

Bytes cellXf(uint16_t font, uint16_t format, bool formatted, bool filled)
{
    Bytes b;
    b.u16(font);
    b.u16(format);
    b.u16(0x0001);  // locked, parent style XF 0
    if (!formatted) {
        b.u8(0x20);
        b.u8(0);
        b.u8(0);
        b.u8(0);
        b.u32(0);
        b.u32(0);
        b.u16(static_cast<uint16_t>(kSystemForeground | (kSystemBackground << 7)));
        return b;
    }
    b.u8(0x02 | (0x01 << 4));  // centred horizontally and vertically
    b.u8(0);                   // no rotation
    b.u8(0);                   // no indent
    b.u8(0xFC);                // number, font, alignment, border, fill, protection set here
    const uint32_t thin = 1;
    b.u32(thin | (thin << 4) | (thin << 8) | (thin << 12) | (uint32_t(kBlack) << 16) | (uint32_t(kBlack) << 23));
    b.u32(uint32_t(kBlack) | (uint32_t(kBlack) << 7) | (filled ? (1u << 26) : 0u));
    if (filled)
        b.u16(static_cast<uint16_t>(kGreen | (kSystemBackground << 7)));
    else
        b.u16(static_cast<uint16_t>(kSystemForeground | (kSystemBackground << 7)));
    return b;
}

void setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

}  // namespace

int32_t WriteXlsWorkbook(const ReportList& list, const std::string& path, std::string_view headerTitles,
                         bool writeHeader, const ExportProgressCallback& progress, std::string* error)
{
    ColumnMap map;
    BuildColumnMap(list, headerTitles, "|", map);
    if (map.empty())
        return 0;
    const std::vector<std::string> titles = SplitHeaderTitles(headerTitles);
    const int64_t rows = list.rowCount();
    const int64_t firstRow = writeHeader ? 1 : 0;
    const int64_t sheetRows = rows + firstRow;
    if (sheetRows > kXlsMaxRows) {
        setError(error, "an .xls sheet holds at most " + std::to_string(kXlsMaxRows) + " rows; the list has " +
                            std::to_string(rows) + (writeHeader ? " rows and a header" : " rows") +
                            " (save it as .xlsx)");
        return -1;
    }
    if (map.size() > static_cast<size_t>(kXlsMaxColumns)) {
        setError(error, "an .xls sheet holds at most " + std::to_string(kXlsMaxColumns) + " columns");
        return -1;
    }
    const auto columns = static_cast<uint16_t>(map.size());

    // The sheet's cells, row by row; the strings go to the shared table.
    SstBuilder sst;
    std::vector<uint32_t> cellStrings(static_cast<size_t>(sheetRows) * columns);
    constexpr uint32_t kNoString = 0xFFFFFFFF;
    auto addText = [&](std::string_view text, uint32_t& slot) -> bool {
        slot = kNoString;
        if (text.empty())
            return true;
        // Every UTF-8 byte is at most one UTF-16 unit; count exactly only near the limit.
        if (text.size() > kMaxCellChars) {
            std::u16string wide;
            toUtf16(text, wide);
            if (wide.size() > kMaxCellChars)
                return false;
        }
        slot = sst.add(text);
        return true;
    };
    if (writeHeader) {
        for (uint16_t c = 0; c < columns; ++c) {
            if (!addText(titles[c], cellStrings[c])) {
                setError(error, "the title of column " + std::to_string(c + 1) + " holds more than 32767 characters");
                return -1;
            }
        }
    }
    ExportProgressReporter reporter(progress, rows);
    for (int64_t r = 0; r < rows; ++r) {
        reporter.row(r + 1);
        uint32_t* cellIds = &cellStrings[static_cast<size_t>(r + firstRow) * columns];
        for (uint16_t c = 0; c < columns; ++c) {
            const std::string_view text = map[c] >= 0 ? list.cell(r, map[c]) : std::string_view();
            if (!addText(text, cellIds[c])) {
                setError(error, "the cell in row " + std::to_string(r + firstRow + 1) + ", column " +
                                    std::to_string(c + 1) + " holds more than 32767 characters");
                return -1;
            }
        }
    }

    // Workbook globals.
    Bytes globals;
    globals.record(kBof, bofRecord(0x0005));
    {
        Bytes b;
        b.u16(1200);  // UTF-16
        globals.record(kCodepage, b);
    }
    {
        Bytes b;
        b.u16(0);
        b.u16(0);
        b.u16(0x4000);
        b.u16(0x2000);
        b.u16(0x0038);  // horizontal and vertical scroll bars, sheet tabs
        b.u16(0);
        b.u16(0);
        b.u16(1);
        b.u16(600);
        globals.record(kWindow1, b);
    }
    {
        Bytes b;
        b.u16(0);
        globals.record(kDate1904, b);
    }
    for (int f = 0; f < 4; ++f)
        globals.record(kFont, fontRecord(kBlack));
    globals.record(kFont, fontRecord(kWhite));  // index 5
    for (int x = 0; x < 15; ++x)
        globals.record(kXf, styleXf());
    globals.record(kXf, cellXf(kBodyFont, 0, false, false));             // 15
    globals.record(kXf, cellXf(kHeaderFont, kFormatText, true, true));   // 16
    globals.record(kXf, cellXf(kBodyFont, kFormatText, true, false));    // 17
    {
        Bytes b;
        b.u16(0x8000);  // built-in style on XF 0
        b.u8(0);        // Normal
        b.u8(0xFF);
        globals.record(kStyle, b);
    }
    size_t sheetOffsetAt = 0;
    {
        Bytes b;
        b.u32(0);  // patched below
        b.u8(0);   // visible
        b.u8(0);   // worksheet
        const std::string_view name = "Sheet1";
        b.u8(static_cast<uint8_t>(name.size()));
        b.u8(0);
        b.data += name;
        sheetOffsetAt = globals.size() + 4;
        globals.record(kBoundSheet, b);
    }
    sst.write(globals);
    globals.record(kEof, Bytes());
    globals.patch32(sheetOffsetAt, static_cast<uint32_t>(globals.size()));

    // Worksheet.
    Bytes& out = globals;
    out.record(kBof, bofRecord(0x0010));
    // INDEX: the row range and where each row block's DBCELL is (patched below).
    const size_t blocks = static_cast<size_t>((sheetRows + 31) / 32);
    const size_t indexAt = out.size() + 4;
    {
        Bytes b;
        b.u32(0);
        b.u32(0);
        b.u32(static_cast<uint32_t>(sheetRows));
        b.u32(0);  // DEFCOLWIDTH position
        for (size_t i = 0; i < blocks; ++i)
            b.u32(0);
        out.record(kIndex, b);
    }
    {
        Bytes b;
        b.u16(0x0001);  // row heights differ from the font's
        b.u16(kRowHeightTwips);
        out.record(kDefaultRowHeight, b);
    }
    out.patch32(indexAt + 12, static_cast<uint32_t>(out.size()));
    {
        Bytes b;
        b.u16(8);
        out.record(kDefColWidth, b);
    }
    if (writeHeader) {
        Bytes b;
        b.u16(0);
        b.u16(static_cast<uint16_t>(columns - 1));
        b.u16(kColumnWidth);
        b.u16(kDefaultXf);
        b.u16(0);
        b.u16(0);
        out.record(kColInfo, b);
    }
    {
        Bytes b;
        b.u32(0);
        b.u32(static_cast<uint32_t>(sheetRows));
        b.u16(0);
        b.u16(sheetRows > 0 ? columns : 0);
        b.u16(0);
        out.record(kDimensions, b);
    }
    out.data.reserve(out.size() + static_cast<size_t>(sheetRows) * (20 + columns * 14u) + blocks * 72 + 64);
    constexpr size_t kRowRecordBytes = 20;
    size_t block = 0;
    for (int64_t blockStart = 0; blockStart < sheetRows; blockStart += 32, ++block) {
        const int64_t blockEnd = std::min<int64_t>(blockStart + 32, sheetRows);
        const size_t firstRowAt = out.size();
        for (int64_t r = blockStart; r < blockEnd; ++r) {
            Bytes b;
            b.u16(static_cast<uint16_t>(r));
            b.u16(0);
            b.u16(columns);
            b.u16(kRowHeightTwips);
            b.u16(0);
            b.u16(0);
            b.u16(0x0140);  // height set by hand; the always-set bit
            b.u16(kDefaultXf);
            out.record(kRow, b);
        }
        // DBCELL: each row's first cell, relative to the previous one (the
        // first relative to the end of the block's first ROW record).
        Bytes dbcell;
        size_t previous = firstRowAt + kRowRecordBytes;
        for (int64_t r = blockStart; r < blockEnd; ++r) {
            dbcell.u16(static_cast<uint16_t>(out.size() - previous));
            previous = out.size();
            const uint16_t xf = (writeHeader && r == 0) ? kHeaderXf : kBodyXf;
            const uint32_t* cellIds = &cellStrings[static_cast<size_t>(r) * columns];
            for (uint16_t c = 0; c < columns; ++c) {
                out.u16(cellIds[c] == kNoString ? kBlank : kLabelSst);
                out.u16(cellIds[c] == kNoString ? 6 : 10);
                out.u16(static_cast<uint16_t>(r));
                out.u16(c);
                out.u16(xf);
                if (cellIds[c] != kNoString)
                    out.u32(cellIds[c]);
            }
        }
        const size_t dbcellAt = out.size();
        Bytes b;
        b.u32(static_cast<uint32_t>(dbcellAt - firstRowAt));
        b.append(dbcell);
        out.record(kDbCell, b);
        out.patch32(indexAt + 16 + 4 * block, static_cast<uint32_t>(dbcellAt));
    }
    {
        Bytes b;
        b.u16(0x06B6);  // grid, headers, zeros, automatic grid colour, outline, selected, paged
        b.u16(0);
        b.u16(0);
        b.u16(64);
        b.u16(0);
        b.u16(0);
        b.u16(0);
        b.u32(0);
        out.record(kWindow2, b);
    }
    out.record(kEof, Bytes());

    std::string writeError;
    if (!WriteCompoundFile(path, "Workbook", std::move(out.data), &writeError)) {
        setError(error, writeError);
        return -1;
    }
    return static_cast<int32_t>(columns);
}

}  // namespace vornicle
