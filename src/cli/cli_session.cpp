#include "cli_session.h"

#include "core/data_directory.h"
#include "personnel/personnel_page.h"

#include <cstdio>

namespace vornicle {

MessageAnswer CliOperator::showMessage(const QString& text, MessageButtons buttons)
{
    messages << text;
    if (buttons == MessageButtons::YesNo)
        return MessageAnswer::Yes;
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return MessageAnswer::Ok;
}

std::optional<FileDialogAnswer> CliOperator::chooseFile(const FileDialogRequest&)
{
    return std::nullopt;
}

void CliOperator::setCaption(const QString&) {}

void CliOperator::setExportProgress(int) {}

CliSession::CliSession(const QString& dataDirectory)
    : consumptionList(ConsumptionListColumns()),
      personnelList(PersonnelListColumns()),
      log(dataDirectory),
      workspace{store, consumptionList, personnelList, log, ui, DatabasePathIn(dataDirectory), ConsumptionView::WholeTable, {}}
{
    workspace.mainWindowCreated = [this] { MainWindowCreated(workspace); };
}

bool CliSession::connect()
{
    if (store.Connect(workspace.databasePath.toStdString(), {}) != 1) {
        std::fprintf(stderr, "没有数据库！ %s\n", workspace.databasePath.toUtf8().constData());
        return false;
    }
    store.BindConnection();
    return true;
}

}  // namespace vornicle
