#include "exchange/xlsx_reader.h"

#include "exchange/cell_text.h"
#include "exchange/xlsx_zip.h"

#include <charconv>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>
#include <deque>
#include <vector>

#include <expat.h>

namespace vornicle::exchange {

namespace {

// Limits against hostile packages.
constexpr uint64_t kMaxSheetBytes = uint64_t(4) << 30;        // uncompressed sheet XML
constexpr uint64_t kMaxSharedStringsXml = uint64_t(1) << 30;  // uncompressed sharedStrings.xml
constexpr uint64_t kMaxSmallPart = uint64_t(64) << 20;        // workbook, styles, relationships
constexpr uint64_t kMaxSharedStringBytes = uint64_t(256) << 20;
constexpr size_t kMaxSharedStrings = size_t(1) << 24;
constexpr size_t kMaxText = size_t(1) << 20;  // one cell's text
constexpr int kMaxDepth = 128;
constexpr int64_t kMaxRow = 1048576;
constexpr int64_t kMaxCol = 16384;
constexpr unsigned kChunk = 256 * 1024;

inline const char* localName(const char* name)
{
    if (name[0] && !name[1])
        return name;  // the one-letter names of cells and values
    const char* c = std::strrchr(name, ':');
    return c ? c + 1 : name;
}

bool is(const char* name, const char* local) { return std::strcmp(localName(name), local) == 0; }

const char* attr(const char** attrs, const char* local)
{
    for (int i = 0; attrs[i]; i += 2)
        if (std::strcmp(localName(attrs[i]), local) == 0)
            return attrs[i + 1];
    return nullptr;
}

bool endsWith(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Part name of a relationship target, relative to the folder of its source part.
std::string resolveTarget(const std::string& sourcePart, std::string target)
{
    for (char& c : target)
        if (c == '\\')
            c = '/';
    std::string path;
    if (!target.empty() && target[0] == '/') {
        path = target.substr(1);
    } else {
        const size_t slash = sourcePart.rfind('/');
        path = (slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1)) + target;
    }
    std::vector<std::string> segs;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string seg = path.substr(start, end - start);
        if (seg == "..") {
            if (!segs.empty())
                segs.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segs.push_back(seg);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& s : segs)
        out += (out.empty() ? "" : "/") + s;
    return XlsxZip::normalise(out);
}

std::string relsPartOf(const std::string& part)
{
    const size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

// ---------------------------------------------------------------------------
// expat plumbing: one handler object per part.

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(const char* name, const char** attrs) = 0;
    virtual void end(const char* name) = 0;
    virtual void text(const char*, int) {}

    void fail(const std::string& message)
    {
        if (error.empty())
            error = message;
        XML_StopParser(parser, XML_FALSE);
    }

    XML_Parser parser = nullptr;
    std::string error;
    int depth = 0;
};

void XMLCALL onStart(void* ud, const XML_Char* name, const XML_Char** attrs)
{
    auto* h = static_cast<XmlHandler*>(ud);
    if (++h->depth > kMaxDepth) {
        h->fail("the workbook is damaged (XML nested too deeply)");
        return;
    }
    h->start(name, attrs);
}

void XMLCALL onEnd(void* ud, const XML_Char* name)
{
    auto* h = static_cast<XmlHandler*>(ud);
    --h->depth;
    h->end(name);
}

void XMLCALL onText(void* ud, const XML_Char* s, int len) { static_cast<XmlHandler*>(ud)->text(s, len); }

void XMLCALL onDoctype(void* ud, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    static_cast<XmlHandler*>(ud)->fail("the workbook is damaged (document type declarations are not allowed)");
}

// Streams one part of the package into a handler. In the threaded mode (the
// worksheet) a second thread inflates the next chunks while this one parses.
class XmlPart {
public:
    XmlPart() = default;
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;
    ~XmlPart()
    {
        if (producer_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            cv_.notify_all();
            producer_.join();
        }
        if (parser_)
            XML_ParserFree(parser_);
    }

    bool begin(XlsxZip& zip, const std::string& part, uint64_t limit, XmlHandler& h, std::string& error,
               bool threaded = false)
    {
        zip_ = &zip;
        part_ = part;
        handler_ = &h;
        total_ = zip.size(part);
        if (!zip.openPart(part, limit, error))
            return false;
        parser_ = XML_ParserCreate(nullptr);
        if (!parser_) {
            error = "out of memory";
            return false;
        }
        h.parser = parser_;
        XML_SetUserData(parser_, &h);
        XML_SetElementHandler(parser_, onStart, onEnd);
        XML_SetCharacterDataHandler(parser_, onText);
        XML_SetStartDoctypeDeclHandler(parser_, onDoctype);
        if (threaded) {
            for (int i = 0; i < kBuffers; ++i)
                free_.emplace_back(kChunk);
            producer_ = std::thread([this] { produce(); });
        }
        return true;
    }

    // Feeds one chunk; `done` becomes true after the last one.
    bool pump(bool& done, std::string& error)
    {
        Chunk chunk;
        if (producer_.joinable()) {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait(lock, [this] { return !full_.empty(); });
            chunk = std::move(full_.front());
            full_.pop_front();
        } else {
            chunk.data.resize(kChunk);
            chunk.n = zip_->read(chunk.data.data(), kChunk, chunk.error);
        }
        if (chunk.n < 0) {
            error = chunk.error;
            return false;
        }
        consumed_ += static_cast<uint64_t>(chunk.n);
        done = chunk.n == 0;
        const bool ok = XML_Parse(parser_, chunk.data.data(), static_cast<int>(chunk.n),
                                  done ? XML_TRUE : XML_FALSE) == XML_STATUS_OK;
        if (producer_.joinable() && !done) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                free_.push_back(std::move(chunk.data));
            }
            cv_.notify_all();
        }
        if (!ok) {
            if (!handler_->error.empty())
                error = handler_->error;
            else
                error = "the workbook is damaged (" + part_ + ": " + XML_ErrorString(XML_GetErrorCode(parser_)) +
                        " at line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ")";
            return false;
        }
        if (!handler_->error.empty()) {
            error = handler_->error;
            return false;
        }
        return true;
    }

    bool runToEnd(std::string& error)
    {
        bool done = false;
        while (!done)
            if (!pump(done, error))
                return false;
        return true;
    }

    double progress() const { return total_ ? std::min(1.0, double(consumed_) / double(total_)) : 0.0; }

private:
    struct Chunk {
        std::vector<char> data;
        long n = 0;
        std::string error;
    };
    static constexpr int kBuffers = 4;

    void produce()
    {
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait(lock, [this] { return stop_ || !free_.empty(); });
                if (stop_)
                    return;
                chunk.data = std::move(free_.back());
                free_.pop_back();
            }
            chunk.n = zip_->read(chunk.data.data(), kChunk, chunk.error);
            const bool last = chunk.n <= 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                full_.push_back(std::move(chunk));
            }
            cv_.notify_all();
            if (last)
                return;
        }
    }

    XlsxZip* zip_ = nullptr;
    std::string part_;
    XmlHandler* handler_ = nullptr;
    XML_Parser parser_ = nullptr;
    uint64_t total_ = 0;
    uint64_t consumed_ = 0;

    std::thread producer_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Chunk> full_;
    std::vector<std::vector<char>> free_;
    bool stop_ = false;
};

bool parseWholePart(XlsxZip& zip, const std::string& part, uint64_t limit, XmlHandler& h, std::string& error)
{
    XmlPart p;
    return p.begin(zip, part, limit, h, error) && p.runToEnd(error);
}

// ---------------------------------------------------------------------------
// Package parts.

struct Relationship {
    std::string id, type, target;
};

class RelsHandler : public XmlHandler {
public:
    explicit RelsHandler(std::string source) : source_(std::move(source)) {}
    void start(const char* name, const char** attrs) override
    {
        if (!is(name, "Relationship"))
            return;
        const char* mode = attr(attrs, "TargetMode");
        if (mode && std::strcmp(mode, "External") == 0)
            return;
        const char* id = attr(attrs, "Id");
        const char* type = attr(attrs, "Type");
        const char* target = attr(attrs, "Target");
        if (id && type && target)
            rels.push_back({id, type, resolveTarget(source_, target)});
    }
    void end(const char*) override {}

    const Relationship* byId(const std::string& id) const
    {
        for (const auto& r : rels)
            if (r.id == id)
                return &r;
        return nullptr;
    }
    const Relationship* byType(const char* suffix) const
    {
        for (const auto& r : rels)
            if (endsWith(r.type, suffix))
                return &r;
        return nullptr;
    }

    std::vector<Relationship> rels;

private:
    std::string source_;
};

class WorkbookHandler : public XmlHandler {
public:
    void start(const char* name, const char** attrs) override
    {
        const char* l = localName(name);
        if (std::strcmp(l, "workbookPr") == 0) {
            const char* v = attr(attrs, "date1904");
            date1904 = v && (std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0);
        } else if (std::strcmp(l, "sheet") == 0) {
            const char* id = attr(attrs, "id");
            if (id)
                sheetIds.emplace_back(id);
        }
    }
    void end(const char*) override {}

    bool date1904 = false;
    std::vector<std::string> sheetIds;
};

class StylesHandler : public XmlHandler {
public:
    void start(const char* name, const char** attrs) override
    {
        const char* l = localName(name);
        if (std::strcmp(l, "cellXfs") == 0) {
            inCellXfs_ = true;
        } else if (std::strcmp(l, "numFmt") == 0) {
            const char* id = attr(attrs, "numFmtId");
            const char* code = attr(attrs, "formatCode");
            if (id && code)
                customFormats.emplace_back(std::atoi(id), isDateFormatCode(code));
        } else if (inCellXfs_ && std::strcmp(l, "xf") == 0) {
            const char* id = attr(attrs, "numFmtId");
            xfFormats.push_back(id ? std::atoi(id) : 0);
            if (xfFormats.size() > 1000000)
                fail("the workbook is over the size limits (too many cell formats)");
        }
    }
    void end(const char* name) override
    {
        if (is(name, "cellXfs"))
            inCellXfs_ = false;
    }

    std::vector<std::pair<int, bool>> customFormats;
    std::vector<int> xfFormats;

private:
    bool inCellXfs_ = false;
};

// The shared-string table: one text block and the offsets into it.
class SharedStrings {
public:
    size_t size() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    std::string_view at(size_t i) const
    {
        return std::string_view(pool_).substr(offsets_[i], offsets_[i + 1] - offsets_[i]);
    }
    bool add(const std::string& s)
    {
        if (offsets_.empty())
            offsets_.push_back(0);
        if (size() >= kMaxSharedStrings || pool_.size() + s.size() > kMaxSharedStringBytes)
            return false;
        pool_ += s;
        offsets_.push_back(pool_.size());
        return true;
    }
    void shrink()
    {
        pool_.shrink_to_fit();
        offsets_.shrink_to_fit();
    }

private:
    std::string pool_;
    std::vector<uint64_t> offsets_;
};

class SharedStringsHandler : public XmlHandler {
public:
    explicit SharedStringsHandler(SharedStrings& table) : table_(table) {}
    void start(const char* name, const char**) override
    {
        const char* l = localName(name);
        if (std::strcmp(l, "si") == 0) {
            inSi_ = true;
            cur_.clear();
        } else if (std::strcmp(l, "rPh") == 0) {
            ++phonetic_;
        } else if (std::strcmp(l, "t") == 0 && inSi_ && phonetic_ == 0) {
            inT_ = true;
        }
    }
    void end(const char* name) override
    {
        const char* l = localName(name);
        if (std::strcmp(l, "si") == 0) {
            inSi_ = false;
            decodeXmlEscapes(cur_);
            if (!table_.add(cur_))
                fail("the workbook is over the size limits (shared strings)");
        } else if (std::strcmp(l, "rPh") == 0) {
            --phonetic_;
        } else if (std::strcmp(l, "t") == 0) {
            inT_ = false;
        }
    }
    void text(const char* s, int len) override
    {
        if (!inT_)
            return;
        if (cur_.size() + static_cast<size_t>(len) > kMaxText) {
            fail("the workbook is over the size limits (a text longer than 1 MiB)");
            return;
        }
        cur_.append(s, static_cast<size_t>(len));
    }

private:
    SharedStrings& table_;
    std::string cur_;
    bool inSi_ = false;
    bool inT_ = false;
    int phonetic_ = 0;
};

// ---------------------------------------------------------------------------
// The worksheet.

struct ReadyRow {
    int64_t row;
    WorkbookRow cells;
};

class SheetHandler : public XmlHandler {
public:
    SheetHandler(const SharedStrings& sst, std::vector<uint8_t> dateXf, bool date1904)
        : sst_(sst), dateXf_(std::move(dateXf)), date1904_(date1904)
    {
    }

    void start(const char* name, const char** attrs) override
    {
        const char* l = localName(name);
        switch (l[0]) {
        case 'c':
            if (l[1] == 0 && inRow_)
                startCell(attrs);
            break;
        case 'v':
            if (l[1] == 0 && inCell_) {
                inV_ = true;
                hasV_ = true;
            }
            break;
        case 't':
            if (l[1] == 0 && inIs_ && phonetic_ == 0)
                inT_ = true;
            break;
        case 'i':
            if (l[1] == 's' && l[2] == 0 && inCell_) {
                inIs_ = true;
                hasIs_ = true;
            }
            break;
        case 'r':
            if (std::strcmp(l, "row") == 0 && inSheetData_)
                startRow(attrs);
            else if (std::strcmp(l, "rPh") == 0)
                ++phonetic_;
            break;
        case 's':
            if (std::strcmp(l, "sheetData") == 0)
                inSheetData_ = true;
            break;
        default:
            break;
        }
    }

    void end(const char* name) override
    {
        const char* l = localName(name);
        switch (l[0]) {
        case 'c':
            if (l[1] == 0 && inCell_)
                endCell();
            break;
        case 'v':
            if (l[1] == 0)
                inV_ = false;
            break;
        case 't':
            if (l[1] == 0)
                inT_ = false;
            break;
        case 'i':
            if (l[1] == 's' && l[2] == 0)
                inIs_ = false;
            break;
        case 'r':
            if (std::strcmp(l, "row") == 0)
                inRow_ = false;
            else if (std::strcmp(l, "rPh") == 0)
                --phonetic_;
            break;
        case 's':
            if (std::strcmp(l, "sheetData") == 0) {
                inSheetData_ = false;
                flushRow();
            }
            break;
        default:
            break;
        }
    }

    void text(const char* s, int len) override
    {
        std::string* target = inV_ ? &v_ : inT_ ? &t_ : nullptr;
        if (!target)
            return;
        if (target->size() + static_cast<size_t>(len) > kMaxText) {
            fail("the workbook is over the size limits (a text longer than 1 MiB)");
            return;
        }
        target->append(s, static_cast<size_t>(len));
    }

    void finish() { flushRow(); }

    std::deque<ReadyRow> ready;

private:
    void startRow(const char** attrs)
    {
        int64_t r = row_ + 1;
        if (const char* a = attr(attrs, "r")) {
            const char* end = a + std::strlen(a);
            auto res = std::from_chars(a, end, r);
            if (res.ec != std::errc() || res.ptr != end) {
                fail("the workbook is damaged (bad row number)");
                return;
            }
        }
        if (r < 1 || r > kMaxRow) {
            fail("the workbook is damaged (row number out of range)");
            return;
        }
        if (r < row_) {
            fail("the workbook is damaged (rows out of order)");
            return;
        }
        if (r != row_) {
            flushRow();
            row_ = r;
            for (auto& c : cur_)
                c.clear();
            curHasValue_ = false;
        }
        inRow_ = true;
        col_ = 0;
    }

    void flushRow()
    {
        if (row_ > 0 && curHasValue_) {
            ready.push_back({row_, std::move(cur_)});
            for (auto& c : cur_)
                c.clear();
            curHasValue_ = false;
        }
    }

    void startCell(const char** attrs)
    {
        inCell_ = true;
        hasV_ = hasIs_ = false;
        v_.clear();
        t_.clear();
        xf_ = 0;
        type_ = Type::Number;
        int64_t col = col_ + 1;
        for (int i = 0; attrs[i]; i += 2) {
            const char* n = localName(attrs[i]);
            const char* val = attrs[i + 1];
            if (n[0] == 'r' && n[1] == 0) {
                int64_t c = 0;
                const char* p = val;
                while (*p >= 'A' && *p <= 'Z' && c <= kMaxCol)
                    c = c * 26 + (*p++ - 'A' + 1);
                if (c > 0)
                    col = c;
            } else if (n[0] == 't' && n[1] == 0) {
                type_ = cellType(val);
            } else if (n[0] == 's' && n[1] == 0) {
                int x = 0;
                const char* p = val;
                while (*p >= '0' && *p <= '9' && x < 100000000)
                    x = x * 10 + (*p++ - '0');
                xf_ = *p ? -1 : x;
            }
        }
        col_ = col;
    }

    void endCell()
    {
        inCell_ = false;
        if (col_ > kMaxCol) {
            fail("the workbook is damaged (column out of range)");
            return;
        }
        const bool keep = col_ <= 7;
        std::string text;
        bool value = false;
        switch (type_) {
        case Type::Number: {
            const std::string_view sv = trimmed(v_);
            if (!sv.empty()) {
                value = true;
                if (keep) {
                    double d = 0;
                    auto res = std::from_chars(sv.data(), sv.data() + sv.size(), d);
                    if (res.ec != std::errc() || res.ptr != sv.data() + sv.size())
                        text = std::string(sv);
                    else if (xf_ >= 0 && static_cast<size_t>(xf_) < dateXf_.size() && dateXf_[xf_])
                        text = dateText(d, date1904_);
                    else
                        text = numberText(d);
                }
            }
            break;
        }
        case Type::Shared: {
            const std::string_view sv = trimmed(v_);
            if (!sv.empty()) {
                size_t idx = 0;
                auto res = std::from_chars(sv.data(), sv.data() + sv.size(), idx);
                if (res.ec != std::errc() || res.ptr != sv.data() + sv.size() || idx >= sst_.size()) {
                    fail("the workbook is damaged (shared string index out of range)");
                    return;
                }
                const std::string_view s = sst_.at(idx);
                value = !s.empty();
                if (keep)
                    text = std::string(s);
            }
            break;
        }
        case Type::Inline:
            text = hasIs_ ? std::move(t_) : std::move(v_);
            decodeXmlEscapes(text);
            value = !text.empty();
            break;
        case Type::FormulaString:
            text = std::move(v_);
            decodeXmlEscapes(text);
            value = !text.empty();
            break;
        case Type::Boolean: {
            const std::string_view sv = trimmed(v_);
            if (!sv.empty()) {
                value = true;
                text = (sv == "0" || sv == "false") ? "False" : "True";
            }
            break;
        }
        case Type::Error:
            value = hasV_;
            break;
        case Type::IsoDate: {
            const std::string_view sv = trimmed(v_);
            if (!sv.empty()) {
                value = true;
                if (!isoDateText(sv, text))
                    text = std::string(sv);
            }
            break;
        }
        case Type::Unknown:
            fail("the workbook is damaged (unknown cell type)");
            return;
        }
        if (!value)
            return;
        curHasValue_ = true;
        if (keep)
            cur_[static_cast<size_t>(col_ - 1)] = std::move(text);
    }

    enum class Type { Number, Shared, Inline, FormulaString, Boolean, Error, IsoDate, Unknown };

    static Type cellType(const char* t)
    {
        switch (t[0]) {
        case 0: return Type::Number;
        case 'n': return t[1] == 0 ? Type::Number : Type::Unknown;
        case 's':
            if (t[1] == 0)
                return Type::Shared;
            return std::strcmp(t, "str") == 0 ? Type::FormulaString : Type::Unknown;
        case 'i': return std::strcmp(t, "inlineStr") == 0 ? Type::Inline : Type::Unknown;
        case 'b': return t[1] == 0 ? Type::Boolean : Type::Unknown;
        case 'e': return t[1] == 0 ? Type::Error : Type::Unknown;
        case 'd': return t[1] == 0 ? Type::IsoDate : Type::Unknown;
        default: return Type::Unknown;
        }
    }

    static std::string_view trimmed(const std::string& s)
    {
        size_t a = 0, b = s.size();
        while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\n' || s[a] == '\r'))
            ++a;
        while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\n' || s[b - 1] == '\r'))
            --b;
        return std::string_view(s).substr(a, b - a);
    }

    const SharedStrings& sst_;
    std::vector<uint8_t> dateXf_;
    bool date1904_;

    bool inSheetData_ = false, inRow_ = false, inCell_ = false, inV_ = false, inT_ = false, inIs_ = false;
    bool hasV_ = false, hasIs_ = false;
    int phonetic_ = 0;
    int64_t row_ = 0, col_ = 0;
    int xf_ = 0;
    Type type_ = Type::Number;
    std::string v_, t_;
    WorkbookRow cur_;
    bool curHasValue_ = false;
};

// ---------------------------------------------------------------------------

class XlsxReader : public WorkbookReader {
public:
    explicit XlsxReader(std::unique_ptr<XlsxZip> zip) : zip_(std::move(zip)) {}

    bool start(std::string& error)
    {
        // The workbook part, from the package relationships (or its usual name).
        std::string workbookPart = "xl/workbook.xml";
        if (zip_->has("_rels/.rels")) {
            RelsHandler rels("");
            if (!parseWholePart(*zip_, "_rels/.rels", kMaxSmallPart, rels, error))
                return false;
            if (const Relationship* r = rels.byType("/officeDocument"))
                workbookPart = r->target;
        }
        if (!zip_->has(workbookPart)) {
            error = zip_->has("[content_types].xml") ? "the workbook is damaged (no workbook part)"
                                                     : readerror::kNotWorkbook;
            return false;
        }
        WorkbookHandler wb;
        if (!parseWholePart(*zip_, workbookPart, kMaxSmallPart, wb, error))
            return false;
        RelsHandler wbRels(workbookPart);
        const std::string wbRelsPart = relsPartOf(workbookPart);
        if (zip_->has(wbRelsPart) && !parseWholePart(*zip_, wbRelsPart, kMaxSmallPart, wbRels, error))
            return false;

        // The first worksheet in workbook order (chart and macro sheets skipped).
        std::string sheetPart;
        for (const auto& id : wb.sheetIds) {
            const Relationship* r = wbRels.byId(id);
            if (r && endsWith(r->type, "/worksheet")) {
                sheetPart = r->target;
                break;
            }
        }
        if (sheetPart.empty()) {
            error = "the workbook is damaged (no worksheet)";
            return false;
        }
        if (!zip_->has(sheetPart)) {
            error = "the workbook is damaged (worksheet part " + sheetPart + " is missing)";
            return false;
        }

        // Which cell formats show dates.
        std::vector<uint8_t> dateXf;
        if (const Relationship* r = wbRels.byType("/styles"); r && zip_->has(r->target)) {
            StylesHandler styles;
            if (!parseWholePart(*zip_, r->target, kMaxSmallPart, styles, error))
                return false;
            dateXf.reserve(styles.xfFormats.size());
            for (int id : styles.xfFormats) {
                bool isDate = id < 164 && isBuiltinDateFormat(id);
                for (const auto& [customId, customIsDate] : styles.customFormats)
                    if (customId == id)
                        isDate = customIsDate;
                dateXf.push_back(isDate ? 1 : 0);
            }
        }

        if (const Relationship* r = wbRels.byType("/sharedStrings"); r && zip_->has(r->target)) {
            SharedStringsHandler h(sst_);
            if (!parseWholePart(*zip_, r->target, kMaxSharedStringsXml, h, error))
                return false;
            sst_.shrink();
        }

        sheet_ = std::make_unique<SheetHandler>(sst_, std::move(dateXf), wb.date1904);
        return stream_.begin(*zip_, sheetPart, kMaxSheetBytes, *sheet_, error, true);
    }

    bool nextRow(WorkbookRow& cells, std::string& error) override
    {
        if (ended_)
            return false;
        for (;;) {
            if (cancelled()) {
                error = readerror::kCancelled;
                ended_ = true;
                return false;
            }
            if (!sheet_->ready.empty()) {
                ReadyRow& front = sheet_->ready.front();
                ++rowsRead_;
                if (front.row > rowsRead_) {
                    for (auto& c : cells)
                        c.clear();
                } else {
                    cells = std::move(front.cells);
                    sheet_->ready.pop_front();
                }
                return true;
            }
            if (done_) {
                if (rowsRead_ == 0) {  // an empty sheet reads as one empty row
                    for (auto& c : cells)
                        c.clear();
                    rowsRead_ = 1;
                    lastRow_ = 1;
                    return true;
                }
                lastRow_ = rowsRead_;
                ended_ = true;
                return false;
            }
            if (!stream_.pump(done_, error)) {
                ended_ = true;
                return false;
            }
            if (done_)
                sheet_->finish();
        }
    }

    double progress() const override { return ended_ ? 1.0 : stream_.progress(); }
    const char* format() const override { return "xlsx"; }

private:
    std::unique_ptr<XlsxZip> zip_;
    SharedStrings sst_;
    std::unique_ptr<SheetHandler> sheet_;
    XmlPart stream_;
    bool done_ = false;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<WorkbookReader> openXlsx(std::unique_ptr<XlsxZip> zip, std::string& error)
{
    auto reader = std::make_unique<XlsxReader>(std::move(zip));
    if (!reader->start(error))
        return nullptr;
    return reader;
}

}  // namespace vornicle::exchange
