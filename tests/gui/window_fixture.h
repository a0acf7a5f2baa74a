#pragma once
// A main window on a temporary data directory, with its dialogs answered
// from a script: what the operator would answer and which file they pick.
#include "core/operator_interface.h"
#include "log/activity_log.h"
#include "shell/main_window.h"
#include "shell/shell_state.h"
#include "store/record_store.h"
#include "test_support.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace vornicle::test {

struct TestWindow {
    // withDatabase: CBC.db is created first; created: the created handler runs.
    explicit TestWindow(bool withDatabase, bool created = true) : dir(makeTempDir())
    {
        if (withDatabase) {
            EXPECT_TRUE(CreateDatabaseIfMissing(QDir(dir).filePath("CBC.db").toStdString()));
        }
        window = std::make_unique<MainWindow>(dir);
        window->setDialogHooks(
            [this](const QString& text, MessageButtons) {
                messages << text;
                return answer;
            },
            [this](const FileDialogRequest& request) {
                requests.push_back(request);
                return file;
            });
        if (created)
            window->raiseCreated();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // The messages of the log list, without their time stamps.
    QStringList logged() const
    {
        QStringList out;
        for (const QString& line : window->state().log.listModel()->lines())
            out << line.mid(line.indexOf(QLatin1Char(':'), 17) + 1);
        return out;
    }
    QString lastLog() const { return logged().last(); }

    template <typename T>
    T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromUtf8(name));
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }

    void click(const char* name)
    {
        auto* b = button(name);
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isVisible()) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    QString dir;
    std::unique_ptr<MainWindow> window;
    QStringList messages;                      // message boxes shown
    MessageAnswer answer = MessageAnswer::Yes;  // the answer to a Yes/No box
    std::optional<FileDialogAnswer> file;      // the file dialogs' answer (none: cancel)
    std::vector<FileDialogRequest> requests;   // the file dialogs asked for
};

}  // namespace vornicle::test
