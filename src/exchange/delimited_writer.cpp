#include "exchange/delimited_writer.h"

#include "exchange/column_map.h"
#include "lists/report_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vornicle {

namespace {

constexpr size_t kBlockBytes = size_t(1) << 20;

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};

// Collects lines and writes them in large blocks.
class BlockWriter {
public:
    explicit BlockWriter(std::FILE* file) : file_(file) { buffer_.reserve(kBlockBytes + 4096); }

    std::string& buffer() { return buffer_; }

    bool flushIfFull() { return buffer_.size() >= kBlockBytes ? flush() : true; }

    bool flush()
    {
        if (buffer_.empty())
            return true;
        const size_t size = buffer_.size();
        const size_t written = std::fwrite(buffer_.data(), 1, size, file_);
        buffer_.clear();
        return written == size;
    }

private:
    std::FILE* file_;
    std::string buffer_;
};

void setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

}  // namespace

int32_t WriteDelimitedFile(const ReportList& list, const std::string& path, std::string_view headerTitles,
                           std::string_view delimiter, bool writeHeader, const ExportProgressCallback& progress,
                           std::string* error)
{
    const int64_t rows = list.rowCount();
    ColumnMap map;
    const std::string header = BuildColumnMap(list, headerTitles, delimiter, map);
    if (map.empty())
        return 0;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        setError(error, "cannot create " + path + ": " + std::strerror(errno));
        return -1;
    }
    std::setvbuf(file.get(), nullptr, _IONBF, 0);

    BlockWriter out(file.get());
    std::string& line = out.buffer();
    if (writeHeader) {
        line.append(header);
        line.append("\r\n");
    }
    ExportProgressReporter reporter(progress, rows);
    bool ok = true;
    for (int64_t r = 0; r < rows && ok; ++r) {
        for (int32_t column : map) {
            if (column >= 0)
                line.append(list.cell(r, column));
            line.append(delimiter);
        }
        line.append("\r\n");
        reporter.row(r + 1);
        ok = out.flushIfFull();
    }
    ok = ok && out.flush();
    std::FILE* f = file.release();
    if (std::fclose(f) != 0)
        ok = false;
    if (!ok) {
        setError(error, "cannot write " + path + ": " + std::strerror(errno));
        return -1;
    }
    return static_cast<int32_t>(map.size());
}

}  // namespace vornicle
