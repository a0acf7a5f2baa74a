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
    // Call on the model's thread.
    void appendLine(const QString& line);
    // Many lines in order, by the same rule, announced once. skippedBefore
    // lines came before them that the rule is sure to remove again.
    void appendLines(const QStringList& lines, qsizetype skippedBefore = 0);

signals:
    // The newest line (its row); the view selects it and scrolls to it.
    void newestLineChanged(int row);

private:
    QStringList lines_;
};

class ActivityLog {
public:
    // Least time between two rewrites of the log file while lines keep coming.
    static constexpr int kDefaultFlushIntervalMs = 250;

    // directory: where the daily files go (the data directory); it also
    // becomes the default directory of AppendLogLine. The list model lives on
    // the constructing thread (the UI thread).
    explicit ActivityLog(const QString& directory);
    ~ActivityLog();  // stops the writer and flushes
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // One message: a list line and a file line. Safe from any thread; the list
    // part always runs on the thread of the list model (queued from others).
    // File lines are held back briefly and written newest first in batches by
    // a writer thread of the log: at once when the day changes, else once the
    // last write is the flush interval ago; also on Flush() and destruction.
    // So a line's cost does not grow with the file, and a line reaches the
    // file within the interval (a quarter second while the file is small).
    void WriteLog(const QString& message);
    // Many messages in order, as many WriteLog calls would log them, with the
    // list told once (an import logs a line per row).
    void WriteLogLines(const QStringList& messages);
    // Writes every line still held back to its file.
    void Flush();

    // The least time between two rewrites; the log stretches it so that the
    // rewrites take at most about a tenth of the time (0: write each line at
    // once).
    void setMinimumFlushInterval(int milliseconds);

    LogListModel* listModel() const;
    QString directory() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Default directory of AppendLogLine (set by ActivityLog; before that the
// program's own directory).
void SetLogDirectory(const QString& directory);
QString LogDirectory();

// Inserts one line at the top of a file (file name optional: the data
// directory's "运行日志.txt"). Costs the file's size; ActivityLog batches.
void AppendLogLine(const QString& message, const QString& fileName = QString());

// Inserts bytes at the top of a file, creating it when missing. The file is
// replaced whole (through a temporary file beside it when possible), so a
// failure leaves the old content. False when it cannot be written.
bool PrependToFile(const QString& fileName, const QByteArray& bytes);

}  // namespace vornicle
