#include "exchange/xls_reader.h"

#include "exchange/cell_text.h"
#include "exchange/cfb_file.h"

#include <cstring>
#include <vector>

#include <cerrno>
#include <iconv.h>

namespace vornicle::exchange {

namespace {

constexpr int64_t kMaxRows = 65536;
constexpr size_t kMaxSst = 1u << 24;
const char kDamaged[] = "the workbook is damaged (bad record structure)";

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) { return u16(p) | (static_cast<uint32_t>(u16(p + 2)) << 16); }

double f64(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double rkValue(uint32_t rk)
{
    double d;
    if (rk & 2) {
        d = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, sizeof d);
    }
    return (rk & 1) ? d / 100 : d;
}

// Code page conversion for BIFF5 and the 8-bit strings of older writers.
class CodePage {
public:
    ~CodePage()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    void set(uint16_t cp)
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
        cd_ = reinterpret_cast<iconv_t>(-1);
        std::string name;
        switch (cp) {
        case 367: name = "ASCII"; break;
        case 1200: case 0x8001: case 1252: name = "CP1252"; break;
        case 0x8000: case 10000: name = "MACINTOSH"; break;
        case 10006: name = "MACGREEK"; break;
        case 10007: name = "MACCYRILLIC"; break;
        case 10029: name = "MAC-CENTRALEUROPE"; break;
        case 10079: name = "MACICELAND"; break;
        case 10081: name = "MACTURKISH"; break;
        case 932: name = "CP932"; break;
        case 936: name = "GBK"; break;
        case 949: name = "CP949"; break;
        case 950: name = "BIG5"; break;
        case 65001: name = "UTF-8"; break;
        default: name = "CP" + std::to_string(cp); break;
        }
        cd_ = iconv_open("UTF-8", name.c_str());
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            cd_ = iconv_open("UTF-8", "CP1252");
    }
    void append(std::string& out, const uint8_t* p, size_t n) const
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            for (size_t i = 0; i < n; ++i)
                appendUtf8(out, p[i]);
            return;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> buf(n * 4 + 16);
        char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(p));
        size_t inLeft = n;
        while (inLeft > 0) {
            char* o = buf.data();
            size_t oLeft = buf.size();
            const size_t rc = iconv(cd_, &in, &inLeft, &o, &oLeft);
            out.append(buf.data(), static_cast<size_t>(o - buf.data()));
            if (rc == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                out += "\xEF\xBF\xBD";  // an unmappable or cut byte
                ++in;
                --inLeft;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
    }

private:
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

// A record's payload with its CONTINUE parts, read as one sequence of
// segments: strings that cross a segment start again with a flags byte.
class Segments {
public:
    void clear() { parts_.clear(), seg_ = 0, pos_ = 0; }
    void add(const uint8_t* p, size_t n) { parts_.push_back({p, n}); }

    bool atEnd() const { return seg_ >= parts_.size(); }

    bool bytes(size_t n, std::string* out)
    {
        while (n > 0) {
            if (!normalise())
                return false;
            const size_t take = std::min(n, parts_[seg_].n - pos_);
            if (out)
                out->append(reinterpret_cast<const char*>(parts_[seg_].p + pos_), take);
            pos_ += take;
            n -= take;
        }
        return true;
    }
    bool u8(uint8_t& v)
    {
        if (!normalise())
            return false;
        v = parts_[seg_].p[pos_++];
        return true;
    }
    bool u16v(uint16_t& v)
    {
        std::string b;
        if (!bytes(2, &b))
            return false;
        v = u16(reinterpret_cast<const uint8_t*>(b.data()));
        return true;
    }
    bool u32v(uint32_t& v)
    {
        std::string b;
        if (!bytes(4, &b))
            return false;
        v = u32(reinterpret_cast<const uint8_t*>(b.data()));
        return true;
    }

    // BIFF8 unicode string body: `cch` characters after a flags byte that has
    // been read; a new flags byte begins each CONTINUE part.
    bool chars(uint32_t cch, bool wide, std::string& out)
    {
        while (cch > 0) {
            if (!normalise())
                return false;
            if (pos_ == 0 && startedChars_) {  // a continued part: fresh flags byte
                uint8_t f = parts_[seg_].p[pos_++];
                wide = (f & 1) != 0;
                if (!normalise())
                    return false;
            }
            startedChars_ = true;
            const Part& part = parts_[seg_];
            const size_t width = wide ? 2 : 1;
            size_t avail = (part.n - pos_) / width;
            if (avail == 0)
                return false;  // a character cut in half
            const size_t take = std::min<size_t>(cch, avail);
            for (size_t i = 0; i < take; ++i) {
                const uint8_t* c = part.p + pos_ + i * width;
                uint32_t cp = wide ? u16(c) : c[0];
                if (wide && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < take) {
                    const uint32_t lo = u16(c + 2);
                    if (lo >= 0xDC00 && lo <= 0xDFFF) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                        ++i;
                    }
                }
                appendUtf8(out, cp);
            }
            pos_ += take * width;
            cch -= static_cast<uint32_t>(take);
            if (cch > 0 && pos_ < part.n)
                return false;  // odd bytes left at the end of a part
        }
        startedChars_ = false;
        return true;
    }

    // Whether the read position is at the very start of a continued part.
    bool atPartStart() const { return pos_ == 0 && seg_ > 0; }

private:
    struct Part {
        const uint8_t* p;
        size_t n;
    };
    bool normalise()
    {
        while (seg_ < parts_.size() && pos_ >= parts_[seg_].n) {
            ++seg_;
            pos_ = 0;
        }
        return seg_ < parts_.size();
    }
    std::vector<Part> parts_;
    size_t seg_ = 0, pos_ = 0;
    bool startedChars_ = false;
};

class XlsReader : public WorkbookReader {
public:
    explicit XlsReader(std::string data) : file_(std::move(data)) {}

    bool start(std::string& error)
    {
        // Pad a last sector the writer left short.
        if (file_.size() % 512)
            file_.append(512 - file_.size() % 512, '\0');
        CfbFile cfb;
        if (!cfb.parse(file_, error))
            return false;
        if (cfb.hasStream("EncryptedPackage")) {
            error = readerror::kEncrypted;
            return false;
        }
        const char* name = cfb.hasStream("Workbook") ? "Workbook" : cfb.hasStream("Book") ? "Book" : nullptr;
        if (!name) {
            error = readerror::kNotWorkbook;
            return false;
        }
        if (!cfb.readStream(name, stream_, error))
            return false;
        file_.clear();
        file_.shrink_to_fit();
        return parseGlobals(error) && parseSheet(error);
    }

    bool nextRow(WorkbookRow& cells, std::string& error) override
    {
        if (rowsRead_ >= lastRow_)
            return false;
        if (cancelled()) {
            error = readerror::kCancelled;
            lastRow_ = rowsRead_;
            return false;
        }
        const size_t i = static_cast<size_t>(rowsRead_);
        if (i < rows_.size())
            cells = std::move(rows_[i]);
        else
            for (auto& c : cells)
                c.clear();
        ++rowsRead_;
        return true;
    }

    double progress() const override
    {
        return lastRow_ > 0 ? double(rowsRead_) / double(lastRow_) : 0.0;
    }
    const char* format() const override { return "xls"; }

private:
    struct Record {
        uint16_t type;
        const uint8_t* p;
        uint16_t len;
    };

    bool record(size_t& pos, Record& r) const
    {
        if (pos + 4 > stream_.size())
            return false;
        const auto* p = reinterpret_cast<const uint8_t*>(stream_.data()) + pos;
        r.type = u16(p);
        r.len = u16(p + 2);
        if (pos + 4 + r.len > stream_.size())
            return false;
        r.p = p + 4;
        pos += 4u + r.len;
        return true;
    }

    bool peek(size_t pos, uint16_t& type) const
    {
        if (pos + 4 > stream_.size())
            return false;
        type = u16(reinterpret_cast<const uint8_t*>(stream_.data()) + pos);
        return true;
    }

    bool parseGlobals(std::string& error)
    {
        size_t pos = 0;
        Record r;
        if (!record(pos, r) || (r.type != 0x0809 && r.type != 0x0409 && r.type != 0x0209) || r.len < 4) {
            error = readerror::kNotWorkbook;
            return false;
        }
        const uint16_t vers = u16(r.p);
        if (r.type != 0x0809 || (vers != 0x0600 && vers != 0x0500)) {
            error = "the workbook is in an old format that is not supported (before Excel 5)";
            return false;
        }
        biff8_ = vers == 0x0600;
        codePage_.set(biff8_ ? 1200 : 1252);
        int64_t sheetOffset = -1;
        while (true) {
            if (!record(pos, r)) {
                error = "the workbook is damaged (truncated workbook stream)";
                return false;
            }
            switch (r.type) {
            case 0x000A:  // EOF
                if (sheetOffset < 0) {
                    error = "the workbook is damaged (no worksheet)";
                    return false;
                }
                sheetOffset_ = static_cast<size_t>(sheetOffset);
                return true;
            case 0x002F:  // FILEPASS
                error = readerror::kEncrypted;
                return false;
            case 0x0042:  // CODEPAGE
                if (r.len >= 2 && !biff8_)
                    codePage_.set(u16(r.p));
                break;
            case 0x0022:  // DATEMODE
                if (r.len >= 2)
                    date1904_ = u16(r.p) == 1;
                break;
            case 0x041E: {  // FORMAT
                if (r.len < 3)
                    break;
                const uint16_t id = u16(r.p);
                std::string code;
                if (!readString(r, 2, biff8_ ? 2 : 1, code))
                    break;
                setFormat(id, isDateFormatCode(code));
                break;
            }
            case 0x00E0:  // XF
                if (r.len >= 4)
                    xfFormat_.push_back(u16(r.p + 2));
                break;
            case 0x0085:  // BOUNDSHEET
                if (r.len >= 6 && sheetOffset < 0 && r.p[5] == 0)
                    sheetOffset = u32(r.p);
                break;
            case 0x00FC:  // SST
                if (!readSst(r, pos, error))
                    return false;
                break;
            default:
                break;
            }
        }
    }

    void setFormat(uint16_t id, bool isDate)
    {
        if (formatDate_.size() <= id)
            formatDate_.resize(id + 1u, 0);
        formatDate_[id] = isDate ? 2 : 1;  // 0: no FORMAT record, 1: not a date, 2: a date
    }

    bool xfIsDate(uint16_t xf) const
    {
        if (xf >= xfFormat_.size())
            return false;
        const uint16_t id = xfFormat_[xf];
        if (id < formatDate_.size() && formatDate_[id])
            return formatDate_[id] == 2;
        return isBuiltinDateFormat(id);
    }

    // A string in a record at `off`: `lenBytes` (1 or 2) of character count,
    // then (BIFF8) a flags byte, then the characters.
    bool readString(const Record& r, size_t off, int lenBytes, std::string& out) const
    {
        if (off + static_cast<size_t>(lenBytes) > r.len)
            return false;
        const uint32_t cch = lenBytes == 2 ? u16(r.p + off) : r.p[off];
        off += static_cast<size_t>(lenBytes);
        if (!biff8_) {
            if (off + cch > r.len)
                return false;
            codePage_.append(out, r.p + off, cch);
            return true;
        }
        if (off + 1 > r.len)
            return false;
        const uint8_t flags = r.p[off++];
        if (flags & 0x08)
            off += 2;  // rich-text run count
        if (flags & 0x04)
            off += 4;  // extended data size
        const size_t width = (flags & 1) ? 2 : 1;
        if (off + cch * width > r.len)
            return false;
        Segments s;
        s.add(r.p + off, cch * width);
        return s.chars(cch, width == 2, out);
    }

    bool readSst(const Record& sst, size_t& pos, std::string& error)
    {
        Segments s;
        s.add(sst.p, sst.len);
        uint16_t next;
        while (peek(pos, next) && next == 0x003C) {  // CONTINUE
            Record c;
            if (!record(pos, c))
                break;
            s.add(c.p, c.len);
        }
        uint32_t total, unique;
        if (!s.u32v(total) || !s.u32v(unique)) {
            error = kDamaged;
            return false;
        }
        (void)total;
        if (unique > kMaxSst) {
            error = "the workbook is over the size limits (shared strings)";
            return false;
        }
        sst_.reserve(std::min<uint32_t>(unique, 1u << 16));
        for (uint32_t i = 0; i < unique; ++i) {
            if (s.atEnd())
                break;  // fewer strings than announced: keep what there is
            uint16_t cch;
            uint8_t flags;
            if (!s.u16v(cch) || !s.u8(flags)) {
                error = kDamaged;
                return false;
            }
            uint16_t runs = 0;
            uint32_t ext = 0;
            if ((flags & 0x08) && !s.u16v(runs)) {
                error = kDamaged;
                return false;
            }
            if ((flags & 0x04) && !s.u32v(ext)) {
                error = kDamaged;
                return false;
            }
            std::string text;
            if (!s.chars(cch, (flags & 1) != 0, text) || !s.bytes(4u * runs, nullptr) || !s.bytes(ext, nullptr)) {
                error = "the workbook is damaged (shared strings cut short)";
                return false;
            }
            sst_.push_back(std::move(text));
        }
        return true;
    }

    void setCell(uint16_t row, uint16_t col, std::string text, bool value)
    {
        if (!value)
            return;
        if (row + 1 > lastRow_)
            lastRow_ = row + 1;
        if (col >= 7)
            return;
        if (rows_.size() <= row)
            rows_.resize(row + 1u);
        rows_[row][col] = std::move(text);
    }

    void setNumber(uint16_t row, uint16_t col, uint16_t xf, double d)
    {
        if (col < 7)
            setCell(row, col, xfIsDate(xf) ? dateText(d, date1904_) : numberText(d), true);
        else
            setCell(row, col, {}, true);
    }

    bool parseSheet(std::string& error)
    {
        size_t pos = sheetOffset_;
        Record r;
        if (!record(pos, r) || r.type != 0x0809) {
            error = "the workbook is damaged (worksheet not found)";
            return false;
        }
        lastRow_ = 0;
        bool pendingString = false;
        uint16_t pendRow = 0, pendCol = 0;
        while (true) {
            if (!record(pos, r)) {
                error = "the workbook is damaged (truncated worksheet)";
                return false;
            }
            const uint8_t* p = r.p;
            const uint16_t len = r.len;
            switch (r.type) {
            case 0x000A:  // EOF
                if (lastRow_ == 0)
                    lastRow_ = 1;  // an empty sheet reads as one empty row
                return true;
            case 0x0809:  // BOF of an embedded substream (chart): skip to its EOF
                if (!skipSubstream(pos)) {
                    error = "the workbook is damaged (truncated worksheet)";
                    return false;
                }
                break;
            case 0x00FD:  // LABELSST
                if (len >= 10) {
                    const uint32_t idx = u32(p + 6);
                    if (idx >= sst_.size()) {
                        error = "the workbook is damaged (shared string index out of range)";
                        return false;
                    }
                    setCell(u16(p), u16(p + 2), sst_[idx], !sst_[idx].empty());
                }
                break;
            case 0x0204:    // LABEL
            case 0x00D6: {  // RSTRING
                std::string text;
                if (len < 8 || !readString(r, 6, 2, text)) {
                    error = kDamaged;
                    return false;
                }
                const bool value = !text.empty();
                setCell(u16(p), u16(p + 2), std::move(text), value);
                break;
            }
            case 0x0203:  // NUMBER
                if (len >= 14)
                    setNumber(u16(p), u16(p + 2), u16(p + 4), f64(p + 6));
                break;
            case 0x027E:  // RK
                if (len >= 10)
                    setNumber(u16(p), u16(p + 2), u16(p + 4), rkValue(u32(p + 6)));
                break;
            case 0x00BD: {  // MULRK
                if (len < 6)
                    break;
                const uint16_t row = u16(p);
                const uint16_t first = u16(p + 2);
                const size_t n = (len - 6u) / 6u;
                for (size_t i = 0; i < n; ++i)
                    setNumber(row, static_cast<uint16_t>(first + i), u16(p + 4 + 6 * i), rkValue(u32(p + 6 + 6 * i)));
                break;
            }
            case 0x0205:  // BOOLERR
                if (len >= 8)
                    setCell(u16(p), u16(p + 2), p[7] ? std::string() : (p[6] ? "True" : "False"), true);
                break;
            case 0x0006: {  // FORMULA: the cached result
                if (len < 20)
                    break;
                pendingString = false;
                const uint16_t row = u16(p), col = u16(p + 2);
                if (u16(p + 12) != 0xFFFF) {
                    setNumber(row, col, u16(p + 4), f64(p + 6));
                } else if (p[6] == 0) {
                    pendingString = true;  // the text follows in a STRING record
                    pendRow = row;
                    pendCol = col;
                } else if (p[6] == 1) {
                    setCell(row, col, p[8] ? "True" : "False", true);
                } else if (p[6] == 2) {
                    setCell(row, col, {}, true);
                }
                break;
            }
            case 0x0207: {  // STRING
                if (!pendingString)
                    break;
                pendingString = false;
                std::string text;
                if (!readString(r, 0, 2, text)) {
                    error = kDamaged;
                    return false;
                }
                const bool value = !text.empty();
                setCell(pendRow, pendCol, std::move(text), value);
                break;
            }
            default:
                break;
            }
            if (lastRow_ > kMaxRows) {
                error = kDamaged;
                return false;
            }
        }
    }

    bool skipSubstream(size_t& pos) const
    {
        Record r;
        int depth = 1;
        while (depth > 0) {
            if (!record(pos, r))
                return false;
            if (r.type == 0x0809)
                ++depth;
            else if (r.type == 0x000A)
                --depth;
        }
        return true;
    }

    std::string file_;
    std::string stream_;
    bool biff8_ = true;
    bool date1904_ = false;
    CodePage codePage_;
    std::vector<uint16_t> xfFormat_;
    std::vector<uint8_t> formatDate_;
    std::vector<std::string> sst_;
    size_t sheetOffset_ = 0;
    std::vector<WorkbookRow> rows_;
};

}  // namespace

std::unique_ptr<WorkbookReader> openXls(std::string data, std::string& error)
{
    auto reader = std::make_unique<XlsReader>(std::move(data));
    if (!reader->start(error))
        return nullptr;
    return reader;
}

}  // namespace vornicle::exchange
