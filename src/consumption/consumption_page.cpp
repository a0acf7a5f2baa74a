#include "consumption/consumption_page.h"

#include "core/list_rows.h"
#include "core/operator_interface.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "store/record_store.h"


namespace vornicle {

const std::array<const char*, 4> kConsumptionViewStatements = {
    "select * from dlc_record_xf ",
    "select * from dlc_record_xf where empno1<>''",
    "select * from dlc_record_xf where empno1 IS Null",
    "select * from dlc_record_xf where empno in (select empno from   dlc_record_xf group by empno having count (id) > 1)",
};

const std::array<const char*, 11> kConsumptionFields = {
    "skdate", "sktime", "empno", "empname", "deptname", "empje01", "card", "empno1", "empname2", "deptname2", "cf",
};

namespace {

QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString failureText(RecordStore& store)
{
    const std::string e = store.LastError();
    return e.empty() ? QStringLiteral("数据库拒绝写入") : fromStd(e);
}

}  // namespace

void ClearConsumptionPage(Workspace& ws)
{
    ws.consumptionList.clear();
    ws.consumptionView = ConsumptionView::WholeTable;
    ClearConsumptionTable(ws);
}

bool ClearConsumptionTable(Workspace& ws)
{
    if (!ws.store.Execute("delete from dlc_record_xf "))
        return false;
    ws.log.WriteLog(QStringLiteral("消费记录已全部删除"));
    return true;
}

void RefreshConsumptionList(Workspace& ws)
{
    ws.consumptionView = ConsumptionView::WholeTable;
    ws.store.Open("dlc_record_xf", OpenKind::TableName);
    FillListFromOpenTable(ws.store, ws.consumptionList, kConsumptionFields, ws.ui);
    ws.log.WriteLog(QStringLiteral("总共刷新到%1条记录").arg(ws.store.RecordCount()));
}

void ApplyConsumptionFilter(Workspace& ws, int index)
{
    if (index < 0 || index >= static_cast<int>(kConsumptionViewStatements.size()))
        return;
    ws.store.Open(kConsumptionViewStatements[static_cast<size_t>(index)], OpenKind::SqlText);
    FillConsumptionListFromRecordSet(ws);
    ws.consumptionView = index == 0 ? ConsumptionView::WholeTable : ConsumptionView::Filtered;
}

void FillConsumptionListFromRecordSet(Workspace& ws)
{
    FillListFromOpenResult(ws.store, ws.consumptionList, kConsumptionFields, ws.ui);
    ws.log.WriteLog(QStringLiteral("检测到到有%1条记录").arg(ws.consumptionList.rowCount()));
}

bool SaveConsumptionList(Workspace& ws)
{
    if (ws.consumptionView == ConsumptionView::Filtered
        && ws.ui.showMessage(QStringLiteral("列表只显示了部分记录，保存会删除未显示的记录，是否继续保存？"),
                             MessageButtons::YesNo)
               != MessageAnswer::Yes) {
        return false;
    }

    // The clear and the appends run in one transaction: the table holds the
    // list's rows afterwards, or it is as it was.
    const ReportList& list = ws.consumptionList;
    bool saved = false;
    bool cleared = false;
    if (ws.store.Begin()) {
        cleared = ws.store.Execute("delete from dlc_record_xf ");
        bool ok = cleared && ws.store.Open("dlc_record_xf", OpenKind::TableName);
        ws.store.MoveLast();
        ok = ok && AppendListRows(ws.store, list, ws.ui);
        if (ok)
            ok = ws.store.Commit();
        saved = ok;
        if (!ok) {
            const QString why = failureText(ws.store);
            ws.store.Close();
            ws.store.Rollback();
            ws.log.WriteLog(QStringLiteral("数据保存失败：") + why);
        }
    } else {
        ws.log.WriteLog(QStringLiteral("数据保存失败：") + failureText(ws.store));
    }
    if (saved) {
        ws.log.WriteLog(QStringLiteral("消费记录已全部删除"));
        ws.log.WriteLog(QStringLiteral("数据保存完毕"));
        ws.consumptionView = ConsumptionView::WholeTable;
    }
    if (ws.mainWindowCreated)
        ws.mainWindowCreated();
    return saved;
}

bool MarkDuplicates(Workspace& ws)
{
    const QString failed = QStringLiteral("更新语句有问题");
    if (!ws.store.Begin()) {
        ws.log.WriteLog(failed);
        return false;
    }
    ws.store.Open("delete from cf", OpenKind::SqlText);
    if (!ws.store.Execute("INSERT INTO cf(empno,empname)select empno,empname from dlc_record_xf where empno in "
                          "(select empno from   dlc_record_xf group by empno having count (id) > 1)")) {
        ws.store.Rollback();
        ws.log.WriteLog(failed);
        return false;
    }
    ws.log.WriteLog(QStringLiteral("正在验证重复数据......."));
    // A flag left from an earlier marking on a number that is now unique is
    // cleared in the same transaction, so afterwards exactly the rows of
    // repeated numbers carry "重复".
    if (!ws.store.Execute("update dlc_record_xf set cf=NULL where cf='重复' and "
                          "(empno is null or empno not in (select empno from cf))")
        || !ws.store.Execute("update dlc_record_xf,cf set dlc_record_xf.cf='重复' where dlc_record_xf.empno=cf.empno ")
        || !ws.store.Commit()) {
        ws.store.Rollback();
        ws.log.WriteLog(failed);
        return false;
    }
    ws.log.WriteLog(QStringLiteral("已成功标识重复数据......."));
    RefreshConsumptionList(ws);
    return true;
}

std::string MatchStatement(int choice)
{
    const std::string assign =
        "update dlc_record_xf,hr_employee set dlc_record_xf.empno1=hr_employee.empno,"
        "dlc_record_xf.empname2=hr_employee.empname,dlc_record_xf.deptname2=hr_employee.deptname where ";
    switch (choice) {
    case 1:
        return assign + "dlc_record_xf.empno=hr_employee.empno ";
    case 2:
        return assign + "dlc_record_xf.empname=hr_employee.empname ";
    case 3:
        return assign + "dlc_record_xf.empname=hr_employee.empname and dlc_record_xf.deptname=hr_employee.deptname";
    default:
        return {};
    }
}

bool RunMatch(Workspace& ws, int choice, const std::function<void()>& closeDialog)
{
    if (!ws.store.Execute(MatchStatement(choice))) {
        ws.log.WriteLog(QStringLiteral("更新语句有问题"));
        return false;
    }
    ws.log.WriteLog(QStringLiteral("消费记录已纠正请检查"));
    if (closeDialog)
        closeDialog();
    RefreshConsumptionList(ws);
    return true;
}

}  // namespace vornicle
