#include "exchange/workbook_import.h"

#include "core/operator_interface.h"
#include "lists/report_list.h"
#include "log/activity_log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>

namespace vornicle {

const char* const kWorkbookFilter = "excel文件(*.xlsx)|*.xlsx|excel文件(*.xls)|*.xls";

namespace {

constexpr size_t kBatchRows = 4096;
constexpr int kBatchMilliseconds = 50;

void removeTabs(std::string& s)
{
    s.erase(std::remove(s.begin(), s.end(), '\t'), s.end());
}

QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

// --- worker ----------------------------------------------------------------

WorkbookReadWorker::WorkbookReadWorker(const QString& path, const std::atomic<bool>* cancel)
    : path_(path), cancel_(cancel)
{
}

void WorkbookReadWorker::run()
{
    std::string error;
    auto reader = exchange::WorkbookReader::open(QFile::encodeName(path_).toStdString(), error);
    if (!reader) {
        emit finished(fromStd(error));
        return;
    }
    reader->setCancelFlag(cancel_);
    auto batch = std::make_shared<std::vector<exchange::WorkbookRow>>();
    batch->reserve(kBatchRows);
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    exchange::WorkbookRow row;
    while (reader->nextRow(row, error)) {
        batch->push_back(std::move(row));
        if (batch->size() >= kBatchRows || sinceBatch.elapsed() >= kBatchMilliseconds) {
            emit rowsRead(batch, reader->progress());
            batch = std::make_shared<std::vector<exchange::WorkbookRow>>();
            batch->reserve(kBatchRows);
            sinceBatch.restart();
        }
    }
    if (!batch->empty())
        emit rowsRead(batch, 1.0);
    emit finished(fromStd(error));
}

// --- import ----------------------------------------------------------------

WorkbookImport::WorkbookImport(Workspace& ws, ImportTarget target, std::function<bool()> saveList, QObject* parent)
    : QObject(parent), ws_(ws), target_(target), saveList_(std::move(saveList))
{
}

WorkbookImport::~WorkbookImport()
{
    if (thread_) {
        cancelFlag_ = true;
        thread_->quit();
        thread_->wait();
    }
}

void WorkbookImport::begin(const QString& path)
{
    path_ = path;
    cancelled_ = false;
    succeeded_ = false;
    saved_ = false;
    cancelFlag_ = false;
    ws_.ui.setImportPath(target_ == ImportTarget::Consumption, QDir::toNativeSeparators(path));
}

void WorkbookImport::clearTarget()
{
    ReportList& list = target_ == ImportTarget::Consumption ? ws_.consumptionList : ws_.personnelList;
    list.clear();
    if (target_ == ImportTarget::Consumption)
        ws_.consumptionView = ConsumptionView::WholeTable;
}

void WorkbookImport::start()
{
    clearTarget();
    FileDialogRequest request;
    request.save = false;
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/');
    request.filter = QString::fromUtf8(kWorkbookFilter);
    const auto chosen = ws_.ui.chooseFile(request);
    if (!chosen) {
        emit importFinished();
        return;
    }
    launch(chosen->path);
}

bool WorkbookImport::runSynchronously(const QString& path)
{
    clearTarget();
    QEventLoop loop;
    connect(this, &WorkbookImport::importFinished, &loop, &QEventLoop::quit);
    launch(path);
    if (running())
        loop.exec();
    return succeeded_ && (target_ == ImportTarget::Personnel || saved_);
}

void WorkbookImport::launch(const QString& path)
{
    begin(path);
    ws_.ui.beginBusy();
    ws_.ui.openImportProgress([this] { cancel(); });

    thread_ = new QThread(this);
    auto* worker = new WorkbookReadWorker(path_, &cancelFlag_);
    worker->moveToThread(thread_);
    connect(thread_, &QThread::started, worker, &WorkbookReadWorker::run);
    connect(thread_, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &WorkbookReadWorker::rowsRead, this, &WorkbookImport::onRows, Qt::QueuedConnection);
    connect(
        worker, &WorkbookReadWorker::finished, this,
        [this](const QString& error) {
            thread_->quit();
            thread_->wait();
            thread_->deleteLater();
            thread_ = nullptr;
            ws_.ui.runExclusive([this, error] { finish(error); });
            ws_.ui.endBusy();
            ws_.log.Flush();
            emit importFinished();
        },
        Qt::QueuedConnection);
    thread_->start();
}

void WorkbookImport::cancel()
{
    if (!thread_ || cancelled_)
        return;
    cancelled_ = true;
    cancelFlag_ = true;
}

void WorkbookImport::onRows(const WorkbookRowBatch& rows, double progress)
{
    if (cancelled_ || !rows)
        return;
    acceptRows(*rows);   // the batch is ours alone: the worker made a new one
    ws_.ui.setImportProgress(static_cast<int>(progress * 1000.0), 1000);
}

void WorkbookImport::acceptRows(std::vector<exchange::WorkbookRow>& rows)
{
    if (rows.empty())
        return;
    const bool consumption = target_ == ImportTarget::Consumption;
    ReportList& list = consumption ? ws_.consumptionList : ws_.personnelList;
    std::vector<exchange::WorkbookRow>& cleaned = rows;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(cleaned.size()));
    for (exchange::WorkbookRow& r : cleaned) {
        // Tabs are removed from 编号 (C), and for the consumption import also
        // from 姓名 (D) and 部门 (E); one log line per row shows those cells.
        removeTabs(r[2]);
        logLine_ = r[2];
        logLine_ += '|';
        if (consumption) {
            removeTabs(r[3]);
            removeTabs(r[4]);
            logLine_ += r[3];
            logLine_ += '|';
            logLine_ += r[4];
        } else {
            logLine_ += r[3];
        }
        lines.append(fromStd(logLine_));
    }
    ws_.log.WriteLogLines(lines);
    list.appendRows(cleaned);
}

void WorkbookImport::finish(const QString& error)
{
    const bool consumption = target_ == ImportTarget::Consumption;
    ReportList& list = consumption ? ws_.consumptionList : ws_.personnelList;
    const QString file = QDir::toNativeSeparators(path_);
    ws_.ui.closeImportProgress();

    if (cancelled_ || error == QLatin1String(exchange::readerror::kCancelled)) {
        ws_.log.WriteLog(QStringLiteral("导入已取消：%1（已读入%2行）").arg(file).arg(list.rowCount()));
        return;
    }
    if (!error.isEmpty()) {
        // Nothing of an unreadable file is kept or offered for saving.
        list.clear();
        const QString text = QStringLiteral("无法读取文件：%1\n原因：%2").arg(file, error);
        ws_.log.WriteLog(QStringLiteral("无法读取文件：%1，原因：%2").arg(file, error));
        ws_.ui.showMessage(text, MessageButtons::Ok);
        return;
    }

    succeeded_ = true;
    ws_.log.WriteLog(QStringLiteral("共导入%1条数据").arg(list.rowCount() - 1));
    list.removeRow(0);
    if (consumption) {
        if (ws_.ui.showMessage(QStringLiteral("数据导入完成，是否保存？"), MessageButtons::YesNo) == MessageAnswer::Yes)
            saved_ = saveList_ && saveList_();
    } else {
        ws_.ui.showMessage(QStringLiteral("数据加载完成"), MessageButtons::Ok);
    }
}

}  // namespace vornicle
