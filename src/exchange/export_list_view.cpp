#include "exchange/export_list_view.h"

#include "exchange/delimited_writer.h"
#include "exchange/xls_writer.h"
#include "exchange/xlsx_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <cstdio>
#include <cstring>

namespace vornicle {

namespace {

std::function<bool(const std::string&)>& commitHook()
{
    static std::function<bool(const std::string&)> hook;
    return hook;
}

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The text after the last "."; empty when there is no "." after the last
// folder separator.
std::string extensionOf(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return lowerAscii(std::string_view(path).substr(dot + 1));
}

using std::filesystem::perms;
constexpr perms kNewFilePermissions =
    perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;

// Makes the written bytes durable before the rename publishes them, so that a
// crash cannot leave an empty or partial file under the target's name.
bool flushToDisk(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

enum class Kind { Delimited, Xls, Xlsx, Unknown };

Kind kindOf(const std::string& extension)
{
    if (extension == "txt" || extension == "csv")
        return Kind::Delimited;
    if (extension == "xls")
        return Kind::Xls;
    if (extension == "xlsx")
        return Kind::Xlsx;
    return Kind::Unknown;
}

}  // namespace

void SetExportCommitHookForTesting(std::function<bool(const std::string& tempPath)> hook)
{
    commitHook() = std::move(hook);
}

ExportResult ExportListView(const ReportList& list, const std::string& path, std::string_view headerTitles,
                            std::optional<std::string_view> delimiter, std::optional<bool> writeHeader,
                            const ExportProgressCallback& progress)
{
    ExportResult result;
    const Kind kind = kindOf(extensionOf(path));
    if (kind == Kind::Unknown) {
        result.error = "unknown file type";
        return result;
    }

    // A unique temporary name beside the target, so that the rename stays on
    // one file system and replaces the target in one step.
    const QFileInfo target(QString::fromStdString(path));
    QTemporaryFile temp(target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() +
                                                      QStringLiteral(".XXXXXX.part")));
    temp.setAutoRemove(true);
    if (!temp.open()) {
        result.error = "cannot create a file in " + target.absolutePath().toStdString() + ": " +
                       temp.errorString().toStdString();
        return result;
    }
    const std::string tempPath = temp.fileName().toStdString();
    temp.close();

    std::string error;
    int32_t columns = 0;
    switch (kind) {
    case Kind::Delimited:
        columns = WriteDelimitedFile(list, tempPath, headerTitles, delimiter.value_or("|"), writeHeader.value_or(false),
                                     progress, &error);
        break;
    case Kind::Xls:
        columns = WriteXlsWorkbook(list, tempPath, headerTitles, writeHeader.value_or(true), progress, &error);
        break;
    case Kind::Xlsx:
        columns = WriteXlsxWorkbook(list, tempPath, headerTitles, writeHeader.value_or(true),
                                    target.absolutePath().toStdString(), progress, &error);
        break;
    case Kind::Unknown:
        break;
    }
    if (columns == 0) {
        result.error = "the header names no columns to export";
        return result;
    }
    if (columns < 0) {
        result.error = error;
        return result;
    }
    // The temporary file was created private to the owner; the export gets the
    // permissions of the file it replaces, or those of a newly created file.
    std::error_code ec;
    const auto oldStatus = std::filesystem::status(path, ec);
    const auto mode = (!ec && std::filesystem::exists(oldStatus)) ? oldStatus.permissions()
                                                                   : kNewFilePermissions;
    std::filesystem::permissions(tempPath, mode, ec);
    if (ec) {
        result.error = "cannot set the permissions of " + tempPath + ": " + ec.message();
        return result;
    }
    if (!flushToDisk(tempPath)) {
        result.error = "cannot write " + path + ": " + std::strerror(errno);
        return result;
    }
    if (commitHook() && !commitHook()(tempPath)) {
        result.error = "cannot finish writing " + path;
        return result;
    }
    if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
        result.error = "cannot replace " + path + ": " + std::strerror(errno);
        return result;
    }
    temp.setAutoRemove(false);  // it is the target now
    result.ok = true;
    result.columns = columns;
    return result;
}

std::string PathWithFilterExtension(const std::string& typedPath, int filterIndex)
{
    static const char* const extensions[] = {"txt", "csv", "xls", "xlsx"};
    if (filterIndex < 0 || filterIndex >= 4)
        return typedPath;
    // A name that already ends in one of the export extensions (in any case)
    // keeps it, whatever type is selected: the operator typed what they want.
    const std::string typed = extensionOf(typedPath);
    for (const char* known : extensions)
        if (typed == known)
            return typedPath;
    return typedPath + "." + extensions[filterIndex];
}

}  // namespace vornicle
