#include "log/activity_log.h"

#include "log/time_text.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vornicle {

// ---- list ----------------------------------------------------------------

LogListModel::LogListModel(QObject* parent) : QAbstractListModel(parent) {}

int LogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= lines_.size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return lines_[index.row()];
    return QVariant();
}

void LogListModel::appendLines(const QStringList& lines, qsizetype skippedBefore)
{
    if (skippedBefore == 0 && lines.size() <= 1) {
        for (const QString& line : lines)
            appendLine(line);
        return;
    }
    // The same rule as line by line (emptied before an append when it holds
    // more than 1000 lines), announced once.
    beginResetModel();
    // Lines skipped by the caller are never shown: whatever survives the
    // rule is among the last 1001 lines.
    for (qsizetype i = 0; i < skippedBefore; ++i) {
        if (lines_.size() > 1000)
            lines_.clear();
        lines_.append(QString());
    }
    for (const QString& line : lines) {
        if (lines_.size() > 1000)
            lines_.clear();
        lines_.append(line);
    }
    endResetModel();
    emit newestLineChanged(static_cast<int>(lines_.size()) - 1);
}

void LogListModel::appendLine(const QString& line)
{
    if (lines_.size() > 1000) {
        beginResetModel();
        lines_.clear();
        endResetModel();
    }
    const int row = static_cast<int>(lines_.size());
    beginInsertRows(QModelIndex(), row, row);
    lines_.append(line);
    endInsertRows();
    emit newestLineChanged(row);
}

// ---- files ---------------------------------------------------------------

namespace {

// Every rewrite of a log file in the process goes through this lock, so that
// two inserts never interleave.
std::mutex& fileMutex()
{
    static std::mutex m;
    return m;
}

std::mutex& directoryMutex()
{
    static std::mutex m;
    return m;
}

QString& directorySlot()
{
    static QString directory;
    return directory;
}

constexpr qint64 kCopyChunk = 1 << 20;
// Lines held back beyond this many bytes are written at once.
constexpr qint64 kMaxPendingBytes = 64 << 20;

}  // namespace

bool PrependToFile(const QString& fileName, const QByteArray& bytes)
{
    std::lock_guard lock(fileMutex());
    QFile old(fileName);
    const bool hasOld = old.exists();
    if (hasOld && !old.open(QIODevice::ReadOnly))
        return false;

    QSaveFile out(fileName);
    if (out.open(QIODevice::WriteOnly)) {
        if (out.write(bytes) != bytes.size()) {
            out.cancelWriting();
            return false;
        }
        if (hasOld) {
            QByteArray chunk;
            while (!(chunk = old.read(kCopyChunk)).isEmpty()) {
                if (out.write(chunk) != chunk.size()) {
                    out.cancelWriting();
                    return false;
                }
            }
            if (old.error() != QFileDevice::NoError) {
                out.cancelWriting();
                return false;
            }
        }
        return out.commit();
    }

    // No temporary file can be made beside it: rewrite the file in place.
    const QByteArray oldContent = hasOld ? old.readAll() : QByteArray();
    if (hasOld && old.error() != QFileDevice::NoError)
        return false;
    old.close();
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = file.write(bytes) == bytes.size() && file.write(oldContent) == oldContent.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

void SetLogDirectory(const QString& directory)
{
    std::lock_guard lock(directoryMutex());
    directorySlot() = directory;
}

QString LogDirectory()
{
    {
        std::lock_guard lock(directoryMutex());
        if (!directorySlot().isEmpty())
            return directorySlot();
    }
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QStringLiteral(".");
}

void AppendLogLine(const QString& message, const QString& fileName)
{
    const QString file = fileName.isEmpty() ? LogDirectory() + QStringLiteral("/运行日志.txt") : fileName;
    const QString line = DateTimeToText(CurrentTime()) + QStringLiteral("   ") + message;
    PrependToFile(file, line.toUtf8() + "\r\n");
}

// ---- the log -------------------------------------------------------------

namespace {

// A run of lines for one file, oldest first.
struct Batch {
    QString file;
    QList<QByteArray> lines;
};

}  // namespace

struct ActivityLog::Impl {
    QString directory;
    std::unique_ptr<LogListModel> model;

    // Guards what follows up to writeMutex.
    std::mutex pendingMutex;
    std::condition_variable wake;  // for the writer: lines, a new day, stopping
    std::deque<Batch> batches;
    qint64 pendingBytes = 0;
    QElapsedTimer sinceFlush;  // since the last batch was taken
    int minimumIntervalMs = kDefaultFlushIntervalMs;
    int intervalMs = kDefaultFlushIntervalMs;
    bool stopping = false;

    // Held while batches are taken and written, so that they land in order.
    std::mutex writeMutex;

    // Writes held-back lines in the background, at most once per interval
    // unless a new day's file or the memory bound asks for it at once.
    std::thread writer;

    void deliverListLines(const QStringList& lines, qsizetype skipped)
    {
        LogListModel* m = model.get();
        if (QThread::currentThread() == m->thread())
            m->appendLines(lines, skipped);
        else
            QMetaObject::invokeMethod(m, [m, lines, skipped] { m->appendLines(lines, skipped); }, Qt::QueuedConnection);
    }

    bool urgent() const { return batches.size() > 1 || pendingBytes >= kMaxPendingBytes; }

    void runWriter()
    {
        std::unique_lock lock(pendingMutex);
        while (!stopping) {
            if (batches.empty()) {
                wake.wait(lock);
                continue;
            }
            const qint64 wait = intervalMs - sinceFlush.elapsed();
            if (wait > 0 && !urgent()) {
                wake.wait_for(lock, std::chrono::milliseconds(wait));
                continue;
            }
            lock.unlock();
            flush();
            lock.lock();
        }
    }

    void flush()
    {
        std::lock_guard writeLock(writeMutex);
        std::deque<Batch> taken;
        {
            std::lock_guard lock(pendingMutex);
            taken.swap(batches);
            pendingBytes = 0;
            sinceFlush.restart();
        }
        if (taken.empty())
            return;
        QElapsedTimer cost;
        cost.start();
        for (const Batch& batch : taken) {
            qsizetype size = 0;
            for (const QByteArray& line : batch.lines)
                size += line.size();
            QByteArray block;
            block.reserve(size);
            for (auto it = batch.lines.crbegin(); it != batch.lines.crend(); ++it)
                block += *it;
            // A file that cannot be written loses its lines; the log goes on.
            PrependToFile(batch.file, block);
        }
        // Rewrites take at most about a tenth of the time.
        const qint64 spent = cost.elapsed();
        std::lock_guard lock(pendingMutex);
        intervalMs = static_cast<int>(std::clamp<qint64>(9 * spent, minimumIntervalMs, 60'000));
    }
};

ActivityLog::ActivityLog(const QString& directory) : impl_(std::make_unique<Impl>())
{
    impl_->directory = directory;
    impl_->model = std::make_unique<LogListModel>();
    impl_->sinceFlush.start();
    SetLogDirectory(directory);
    impl_->writer = std::thread([impl = impl_.get()] { impl->runWriter(); });
}

ActivityLog::~ActivityLog()
{
    {
        std::lock_guard lock(impl_->pendingMutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    impl_->writer.join();
    impl_->flush();
}

namespace {

// The time texts change once a second at most, and an import logs a line per
// row: each thread keeps the last text of each kind with the time (and the
// clock style) it is for.
template <typename T>
struct Cached {
    double time = -1.0e300;
    int style = -1;
    T value;

    template <typename Make>
    const T& get(double t, int s, Make make)
    {
        if (t != time || s != style) {
            value = make(t);
            time = t;
            style = s;
        }
        return value;
    }
};

}  // namespace

void ActivityLog::WriteLog(const QString& message)
{
    WriteLogLines(QStringList{message});
}

void ActivityLog::WriteLogLines(const QStringList& messages)
{
    if (messages.isEmpty())
        return;
    thread_local Cached<QString> listStamp;
    thread_local Cached<QString> dayName;
    thread_local Cached<QByteArray> fileStamp;

    // Only the last 1001 lines of a batch can still be in the list after it.
    const qsizetype skipped = std::max<qsizetype>(0, messages.size() - 1001);
    QStringList listLines;
    listLines.reserve(messages.size() - skipped);
    struct FileLine {
        QString day;
        QByteArray line;
    };
    std::vector<FileLine> fileLines;
    fileLines.reserve(static_cast<size_t>(messages.size()));
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QString& message = messages[i];
        // Each text reads the clock itself.
        if (i >= skipped)
            listLines.append(listStamp.get(CurrentTime(), LocaleUses24Hour(),
                                           [](double t) { return FormatTime(t, 1, 0); })
                             + QStringLiteral(":") + message);
        const QString& day = dayName.get(CurrentTime(), 0, [](double t) { return FormatTime(t, 0, 1); });
        const QByteArray& stamp = fileStamp.get(CurrentTime(), 0, [](double t) {
            return (DateTimeToText(t) + QStringLiteral("   ")).toUtf8();
        });
        fileLines.push_back(FileLine{day, stamp + message.toUtf8() + "\r\n"});
    }
    impl_->deliverListLines(listLines, skipped);

    bool notify = false;
    {
        std::lock_guard lock(impl_->pendingMutex);
        auto& batches = impl_->batches;
        notify = batches.empty();
        QString day;
        QString file;
        for (FileLine& f : fileLines) {
            if (f.day != day) {
                day = f.day;
                file = impl_->directory + QStringLiteral("/") + day + QStringLiteral("login.txt");
            }
            // A new day's file (a second batch) ends the batch of the day before.
            if (batches.empty() || batches.back().file != file)
                batches.push_back(Batch{file, {}});
            batches.back().lines.append(f.line);
            impl_->pendingBytes += f.line.size();
        }
        notify = notify || impl_->urgent();
    }
    if (notify)
        impl_->wake.notify_one();
}

void ActivityLog::Flush()
{
    impl_->flush();
}

void ActivityLog::setMinimumFlushInterval(int milliseconds)
{
    std::lock_guard lock(impl_->pendingMutex);
    impl_->minimumIntervalMs = std::max(0, milliseconds);
    impl_->intervalMs = impl_->minimumIntervalMs;
    impl_->wake.notify_one();
}

LogListModel* ActivityLog::listModel() const
{
    return impl_->model.get();
}

QString ActivityLog::directory() const
{
    return impl_->directory;
}

}  // namespace vornicle
