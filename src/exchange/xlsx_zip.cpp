#include "exchange/xlsx_zip.h"

#include <algorithm>
#include <cstring>

#include <unzip.h>

namespace vornicle::exchange {

struct ZipMemFile {
    std::string data;
    uint64_t pos = 0;
};

namespace {

constexpr size_t kMaxEntries = 100000;
constexpr unsigned kMaxNameLength = 4096;

voidpf ZCALLBACK memOpen(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK memRead(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* f = static_cast<ZipMemFile*>(stream);
    if (f->pos >= f->data.size())
        return 0;
    const uint64_t n = std::min<uint64_t>(size, f->data.size() - f->pos);
    std::memcpy(buf, f->data.data() + f->pos, n);
    f->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK memWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK memTell(voidpf, voidpf stream) { return static_cast<ZipMemFile*>(stream)->pos; }

long ZCALLBACK memSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* f = static_cast<ZipMemFile*>(stream);
    uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = f->pos; break;
    case ZLIB_FILEFUNC_SEEK_END: base = f->data.size(); break;
    default: return -1;
    }
    if (offset > f->data.size() || base + offset > f->data.size())
        return -1;
    f->pos = base + offset;
    return 0;
}

int ZCALLBACK memClose(voidpf, voidpf) { return 0; }
int ZCALLBACK memError(voidpf, voidpf) { return 0; }

}  // namespace

XlsxZip::XlsxZip() = default;

XlsxZip::~XlsxZip()
{
    if (zip_) {
        if (partOpen_)
            unzCloseCurrentFile(zip_);
        unzClose(zip_);
    }
}

std::string XlsxZip::normalise(std::string name)
{
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    size_t start = 0;
    while (start < name.size() && name[start] == '/')
        ++start;
    return name.substr(start);
}

bool XlsxZip::openFile(const std::string& path, std::string& error)
{
    zlib_filefunc64_def ff;
    fill_fopen64_filefunc(&ff);
    zip_ = unzOpen2_64(path.c_str(), &ff);
    if (!zip_) {
        error = "the workbook is damaged (not a readable zip package)";
        return false;
    }
    return listEntries(error);
}

bool XlsxZip::openMemory(std::string data, std::string& error)
{
    mem_ = std::make_unique<ZipMemFile>();
    mem_->data = std::move(data);
    zlib_filefunc64_def ff{};
    ff.zopen64_file = memOpen;
    ff.zread_file = memRead;
    ff.zwrite_file = memWrite;
    ff.ztell64_file = memTell;
    ff.zseek64_file = memSeek;
    ff.zclose_file = memClose;
    ff.zerror_file = memError;
    ff.opaque = mem_.get();
    zip_ = unzOpen2_64("memory", &ff);
    if (!zip_) {
        error = "the workbook is damaged (not a readable zip package)";
        return false;
    }
    return listEntries(error);
}

bool XlsxZip::listEntries(std::string& error)
{
    int rc = unzGoToFirstFile(zip_);
    while (rc == UNZ_OK) {
        if (entries_.size() >= kMaxEntries) {
            error = "the workbook is over the size limits (too many package parts)";
            return false;
        }
        unz_file_info64 info;
        char name[kMaxNameLength + 1];
        if (unzGetCurrentFileInfo64(zip_, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
            error = "the workbook is damaged (bad zip directory)";
            return false;
        }
        name[kMaxNameLength] = 0;
        unz64_file_pos pos;
        if (unzGetFilePos64(zip_, &pos) != UNZ_OK) {
            error = "the workbook is damaged (bad zip directory)";
            return false;
        }
        Entry e;
        e.posInCentralDir = pos.pos_in_zip_directory;
        e.numFile = pos.num_of_file;
        e.compressed = info.compressed_size;
        e.uncompressed = info.uncompressed_size;
        e.encrypted = (info.flag & 1) != 0;
        entries_.emplace(normalise(name), e);  // the first of duplicate names wins
        rc = unzGoToNextFile(zip_);
    }
    if (rc != UNZ_END_OF_LIST_OF_FILE) {
        error = "the workbook is damaged (bad zip directory)";
        return false;
    }
    if (entries_.empty()) {
        error = "the workbook is damaged (empty zip package)";
        return false;
    }
    return true;
}

bool XlsxZip::has(const std::string& partName) const { return entries_.count(partName) != 0; }

uint64_t XlsxZip::size(const std::string& partName) const
{
    auto it = entries_.find(partName);
    return it == entries_.end() ? 0 : it->second.uncompressed;
}

bool XlsxZip::openPart(const std::string& partName, uint64_t sizeLimit, std::string& error)
{
    closePart();
    auto it = entries_.find(partName);
    if (it == entries_.end()) {
        error = "the workbook is damaged (part " + partName + " is missing)";
        return false;
    }
    const Entry& e = it->second;
    if (e.encrypted) {
        error = "the workbook is encrypted (password protected)";
        return false;
    }
    if (e.uncompressed > sizeLimit) {
        error = "the workbook is over the size limits (" + partName + " unpacks to " +
                std::to_string(e.uncompressed) + " bytes)";
        return false;
    }
    unz64_file_pos pos{e.posInCentralDir, e.numFile};
    if (unzGoToFilePos64(zip_, &pos) != UNZ_OK || unzOpenCurrentFile(zip_) != UNZ_OK) {
        error = "the workbook is damaged (cannot unpack " + partName + ")";
        return false;
    }
    partOpen_ = true;
    return true;
}

long XlsxZip::read(char* buf, unsigned n, std::string& error)
{
    if (!partOpen_)
        return 0;
    const int got = unzReadCurrentFile(zip_, buf, n);
    if (got < 0) {
        error = "the workbook is damaged (bad compressed data)";
        return -1;
    }
    if (got == 0) {
        const int rc = unzCloseCurrentFile(zip_);
        partOpen_ = false;
        if (rc == UNZ_CRCERROR) {
            error = "the workbook is damaged (checksum mismatch)";
            return -1;
        }
        if (rc != UNZ_OK) {
            error = "the workbook is damaged (bad compressed data)";
            return -1;
        }
    }
    return got;
}

void XlsxZip::closePart()
{
    if (partOpen_) {
        unzCloseCurrentFile(zip_);
        partOpen_ = false;
    }
}

}  // namespace vornicle::exchange
