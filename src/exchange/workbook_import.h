#pragma once
// Loading a page's list from a workbook: "打开" on either page. The file is
// read on a worker thread that only reads; rows reach the list, and their log
// lines the log, on the UI thread in batches. The consumption import ends by
// asking whether to save; a file that cannot be read ends in a clear error
// and no question, so nothing stored is replaced.
#include "core/workspace.h"
#include "exchange/workbook_reader.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QThread;

namespace vornicle {

enum class ImportTarget { Consumption, Personnel };

using WorkbookRowBatch = std::shared_ptr<std::vector<exchange::WorkbookRow>>;

// Reads a workbook on its thread and hands the rows over in batches.
class WorkbookReadWorker : public QObject {
    Q_OBJECT
public:
    WorkbookReadWorker(const QString& path, const std::atomic<bool>* cancel);
    void run();

signals:
    void rowsRead(vornicle::WorkbookRowBatch rows, double progress);
    // Empty error: the whole sheet was read.
    void finished(QString error);

private:
    QString path_;
    const std::atomic<bool>* cancel_;
};

class WorkbookImport : public QObject {
    Q_OBJECT
public:
    // saveList: what "Yes" to the save question runs (SaveConsumptionList);
    // true when the table was replaced.
    WorkbookImport(Workspace& ws, ImportTarget target, std::function<bool()> saveList = {},
                   QObject* parent = nullptr);
    ~WorkbookImport() override;

    // The click handler: empties the list, asks for the file, then reads it on
    // a worker thread. Returns at once; finished() is emitted at the end.
    void start();
    // Reads the given file without a dialog and waits for the end (the
    // command-line tool). Returns true when the file was read (and, for the
    // consumption import, saved).
    bool runSynchronously(const QString& path);

    // Stops reading: nothing further is added, no save question.
    void cancel();
    bool running() const { return thread_ != nullptr; }

    // Rows of one batch: tabs removed, appended, one log line each.
    void acceptRows(std::vector<exchange::WorkbookRow>& rows);
    // The closing steps; error empty when the whole file was read.
    void finish(const QString& error);

    // The outcome of the last import.
    bool succeeded() const { return succeeded_; }
    bool saved() const { return saved_; }

signals:
    void importFinished();

private:
    void clearTarget();
    void begin(const QString& path);
    // Reads the file on the worker thread; finished() comes at the end.
    void launch(const QString& path);
    void onRows(const WorkbookRowBatch& rows, double progress);

    Workspace& ws_;
    ImportTarget target_;
    std::function<bool()> saveList_;
    QString path_;
    QThread* thread_ = nullptr;
    std::atomic<bool> cancelFlag_{false};
    bool cancelled_ = false;
    bool succeeded_ = false;
    bool saved_ = false;
    std::string logLine_;
};

// The file dialog's filter of both imports.
extern const char* const kWorkbookFilter;

}  // namespace vornicle
