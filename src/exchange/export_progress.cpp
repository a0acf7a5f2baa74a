#include "exchange/export_progress.h"

#include <limits>

namespace vornicle {

int ExportProgressPosition(int total, int current)
{
    if (total <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(current) / total * 100);
}

ExportProgressReporter::ExportProgressReporter(const ExportProgressCallback& callback, int64_t total)
    : callback_(callback),
      total_(total > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(total))
{
}

}  // namespace vornicle
