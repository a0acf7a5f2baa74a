#pragma once
// The personnel page (人事资料): the register list 超级列表框2 and the table
// hr_employee; and the routine that connects the database when the main
// window is created (and again after every save).
#include "core/workspace.h"

#include <QString>

namespace vornicle {

// Connects CBC.db, sets the caption and refreshes the personnel list, or
// shows "没有数据库！".
void MainWindowCreated(Workspace& ws);

// List := every record of hr_employee; logs "当前共有N人".
void RefreshPersonnelList(Workspace& ws);
// List := the records whose empno equals the text exactly (bound as a parameter).
void SearchPersonnelByNumber(Workspace& ws, const QString& number);
// List := the rows of the open record set, which is closed afterwards.
void FillPersonnelListFromRecordSet(Workspace& ws);
// Appends every list row to hr_employee (all or none), then MainWindowCreated.
// True when the rows were stored.
bool SavePersonnelList(Workspace& ws);
// Empties the list only.
void ClearPersonnelList(Workspace& ws);

}  // namespace vornicle
