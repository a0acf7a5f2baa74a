#pragma once
// A compound file (OLE2 structured storage, version 3 with 512-byte sectors)
// holding one stream in its root storage: the container of an .xls workbook.
#include <string>
#include <string_view>

namespace vornicle {

// Writes `path` (created or replaced) as a compound file whose root storage
// holds the single stream `streamName` (at most 31 UTF-16 code units, given
// in ASCII) with the bytes `stream`. Streams shorter than the mini-stream
// cutoff (4,096 bytes) are padded with zero bytes up to it, so the file needs
// no mini stream. Large streams get DIFAT sectors once the FAT outgrows the
// header's 109 entries. Returns false with the reason in *error.
bool WriteCompoundFile(const std::string& path, std::string_view streamName, std::string stream,
                       std::string* error = nullptr);

}  // namespace vornicle
