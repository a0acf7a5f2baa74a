#pragma once
// What one run of vornicle-cli works on: the same store, lists and log as
// the window, with an operator interface that never prompts.
#include "core/operator_interface.h"
#include "core/workspace.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "store/record_store.h"

#include <QString>
#include <QStringList>

namespace vornicle {

// Message boxes go to standard error; a Yes/No question is answered Yes.
class CliOperator : public OperatorInterface {
public:
    MessageAnswer showMessage(const QString& text, MessageButtons buttons) override;
    std::optional<FileDialogAnswer> chooseFile(const FileDialogRequest& request) override;
    void setCaption(const QString& caption) override;
    void setExportProgress(int position) override;

    QStringList messages;
};

class CliSession {
public:
    explicit CliSession(const QString& dataDirectory);

    // Connects and binds as the window does at start (without refreshing the
    // register). False, with the reason on standard error, when there is no
    // database.
    bool connect();

    CliOperator ui;
    RecordStore store;
    ReportList consumptionList;
    ReportList personnelList;
    ActivityLog log;
    Workspace workspace;
};

}  // namespace vornicle
