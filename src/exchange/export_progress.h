#pragma once
// Export progress: the percentage shown while a list is written, and the
// callback through which writers report it.
#include <cstdint>
#include <functional>

namespace vornicle {

// Called with the number of list rows and the 1-based number of the row about
// to be written, before that row is written.
using ExportProgressCallback = std::function<void(int total, int current)>;

// The progress-bar position for row `current` of `total`: the integer part of
// (current / total) * 100, divided first, in double precision. 3 rows give
// 33, 66, 100; row 57 of 100 gives 56. A total of 0 or less gives 0.
int ExportProgressPosition(int total, int current);

// Calls a progress callback for each row but skips the calls that would show
// the same position as the previous one, so that a million rows cost about a
// hundred calls. The first row and the last row are always reported.
class ExportProgressReporter {
public:
    ExportProgressReporter(const ExportProgressCallback& callback, int64_t total);
    void row(int64_t current)
    {
        if (!callback_)
            return;
        const int position = ExportProgressPosition(total_, static_cast<int>(current));
        if (position != last_) {
            last_ = position;
            callback_(total_, static_cast<int>(current));
        }
    }

private:
    const ExportProgressCallback& callback_;
    int total_;
    int last_ = -1;
};

}  // namespace vornicle
