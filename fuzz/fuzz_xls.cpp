// Fuzzes the xls path: inputs are compound files (seed with small .xls files).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8 || data[0] != 0xD0 || data[1] != 0xCF)
        return 0;
    readWholeWorkbook(data, size);
    return 0;
}
