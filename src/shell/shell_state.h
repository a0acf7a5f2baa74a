#pragma once
// Everything the window works on, owned for the whole run: the record store,
// the two report lists, the activity log and the workspace the handlers get.
#include "core/operator_interface.h"
#include "core/workspace.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "store/record_store.h"

#include <QString>
#include <memory>

namespace vornicle {

class ShellState {
public:
    // dataDirectory holds CBC.db and the daily log files.
    ShellState(const QString& dataDirectory, OperatorInterface& ui);

    RecordStore store;
    ReportList consumptionList;
    ReportList personnelList;
    ActivityLog log;
    Workspace workspace;
};

}  // namespace vornicle
