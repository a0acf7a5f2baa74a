#pragma once
// The activity log: every handler reports through WriteLog. A line goes to
// the log list (shown by the window's 列表框1) and to the top of the day's
// log file in the data directory.
#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <memory>

namespace vornicle {

// The lines of the log list. Emptied before an append when it holds more than
// 1000 lines. Lives on the UI thread.
class LogListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogListModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const QStringList& lines() const { return lines_; }
    void appendLine(const QString& line);

signals:
    // The newest line (its row); the view selects it and scrolls to it.
    void newestLineChanged(int row);

private:
    QStringList lines_;
};

class DailyLogFile;

class ActivityLog {
public:
    // directory: where the daily files go (the data directory).
    explicit ActivityLog(const QString& directory);
    ~ActivityLog();  // flushes
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // One message: a list line and a file line. Safe from any thread; the list
    // part always runs on the thread of the list model.
    void WriteLog(const QString& message);
    // Writes every line still held back to its file.
    void Flush();

    LogListModel* listModel() const;
    QString directory() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Inserts one line at the top of a file (file name optional: the data
// directory's "运行日志.txt"). Costs the file's size; ActivityLog batches.
void AppendLogLine(const QString& message, const QString& fileName = QString());

}  // namespace vornicle
