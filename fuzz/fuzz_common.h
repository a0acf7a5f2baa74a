#pragma once
// Feeds one input to the workbook reader and reads every row.
#include "exchange/workbook_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline void readWholeWorkbook(const uint8_t* data, size_t size)
{
    std::string error;
    auto reader = vornicle::exchange::WorkbookReader::openMemory(
        std::string(reinterpret_cast<const char*>(data), size), error);
    if (!reader)
        return;
    vornicle::exchange::WorkbookRow row;
    while (reader->nextRow(row, error))
        (void)reader->progress();
}
