#pragma once
// The consumption page (消费数据): the list 超级列表框1, its four views and
// the table dlc_record_xf.
#include "core/workspace.h"

#include <array>
#include <string>

namespace vornicle {

// The statements of the four views of 组合框1, by index.
extern const std::array<const char*, 4> kConsumptionViewStatements;
// Field names behind the 11 list columns.
extern const std::array<const char*, 11> kConsumptionFields;

// Empties the list and the table.
void ClearConsumptionPage(Workspace& ws);
// "delete from dlc_record_xf "; logs "消费记录已全部删除" on success.
bool ClearConsumptionTable(Workspace& ws);
// List := the whole table; logs "总共刷新到N条记录".
void RefreshConsumptionList(Workspace& ws);
// List := the view of the given 组合框1 index (0..3); other indexes do nothing.
void ApplyConsumptionFilter(Workspace& ws, int index);
// List := the rows of the open record set, which is closed; logs "检测到到有N条记录".
void FillConsumptionListFromRecordSet(Workspace& ws);
// Replaces the table's rows by the list's rows (all or nothing), then runs
// the main window's created handler. When the list shows a view that hides
// rows, the operator is asked first. True when the table was replaced.
bool SaveConsumptionList(Workspace& ws);

// Duplicate marking ("验证重复"): flags exactly the rows whose number occurs
// more than once, then refreshes the list. True on success.
bool MarkDuplicates(Workspace& ws);

// A/B matching ("校验核对"): 1 = by number, 2 = by name, 3 = by name and
// department, anything else = no choice (fails). On success logs, calls
// closeDialog, refreshes the list and returns true; on failure logs
// "更新语句有问题" and returns false.
bool RunMatch(Workspace& ws, int choice, const std::function<void()>& closeDialog = {});
// The match statement of a choice (empty for no choice).
std::string MatchStatement(int choice);

}  // namespace vornicle
