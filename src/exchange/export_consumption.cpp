#include "exchange/export_consumption.h"

#include "core/operator_interface.h"
#include "exchange/export_list_view.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "log/stopwatch.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace vornicle {

const char* const kConsumptionExportHeader = "消费日期|时间|编号|姓名|部门|金额|类别|编号2|姓名2|部门2|";

QString ProposedExportFileName()
{
    return QStringLiteral("Template%1").arg(QRandomGenerator::global()->bounded(100000, 1000000));
}

bool ExportConsumptionList(Workspace& ws)
{
    FileDialogRequest request;
    request.save = true;
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/');
    request.fileName = ProposedExportFileName();
    request.filter = QString::fromUtf8(kExportFileFilter);
    const auto chosen = ws.ui.chooseFile(request);
    if (!chosen)
        return false;
    const std::string path =
        PathWithFilterExtension(QFile::encodeName(chosen->path).toStdString(), chosen->filterIndex);
    return ExportConsumptionListTo(ws, QFile::decodeName(QByteArray::fromStdString(path)));
}

bool ExportConsumptionListTo(Workspace& ws, const QString& path)
{
    Stopwatch& stopwatch = GlobalStopwatch();
    stopwatch.Start();
    ws.log.WriteLog(QStringLiteral("开始导出"));
    // The writers call back only when the position changes.
    const ExportResult result = ExportListView(
        ws.consumptionList, QFile::encodeName(path).toStdString(), kConsumptionExportHeader, "|", std::nullopt,
        [&](int total, int current) { ws.ui.setExportProgress(ExportProgressPosition(total, current)); });
    ws.log.WriteLog(stopwatch.ElapsedText(QStringLiteral("导出")));
    if (result.ok) {
        ws.ui.showMessage(QStringLiteral("导出完毕！"), MessageButtons::Ok);
    } else {
        const QString file = QDir::toNativeSeparators(path);
        const QString why = QString::fromStdString(result.error);
        ws.log.WriteLog(QStringLiteral("导出失败：%1，原因：%2").arg(file, why));
        ws.ui.showMessage(QStringLiteral("导出失败：%1\n原因：%2").arg(file, why), MessageButtons::Ok);
    }
    ws.ui.setExportProgress(0);
    return result.ok;
}

}  // namespace vornicle
