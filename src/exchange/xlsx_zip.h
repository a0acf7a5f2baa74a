#pragma once
// The zip package of an xlsx workbook: part lookup by case-insensitive name
// and streamed, size-limited reading of one part at a time.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace vornicle::exchange {

struct ZipMemFile;

class XlsxZip {
public:
    XlsxZip();
    ~XlsxZip();
    XlsxZip(const XlsxZip&) = delete;
    XlsxZip& operator=(const XlsxZip&) = delete;

    bool openFile(const std::string& path, std::string& error);
    bool openMemory(std::string data, std::string& error);

    // Normalised part name ("xl/workbook.xml": no leading slash, '/' separators,
    // lower case) -> whether the package holds it.
    bool has(const std::string& partName) const;
    // Uncompressed size the package declares for a part (0 when absent).
    uint64_t size(const std::string& partName) const;

    // Opens a part for reading; at most one part is open at a time.
    bool openPart(const std::string& partName, uint64_t sizeLimit, std::string& error);
    // Reads up to n bytes; returns the count, 0 at the end, -1 on error
    // (error set; the end of the part also checks its CRC).
    long read(char* buf, unsigned n, std::string& error);
    void closePart();

    static std::string normalise(std::string name);

private:
    struct Entry {
        uint64_t posInCentralDir = 0;
        uint64_t numFile = 0;
        uint64_t compressed = 0;
        uint64_t uncompressed = 0;
        bool encrypted = false;
    };
    bool listEntries(std::string& error);

    std::unique_ptr<ZipMemFile> mem_;
    void* zip_ = nullptr;
    bool partOpen_ = false;
    std::map<std::string, Entry> entries_;
};

}  // namespace vornicle::exchange
