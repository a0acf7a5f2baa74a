#pragma once
// Appends every row of a list to the table open in a record set, list column
// j-1 into field ordinal j, the way both pages save: AddNew per row (which
// stores the row before it), one Update after the last. Stops at the first
// refusal and returns false; the caller's transaction then rolls back.
#include "core/loop_progress.h"

#include <cstdint>

namespace vornicle {

template <typename Store, typename List>
bool AppendListRows(Store& store, const List& list, OperatorInterface& ui)
{
    bool ok = true;
    const int64_t n = list.rowCount();
    LoopProgress progress(ui, n);
    for (int64_t i = 1; ok && i <= n; ++i) {
        ok = store.AddNew();
        const int c = list.columnCount();   // read again for every row
        for (int j = 1; ok && j <= c; ++j)
            ok = store.WriteField(j, list.cell(i - 1, j - 1));
        progress.step();
    }
    return ok && store.Update();
}

}  // namespace vornicle
