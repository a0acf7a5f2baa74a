#pragma once
// Reading streams out of a compound file (the OLE2 container of .xls files).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornicle::exchange {

class CfbFile {
public:
    // Parses the header, allocation tables and directory of `data` (the whole
    // file, which must outlive this object). False and `error` when damaged.
    bool parse(std::string_view data, std::string& error);

    // Whether a stream of this name (case-insensitive, ASCII) exists.
    bool hasStream(std::string_view name) const;
    // Reads a whole stream; false and `error` when its sector chain is damaged.
    bool readStream(std::string_view name, std::string& out, std::string& error) const;

private:
    struct DirEntry {
        std::string name;  // UTF-8
        uint8_t type = 0;
        uint32_t start = 0;
        uint64_t size = 0;
    };
    const DirEntry* find(std::string_view name) const;
    bool chain(const std::vector<uint32_t>& fat, uint32_t start, uint64_t maxSectors,
               std::vector<uint32_t>& out, std::string& error) const;
    bool readChain(uint32_t start, std::string& out, std::string& error) const;
    const char* sector(uint32_t index) const;

    std::string_view data_;
    uint32_t sectorSize_ = 512;
    uint32_t miniSectorSize_ = 64;
    uint32_t miniCutoff_ = 4096;
    uint64_t sectorCount_ = 0;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::string miniStream_;
    std::vector<DirEntry> entries_;
};

}  // namespace vornicle::exchange
