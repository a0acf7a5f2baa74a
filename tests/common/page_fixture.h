#pragma once
// A workspace on a fresh database in a temporary data directory, with an
// operator that answers from a script and records what it was shown.
#include "consumption/consumption_page.h"
#include "core/operator_interface.h"
#include "core/workspace.h"
#include "lists/report_list.h"
#include "log/activity_log.h"
#include "personnel/personnel_page.h"
#include "store/record_store.h"
#include "test_support.h"

#include <QDir>
#include <deque>
#include <gtest/gtest.h>

namespace vornicle::test {

class ScriptedOperator : public OperatorInterface {
public:
    MessageAnswer showMessage(const QString& text, MessageButtons buttons) override
    {
        messages << text;
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (answers.empty())
            return MessageAnswer::No;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<FileDialogAnswer> chooseFile(const FileDialogRequest& request) override
    {
        fileRequests.push_back(request);
        if (files.empty())
            return std::nullopt;
        auto f = files.front();
        files.pop_front();
        return f;
    }
    void setCaption(const QString& caption) override { captions << caption; }
    void setExportProgress(int position) override { progress.push_back(position); }

    QStringList messages;
    QStringList captions;
    std::vector<int> progress;
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<FileDialogAnswer>> files;
    std::vector<FileDialogRequest> fileRequests;
};

class PageTest : public ::testing::Test {
protected:
    explicit PageTest(bool withDatabase = true)
        : dir(makeTempDir()),
          log(dir),
          consumption(ConsumptionListColumns()),
          personnel(PersonnelListColumns()),
          ws{store, consumption, personnel, log, ui, QDir(dir).filePath("CBC.db"), ConsumptionView::WholeTable, {}}
    {
        if (withDatabase) {
            EXPECT_TRUE(CreateDatabaseIfMissing(ws.databasePath.toStdString()));
            EXPECT_EQ(store.Connect(ws.databasePath.toStdString()), 1);
            store.BindConnection();
        }
        ws.mainWindowCreated = [this] { MainWindowCreated(ws); };
    }

    // The messages of the log list, without their time stamps.
    QStringList logged() const
    {
        QStringList out;
        for (const QString& line : log.listModel()->lines())
            out << line.mid(line.indexOf(QLatin1Char(':'), 17) + 1);
        return out;
    }

    void sql(const std::string& statement) { ASSERT_TRUE(store.Execute(statement)) << statement << store.LastError(); }

    // Rows of a list as vectors of texts.
    static std::vector<std::vector<std::string>> rows(const ReportList& list)
    {
        std::vector<std::vector<std::string>> out;
        for (int64_t r = 0; r < list.rowCount(); ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < list.columnCount(); ++c)
                row.emplace_back(list.cell(r, c));
            out.push_back(row);
        }
        return out;
    }

    QString dir;
    ScriptedOperator ui;
    RecordStore store;
    ActivityLog log;
    ReportList consumption;
    ReportList personnel;
    Workspace ws;
};

}  // namespace vornicle::test
