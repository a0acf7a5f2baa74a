#include "exchange/cfb_writer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace vornicle {

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kEntriesPerFatSector = kSectorSize / 4;   // 128
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kEntriesPerDifatSector = kEntriesPerFatSector - 1;  // the last one links on
constexpr uint32_t kMiniStreamCutoff = 4096;

constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

void put16(std::string& out, size_t at, uint16_t v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// One 128-byte directory entry.
std::string directoryEntry(std::string_view name, uint8_t type, uint32_t child, uint32_t start, uint32_t size)
{
    std::string e(128, '\0');
    if (type != 0) {
        for (size_t i = 0; i < name.size(); ++i)
            put16(e, 2 * i, static_cast<unsigned char>(name[i]));
        put16(e, 64, static_cast<uint16_t>(2 * (name.size() + 1)));
        e[66] = static_cast<char>(type);
        e[67] = 1;  // black
    }
    put32(e, 68, kNoStream);  // left sibling
    put32(e, 72, kNoStream);  // right sibling
    put32(e, 76, child);
    put32(e, 116, start);
    put32(e, 120, size);
    return e;
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};

}  // namespace

bool WriteCompoundFile(const std::string& path, std::string_view streamName, std::string stream, std::string* error)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    if (streamName.empty() || streamName.size() > 31)
        return fail("invalid stream name");
    // Sizes are 32-bit in a version-3 file; keep well inside that.
    if (stream.size() > 0x7FFFFFFFu - (size_t(1) << 24))
        return fail("the stream is too large for a compound file");

    if (stream.size() < kMiniStreamCutoff)
        stream.resize(kMiniStreamCutoff, '\0');
    const auto streamSize = static_cast<uint32_t>(stream.size());
    const uint32_t streamSectors = (streamSize + kSectorSize - 1) / kSectorSize;
    stream.resize(size_t(streamSectors) * kSectorSize, '\0');

    // Sector layout: stream, one directory sector, FAT sectors, DIFAT sectors.
    uint32_t fatSectors = 0;
    uint32_t difatSectors = 0;
    for (;;) {
        const uint32_t total = streamSectors + 1 + fatSectors + difatSectors;
        const uint32_t needFat = (total + kEntriesPerFatSector - 1) / kEntriesPerFatSector;
        const uint32_t needDifat = needFat > kHeaderDifatEntries
                                       ? (needFat - kHeaderDifatEntries + kEntriesPerDifatSector - 1) /
                                             kEntriesPerDifatSector
                                       : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const uint32_t directorySector = streamSectors;
    const uint32_t firstFat = directorySector + 1;
    const uint32_t firstDifat = firstFat + fatSectors;

    // FAT.
    std::vector<uint32_t> fat(size_t(fatSectors) * kEntriesPerFatSector, kFreeSect);
    for (uint32_t s = 0; s < streamSectors; ++s)
        fat[s] = (s + 1 < streamSectors) ? s + 1 : kEndOfChain;
    fat[directorySector] = kEndOfChain;
    for (uint32_t s = 0; s < fatSectors; ++s)
        fat[firstFat + s] = kFatSect;
    for (uint32_t s = 0; s < difatSectors; ++s)
        fat[firstDifat + s] = kDifSect;

    // Header.
    std::string header(kSectorSize, '\0');
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(header.data(), signature, sizeof signature);
    put16(header, 24, 0x003E);  // minor version
    put16(header, 26, 0x0003);  // major version: 512-byte sectors
    put16(header, 28, 0xFFFE);  // little-endian
    put16(header, 30, 9);       // sector shift
    put16(header, 32, 6);       // mini sector shift
    put32(header, 40, 0);       // directory sectors (must be 0 in version 3)
    put32(header, 44, fatSectors);
    put32(header, 48, directorySector);
    put32(header, 56, kMiniStreamCutoff);
    put32(header, 60, kEndOfChain);  // no mini FAT
    put32(header, 64, 0);
    put32(header, 68, difatSectors ? firstDifat : kEndOfChain);
    put32(header, 72, difatSectors);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        put32(header, 76 + 4 * size_t(i), i < fatSectors ? firstFat + i : kFreeSect);

    // Directory: root storage with the stream as its only child, two unused entries.
    std::string directory = directoryEntry("Root Entry", 5, 1, kEndOfChain, 0);
    directory += directoryEntry(streamName, 2, kNoStream, 0, streamSize);
    directory += directoryEntry({}, 0, kNoStream, 0, 0);
    directory += directoryEntry({}, 0, kNoStream, 0, 0);

    std::string tail = directory;
    tail.reserve(size_t(1 + fatSectors + difatSectors) * kSectorSize);
    {
        std::string fatBytes(fat.size() * 4, '\0');
        for (size_t i = 0; i < fat.size(); ++i)
            put32(fatBytes, 4 * i, fat[i]);
        tail += fatBytes;
    }
    for (uint32_t d = 0; d < difatSectors; ++d) {
        std::string sector(kSectorSize, '\0');
        for (uint32_t i = 0; i < kEntriesPerDifatSector; ++i) {
            const uint32_t fatIndex = kHeaderDifatEntries + d * kEntriesPerDifatSector + i;
            put32(sector, 4 * size_t(i), fatIndex < fatSectors ? firstFat + fatIndex : kFreeSect);
        }
        put32(sector, 4 * size_t(kEntriesPerDifatSector), d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
        tail += sector;
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return fail("cannot create " + path + ": " + std::strerror(errno));
    bool ok = std::fwrite(header.data(), 1, header.size(), file.get()) == header.size() &&
              std::fwrite(stream.data(), 1, stream.size(), file.get()) == stream.size() &&
              std::fwrite(tail.data(), 1, tail.size(), file.get()) == tail.size();
    if (std::fclose(file.release()) != 0)
        ok = false;
    if (!ok)
        return fail("cannot write " + path + ": " + std::strerror(errno));
    return true;
}

}  // namespace vornicle
