#pragma once
// The start window: the tab control with the consumption and personnel
// pages, the activity log list and the export progress bar. Its buttons only
// wire clicks to the handlers of the pages.
#include "core/operator_interface.h"
#include "shell/import_progress_window.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QTabWidget;
class QListView;
class QProgressBar;
class QLineEdit;
class QPushButton;
class QComboBox;
class QTableView;
class QTimer;

namespace vornicle {

class ShellState;
class ImportProgressWindow;
class WorkbookImport;
class BusyInputFilter;

class MainWindow : public QWidget, public OperatorInterface {
    Q_OBJECT
public:
    // dataDirectory: where CBC.db and the daily logs are.
    explicit MainWindow(const QString& dataDirectory, QWidget* parent = nullptr);
    ~MainWindow() override;

    ShellState& state() { return *state_; }

    // Raises the created event: runs MainWindowCreated.
    void raiseCreated();

    // OperatorInterface
    MessageAnswer showMessage(const QString& text, MessageButtons buttons) override;
    std::optional<FileDialogAnswer> chooseFile(const FileDialogRequest& request) override;
    void setCaption(const QString& caption) override;
    void setExportProgress(int position) override;
    void longWorkProgress(qint64 done, qint64 total) override;
    void openImportProgress(std::function<void()> onClosed) override;
    void setImportProgress(int position, int maximum) override;
    void closeImportProgress() override;
    void setImportPath(bool consumptionPage, const QString& path) override;
    void runExclusive(const std::function<void()>& handler) override { runHandler(handler); }
    void beginBusy() override;
    void endBusy() override;

    // Tests replace the dialogs with scripted answers.
    using MessageHook = std::function<MessageAnswer(const QString&, MessageButtons)>;
    using FileHook = std::function<std::optional<FileDialogAnswer>(const FileDialogRequest&)>;
    void setDialogHooks(MessageHook message, FileHook file);

    // Controls (objectName = the names of the form).
    QTabWidget* 选择夹1 = nullptr;
    QListView* 列表框1 = nullptr;
    QProgressBar* 进度条1 = nullptr;
    QLineEdit* 编辑框1 = nullptr;
    QPushButton* 按钮_消费打开excel = nullptr;
    QPushButton* 按钮_消费保存 = nullptr;
    QPushButton* 按钮4 = nullptr;
    QComboBox* 组合框1 = nullptr;
    QPushButton* 按钮_校验编号 = nullptr;
    QPushButton* 按钮_重复 = nullptr;
    QPushButton* 按钮_导出消费EXCEL = nullptr;
    QTableView* 超级列表框1 = nullptr;
    QTimer* 时钟1 = nullptr;
    QLineEdit* 编辑框2 = nullptr;
    QPushButton* 按钮_人事资料导入EXCEL = nullptr;
    QPushButton* 按钮_人事资料保存 = nullptr;
    QPushButton* 按钮1 = nullptr;
    QPushButton* 按钮_刷新人事 = nullptr;
    QLineEdit* 编辑框3 = nullptr;
    QPushButton* 按钮_人事查询 = nullptr;
    QTableView* 超级列表框2 = nullptr;

    WorkbookImport* consumptionImport() const { return consumptionImport_.get(); }
    WorkbookImport* personnelImport() const { return personnelImport_.get(); }

    // The import progress window while an import runs (else null).
    ImportProgressWindow* importProgressWindow() const { return importWindow_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void wireEvents();
    void showPage(int index);
    // Runs a handler to completion and writes its log lines to the file.
    void runHandler(const std::function<void()>& handler);

    void 按钮_消费打开excel_被单击();
    void 按钮_人事资料导入EXCEL_被单击();
    void 按钮_消费保存_被单击();
    void 按钮_导出消费EXCEL_被单击();
    // 时钟1's periodic handler (the timer is never started).
    void CheckExportedWorkbook();
    void 按钮4_被单击();
    void 组合框1_列表项被选择(int index);
    void 按钮_校验编号_被单击();
    void 按钮_重复_被单击();
    void 按钮_人事资料保存_被单击();
    void 按钮1_被单击();
    void 按钮_刷新人事_被单击();
    void 按钮_人事查询_被单击();

    std::unique_ptr<ShellState> state_;
    std::vector<std::vector<QWidget*>> pageControls_;
    std::vector<QWidget*> workControls_;
    std::unique_ptr<BusyInputFilter> busyFilter_;
    int busyDepth_ = 0;
    bool filtering_ = false;
    qint64 lastPump_ = 0;
    QPointer<ImportProgressWindow> importWindow_;
    std::unique_ptr<WorkbookImport> consumptionImport_;
    std::unique_ptr<WorkbookImport> personnelImport_;
    QString dialogFileName_;   // 通用对话框1's file name: the last chosen or proposed
    MessageHook messageHook_;
    FileHook fileHook_;
};

}  // namespace vornicle
