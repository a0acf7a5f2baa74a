#include "exchange/cfb_file.h"

#include "exchange/cell_text.h"

#include <cstring>

namespace vornicle::exchange {

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;

uint16_t u16(const char* p)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}

uint32_t u32(const char* p) { return u16(p) | (static_cast<uint32_t>(u16(p + 2)) << 16); }

const char kDamaged[] = "the workbook is damaged (bad compound file structure)";

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

const char* CfbFile::sector(uint32_t index) const
{
    const uint64_t off = (static_cast<uint64_t>(index) + 1) * sectorSize_;
    if (index >= sectorCount_ || off + sectorSize_ > data_.size())
        return nullptr;
    return data_.data() + off;
}

bool CfbFile::chain(const std::vector<uint32_t>& fat, uint32_t start, uint64_t maxSectors,
                    std::vector<uint32_t>& out, std::string& error) const
{
    out.clear();
    uint32_t s = start;
    while (s != kEndOfChain) {
        if (s >= fat.size() || out.size() >= maxSectors || out.size() >= fat.size()) {
            error = kDamaged;  // a chain that runs off the table or loops
            return false;
        }
        out.push_back(s);
        s = fat[s];
    }
    return true;
}

bool CfbFile::readChain(uint32_t start, std::string& out, std::string& error) const
{
    std::vector<uint32_t> sectors;
    if (!chain(fat_, start, sectorCount_, sectors, error))
        return false;
    out.clear();
    out.reserve(sectors.size() * sectorSize_);
    for (uint32_t s : sectors) {
        const char* p = sector(s);
        if (!p) {
            error = "the workbook is damaged (truncated compound file)";
            return false;
        }
        out.append(p, sectorSize_);
    }
    return true;
}

bool CfbFile::parse(std::string_view data, std::string& error)
{
    data_ = data;
    if (data.size() < 512 || std::memcmp(data.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0) {
        error = "the workbook is damaged (truncated compound file)";
        return false;
    }
    const char* h = data.data();
    const uint16_t shift = u16(h + 30);
    const uint16_t miniShift = u16(h + 32);
    if ((shift != 9 && shift != 12) || miniShift != 6 || u16(h + 28) != 0xFFFE) {
        error = kDamaged;
        return false;
    }
    sectorSize_ = 1u << shift;
    miniSectorSize_ = 1u << miniShift;
    sectorCount_ = (data.size() - 512 + sectorSize_ - 1) / sectorSize_;
    if (shift == 12)  // the header occupies a whole 4096-byte sector
        sectorCount_ = data.size() >= 4096 ? (data.size() - 4096 + sectorSize_ - 1) / sectorSize_ : 0;
    const uint32_t numFat = u32(h + 44);
    const uint32_t firstDir = u32(h + 48);
    miniCutoff_ = u32(h + 56);
    const uint32_t firstMiniFat = u32(h + 60);
    const uint32_t numMiniFat = u32(h + 64);
    uint32_t difatSect = u32(h + 68);
    const uint32_t numDifat = u32(h + 72);
    if (numFat > sectorCount_ || numMiniFat > sectorCount_ || numDifat > sectorCount_) {
        error = kDamaged;
        return false;
    }

    // The sectors that hold the allocation table: 109 in the header, more in DIFAT sectors.
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < 109 && fatSectors.size() < numFat; ++i)
        fatSectors.push_back(u32(h + 76 + 4 * i));
    const uint32_t perDifat = sectorSize_ / 4 - 1;
    uint32_t difatSeen = 0;
    while (fatSectors.size() < numFat) {
        if (difatSect >= kMaxRegSect || ++difatSeen > numDifat + 1) {
            error = kDamaged;
            return false;
        }
        const char* p = sector(difatSect);
        if (!p) {
            error = kDamaged;
            return false;
        }
        for (uint32_t i = 0; i < perDifat && fatSectors.size() < numFat; ++i)
            fatSectors.push_back(u32(p + 4 * i));
        difatSect = u32(p + 4 * perDifat);
    }
    fat_.clear();
    fat_.reserve(static_cast<size_t>(numFat) * (sectorSize_ / 4));
    for (uint32_t fs : fatSectors) {
        const char* p = sector(fs);
        if (!p) {
            error = kDamaged;
            return false;
        }
        for (uint32_t i = 0; i < sectorSize_ / 4; ++i)
            fat_.push_back(u32(p + 4 * i));
    }
    if (fat_.size() > sectorCount_)
        fat_.resize(sectorCount_);  // entries past the end of the file name no sector

    // Directory.
    std::string dir;
    if (!readChain(firstDir, dir, error))
        return false;
    for (size_t off = 0; off + 128 <= dir.size(); off += 128) {
        const char* e = dir.data() + off;
        DirEntry d;
        const uint16_t nameBytes = u16(e + 64);
        for (uint16_t i = 0; i + 1 < nameBytes && i < 64; i += 2) {
            const uint16_t ch = u16(e + i);
            if (ch == 0)
                break;
            appendUtf8(d.name, ch);
        }
        d.type = static_cast<uint8_t>(e[66]);
        d.start = u32(e + 116);
        d.size = u32(e + 120);
        if (sectorSize_ == 4096)
            d.size |= static_cast<uint64_t>(u32(e + 124)) << 32;
        entries_.push_back(std::move(d));
    }
    if (entries_.empty() || entries_[0].type != 5) {
        error = kDamaged;
        return false;
    }

    // The mini stream (held by the root entry) and its allocation table.
    if (numMiniFat > 0 && firstMiniFat < kMaxRegSect) {
        std::string mf;
        if (!readChain(firstMiniFat, mf, error))
            return false;
        miniFat_.resize(mf.size() / 4);
        for (size_t i = 0; i < miniFat_.size(); ++i)
            miniFat_[i] = u32(mf.data() + 4 * i);
        const DirEntry& root = entries_[0];
        if (root.start < kMaxRegSect) {
            if (!readChain(root.start, miniStream_, error))
                return false;
            if (miniStream_.size() > root.size)
                miniStream_.resize(root.size);
        }
    }
    return true;
}

const CfbFile::DirEntry* CfbFile::find(std::string_view name) const
{
    for (const auto& e : entries_)
        if (e.type == 2 && equalsNoCase(e.name, name))
            return &e;
    return nullptr;
}

bool CfbFile::hasStream(std::string_view name) const { return find(name) != nullptr; }

bool CfbFile::readStream(std::string_view name, std::string& out, std::string& error) const
{
    const DirEntry* e = find(name);
    if (!e) {
        error = kDamaged;
        return false;
    }
    if (e->size < miniCutoff_) {
        std::vector<uint32_t> sectors;
        if (!chain(miniFat_, e->start, miniStream_.size() / miniSectorSize_ + 1, sectors, error))
            return false;
        out.clear();
        for (uint32_t s : sectors) {
            const uint64_t off = static_cast<uint64_t>(s) * miniSectorSize_;
            if (off + miniSectorSize_ > miniStream_.size()) {
                error = "the workbook is damaged (truncated compound file)";
                return false;
            }
            out.append(miniStream_, off, miniSectorSize_);
        }
    } else if (!readChain(e->start, out, error)) {
        return false;
    }
    if (out.size() < e->size) {
        error = "the workbook is damaged (truncated compound file)";
        return false;
    }
    out.resize(e->size);
    return true;
}

}  // namespace vornicle::exchange
