#pragma once
// What the handlers act on: the record store, the two report lists, the
// activity log, the operator and where the database lies. The window and the
// command-line tool each own one of these.
#include <QString>
#include <functional>

namespace vornicle {

class RecordStore;
class ReportList;
class ActivityLog;
class OperatorInterface;

// What the consumption list currently shows.
enum class ConsumptionView {
    WholeTable,   // the whole table, an import, or nothing loaded
    Filtered      // one of the views that hide rows ("不为空", "过滤空白", "编号重复")
};

struct Workspace {
    RecordStore& store;
    ReportList& consumptionList;   // 超级列表框1
    ReportList& personnelList;     // 超级列表框2
    ActivityLog& log;
    OperatorInterface& ui;
    QString databasePath;          // the data directory + "/CBC.db"
    ConsumptionView consumptionView = ConsumptionView::WholeTable;
    // Runs the main window's created handler (connect, caption, refresh the
    // personnel list); the saves end with it.
    std::function<void()> mainWindowCreated;
};

}  // namespace vornicle
