// Fuzzes the xlsx path: inputs are zip packages (seed with small .xlsx files,
// best with stored parts so that mutations reach the XML).
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || data[0] != 'P' || data[1] != 'K')
        return 0;
    readWholeWorkbook(data, size);
    return 0;
}
