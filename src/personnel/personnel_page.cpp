#include "personnel/personnel_page.h"

#include "core/list_rows.h"
#include "core/operator_interface.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "store/record_store.h"

#include <array>

namespace vornicle {

namespace {

constexpr std::array<const char*, 4> kPersonnelFields = {"empno", "empname", "deptname", "cardtype"};

void logHeadcount(Workspace& ws)
{
    ws.log.WriteLog(QStringLiteral("当前共有%1人").arg(ws.personnelList.rowCount()));
}

}  // namespace

void MainWindowCreated(Workspace& ws)
{
    if (ws.store.Connect(ws.databasePath.toStdString(), {}) == 1) {
        ws.ui.setCaption(QStringLiteral("Vornicle连接成功"));
        ws.store.BindConnection();
        RefreshPersonnelList(ws);
    } else {
        ws.ui.showMessage(QStringLiteral("没有数据库！"), MessageButtons::Ok);
    }
}

void RefreshPersonnelList(Workspace& ws)
{
    ws.store.Open("hr_employee", OpenKind::TableName);
    FillListFromOpenTable(ws.store, ws.personnelList, kPersonnelFields, ws.ui);
    logHeadcount(ws);
}

void SearchPersonnelByNumber(Workspace& ws, const QString& number)
{
    // The typed text is bound as a parameter: quotes in it are never SQL.
    ws.store.OpenWithParameters("select * from hr_employee where empno=?", {number.toStdString()});
    FillPersonnelListFromRecordSet(ws);
}

void FillPersonnelListFromRecordSet(Workspace& ws)
{
    FillListFromOpenResult(ws.store, ws.personnelList, kPersonnelFields, ws.ui);
    logHeadcount(ws);
}

bool SavePersonnelList(Workspace& ws)
{
    if (ws.store.Connect(ws.databasePath.toStdString(), {}) != 1) {
        ws.ui.showMessage(QStringLiteral("没有数据库！"), MessageButtons::Ok);
        return false;
    }
    ws.ui.setCaption(QStringLiteral("连接成功"));
    ws.store.BindConnection();

    // All rows are appended or none: one transaction, rolled back on the
    // first failure.
    const ReportList& list = ws.personnelList;
    bool saved = false;
    std::string failure;
    if (!ws.store.Begin()) {
        failure = ws.store.LastError();
    } else {
        bool ok = ws.store.Open("hr_employee", OpenKind::TableName);
        ws.store.MoveLast();
        ok = ok && AppendListRows(ws.store, list, ws.ui);
        if (ok)
            ok = ws.store.Commit();
        if (ok) {
            saved = true;
        } else {
            failure = ws.store.LastError();
            ws.store.Close();
            ws.store.Rollback();
        }
    }
    if (!saved)
        ws.log.WriteLog(QStringLiteral("人事资料保存失败：")
                        + (failure.empty() ? QStringLiteral("数据库拒绝写入") : QString::fromStdString(failure)));
    MainWindowCreated(ws);
    return saved;
}

void ClearPersonnelList(Workspace& ws)
{
    ws.personnelList.clear();
}

}  // namespace vornicle
