#include "exchange/workbook_reader.h"

#include "exchange/xls_reader.h"
#include "exchange/xlsx_reader.h"
#include "exchange/xlsx_zip.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vornicle::exchange {

namespace {

constexpr uint64_t kMaxXlsBytes = uint64_t(256) << 20;

enum class Kind { Zip, Compound, Other };

Kind sniff(const char* head, size_t n)
{
    if (n >= 4 && std::memcmp(head, "PK", 2) == 0 &&
        (std::memcmp(head + 2, "\x03\x04", 2) == 0 || std::memcmp(head + 2, "\x05\x06", 2) == 0 ||
         std::memcmp(head + 2, "\x07\x08", 2) == 0))
        return Kind::Zip;
    if (n >= 8 && std::memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
        return Kind::Compound;
    return Kind::Other;
}

}  // namespace

std::unique_ptr<WorkbookReader> WorkbookReader::open(const std::string& path, std::string& error)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = std::string("cannot open the file (") + std::strerror(errno) + ")";
        return nullptr;
    }
    char head[8] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    const Kind kind = sniff(head, n);
    if (kind == Kind::Zip) {
        std::fclose(f);
        auto zip = std::make_unique<XlsxZip>();
        if (!zip->openFile(path, error))
            return nullptr;
        return openXlsx(std::move(zip), error);
    }
    if (kind == Kind::Other) {
        std::fclose(f);
        error = readerror::kNotWorkbook;
        return nullptr;
    }
    // A compound file is read whole: .xls files stay small (65,536 rows at most).
    std::string data(head, n);
    char buf[1 << 16];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
        data.append(buf, got);
        if (data.size() > kMaxXlsBytes) {
            std::fclose(f);
            error = "the workbook is over the size limits (an .xls file over 256 MiB)";
            return nullptr;
        }
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        error = "cannot read the file";
        return nullptr;
    }
    return openXls(std::move(data), error);
}

std::unique_ptr<WorkbookReader> WorkbookReader::openMemory(std::string data, std::string& error)
{
    switch (sniff(data.data(), data.size())) {
    case Kind::Zip: {
        auto zip = std::make_unique<XlsxZip>();
        if (!zip->openMemory(std::move(data), error))
            return nullptr;
        return openXlsx(std::move(zip), error);
    }
    case Kind::Compound:
        if (data.size() > kMaxXlsBytes) {
            error = "the workbook is over the size limits (an .xls file over 256 MiB)";
            return nullptr;
        }
        return openXls(std::move(data), error);
    case Kind::Other:
        break;
    }
    error = readerror::kNotWorkbook;
    return nullptr;
}

}  // namespace vornicle::exchange
