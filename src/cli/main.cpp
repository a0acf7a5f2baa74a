// vornicle-cli: the window's handlers without a window, for batch work,
// benchmarks and tests. Rows are printed as JSON Lines; errors go to standard
// error with exit status 1; a usage error exits with 2.
#include "cli_session.h"
#include "json_lines.h"

#include "consumption/consumption_page.h"
#include "core/data_directory.h"
#include "exchange/export_consumption.h"
#include "exchange/workbook_import.h"
#include "exchange/workbook_reader.h"
#include "personnel/personnel_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <functional>
#include <map>

using namespace vornicle;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: vornicle-cli [--home DIR] COMMAND ...\n"
    "  init\n"
    "  read-workbook FILE\n"
    "  import-consumption FILE\n"
    "  import-personnel FILE\n"
    "  list consumption [all|matched|unmatched|duplicates]\n"
    "  list personnel [--number N]\n"
    "  mark-duplicates\n"
    "  match number|name|name-dept\n"
    "  clear consumption\n"
    "  export FILE [--view all|matched|unmatched|duplicates]\n";

int usage(const char* why = nullptr)
{
    if (why)
        std::fprintf(stderr, "vornicle-cli: %s\n", why);
    std::fputs(kUsageText, stderr);
    return kUsage;
}

void printList(const ReportList& list)
{
    JsonLinesWriter out(stdout);
    std::vector<std::string_view> cells(static_cast<size_t>(list.columnCount()));
    for (int64_t r = 0; r < list.rowCount(); ++r) {
        for (int c = 0; c < list.columnCount(); ++c)
            cells[static_cast<size_t>(c)] = list.cell(r, c);
        out.row(cells);
    }
}

int commandInit(const QString& home, const QStringList& args)
{
    if (!args.isEmpty())
        return usage("init takes no arguments");
    QDir().mkpath(home);
    std::string error;
    if (!CreateDatabaseIfMissing(DatabasePathIn(home).toStdString(), &error)) {
        std::fprintf(stderr, "vornicle-cli: cannot create %s: %s\n", DatabasePathIn(home).toUtf8().constData(),
                     error.c_str());
        return kFailed;
    }
    return kOk;
}

int viewIndex(const QString& name)
{
    static const std::map<QString, int> views = {{QStringLiteral("all"), 0}, {QStringLiteral("matched"), 1},
                                                 {QStringLiteral("unmatched"), 2}, {QStringLiteral("duplicates"), 3}};
    const auto it = views.find(name);
    return it == views.end() ? -1 : it->second;
}

int commandReadWorkbook(const QString&, const QStringList& args)
{
    if (args.size() != 1)
        return usage("read-workbook FILE");
    std::string error;
    auto reader = exchange::WorkbookReader::open(QFile::encodeName(args[0]).toStdString(), error);
    if (reader) {
        JsonLinesWriter out(stdout);
        exchange::WorkbookRow row;
        while (reader->nextRow(row, error))
            out.row(row);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "vornicle-cli: cannot read %s: %s\n", args[0].toUtf8().constData(), error.c_str());
        return kFailed;
    }
    return kOk;
}

int commandImport(const QString& home, const QStringList& args, ImportTarget target)
{
    if (args.size() != 1)
        return usage(target == ImportTarget::Consumption ? "import-consumption FILE" : "import-personnel FILE");
    CliSession s(home);
    if (!s.connect())
        return kFailed;
    WorkbookImport import(s.workspace, target, [&s] { return SaveConsumptionList(s.workspace); });
    if (!import.runSynchronously(QFileInfo(args[0]).absoluteFilePath()))
        return kFailed;
    if (target == ImportTarget::Personnel && !SavePersonnelList(s.workspace))
        return kFailed;
    return kOk;
}

int commandExport(const QString& home, const QStringList& args)
{
    if (args.size() != 1 && args.size() != 3)
        return usage("export FILE [--view all|matched|unmatched|duplicates]");
    int view = -1;
    if (args.size() == 3) {
        if (args[1] != QLatin1String("--view") || (view = viewIndex(args[2])) < 0)
            return usage("export FILE [--view all|matched|unmatched|duplicates]");
    }
    CliSession s(home);
    if (!s.connect())
        return kFailed;
    if (view < 0)
        RefreshConsumptionList(s.workspace);
    else
        ApplyConsumptionFilter(s.workspace, view);
    return ExportConsumptionListTo(s.workspace, QFileInfo(args[0]).absoluteFilePath()) ? kOk : kFailed;
}

int commandList(const QString& home, const QStringList& args)
{
    if (args.isEmpty())
        return usage("list needs consumption or personnel");
    CliSession s(home);
    if (args[0] == QLatin1String("consumption")) {
        if (args.size() > 2)
            return usage("too many arguments");
        int view = -1;
        if (args.size() == 2 && (view = viewIndex(args[1])) < 0)
            return usage("unknown view");
        if (!s.connect())
            return kFailed;
        if (view < 0)
            RefreshConsumptionList(s.workspace);
        else
            ApplyConsumptionFilter(s.workspace, view);
        printList(s.consumptionList);
        return kOk;
    }
    if (args[0] == QLatin1String("personnel")) {
        QString number;
        bool search = false;
        if (args.size() == 3 && args[1] == QLatin1String("--number")) {
            number = args[2];
            search = true;
        } else if (args.size() != 1) {
            return usage("list personnel [--number N]");
        }
        if (!s.connect())
            return kFailed;
        if (search)
            SearchPersonnelByNumber(s.workspace, number);
        else
            RefreshPersonnelList(s.workspace);
        printList(s.personnelList);
        return kOk;
    }
    return usage("list needs consumption or personnel");
}

// Connects, runs one handler on the workspace, and reports its failure with
// the store's reason.
int runOnStore(const QString& home, const char* failure, const std::function<bool(Workspace&)>& handler)
{
    CliSession s(home);
    if (!s.connect())
        return kFailed;
    if (!handler(s.workspace)) {
        std::fprintf(stderr, "vornicle-cli: %s: %s\n", failure, s.store.LastError().c_str());
        return kFailed;
    }
    return kOk;
}

int commandMarkDuplicates(const QString& home, const QStringList& args)
{
    if (!args.isEmpty())
        return usage("mark-duplicates takes no arguments");
    return runOnStore(home, "更新语句有问题", [](Workspace& ws) { return MarkDuplicates(ws); });
}

int commandMatch(const QString& home, const QStringList& args)
{
    static const std::map<QString, int> choices = {
        {QStringLiteral("number"), 1}, {QStringLiteral("name"), 2}, {QStringLiteral("name-dept"), 3}};
    if (args.size() != 1 || !choices.count(args[0]))
        return usage("match number|name|name-dept");
    const int choice = choices.at(args[0]);
    return runOnStore(home, "更新语句有问题", [choice](Workspace& ws) { return RunMatch(ws, choice); });
}

int commandClear(const QString& home, const QStringList& args)
{
    if (args.size() != 1 || args[0] != QLatin1String("consumption"))
        return usage("clear consumption");
    return runOnStore(home, "cannot clear dlc_record_xf", [](Workspace& ws) { return ClearConsumptionTable(ws); });
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString home;
    if (!args.isEmpty() && args[0] == QLatin1String("--home")) {
        if (args.size() < 2)
            return usage("--home needs a directory");
        home = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty())
        return usage();
    home = ResolveDataDirectory(home);
    const QString command = args.takeFirst();

    using Command = std::function<int(const QString&, const QStringList&)>;
    const std::map<QString, Command> commands = {
        {QStringLiteral("init"), commandInit},
        {QStringLiteral("list"), commandList},
        {QStringLiteral("read-workbook"), commandReadWorkbook},
        {QStringLiteral("import-consumption"),
         [](const QString& h, const QStringList& a) { return commandImport(h, a, ImportTarget::Consumption); }},
        {QStringLiteral("import-personnel"),
         [](const QString& h, const QStringList& a) { return commandImport(h, a, ImportTarget::Personnel); }},
        {QStringLiteral("export"), commandExport},
        {QStringLiteral("mark-duplicates"), commandMarkDuplicates},
        {QStringLiteral("match"), commandMatch},
        {QStringLiteral("clear"), commandClear},
    };
    const auto it = commands.find(command);
    if (it == commands.end())
        return usage("unknown command");
    return it->second(home, args);
}
