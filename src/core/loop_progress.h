#pragma once
// Reports the progress of a loop over many rows to the operator interface,
// now and then rather than for every row.
#include "core/operator_interface.h"

namespace vornicle {

class LoopProgress {
public:
    LoopProgress(OperatorInterface& ui, qint64 total) : ui_(ui), total_(total) { ui_.longWorkProgress(0, total_); }
    ~LoopProgress() { ui_.longWorkProgress(total_ < 0 ? done_ : total_, total_); }
    LoopProgress(const LoopProgress&) = delete;
    LoopProgress& operator=(const LoopProgress&) = delete;

    void step()
    {
        if ((++done_ & 0x3fff) == 0)
            ui_.longWorkProgress(done_, total_);
    }

private:
    OperatorInterface& ui_;
    qint64 total_;
    qint64 done_ = 0;
};

}  // namespace vornicle
