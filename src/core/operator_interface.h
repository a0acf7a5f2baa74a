#pragma once
// How the handlers talk to the operator and to the window, without knowing
// any widget. The window implements it with Qt dialogs, the tests with
// scripted answers, the command-line tool without prompts.
#include <QString>
#include <functional>
#include <optional>

namespace vornicle {

// Buttons of a message box, by the numbers the handlers use.
enum class MessageButtons { Ok = 0, YesNo = 4 };
// Answers of a message box.
enum class MessageAnswer { Ok = 0, Yes = 5, No = 6 };

// What a file dialog is set up with.
struct FileDialogRequest {
    bool save = false;        // save dialog, else open dialog
    QString directory;        // initial directory
    QString fileName;         // proposed file name (may be empty)
    QString filter;           // "name(*.ext)|*.ext|..." pairs
};

// What the operator chose in a file dialog.
struct FileDialogAnswer {
    QString path;             // full path as accepted
    int filterIndex = 0;      // 0-based index of the chosen file type
};

class OperatorInterface {
public:
    virtual ~OperatorInterface() = default;

    // Message box captioned "信息：". Returns the answer.
    virtual MessageAnswer showMessage(const QString& text, MessageButtons buttons) = 0;

    // File dialog; empty when the operator cancels.
    virtual std::optional<FileDialogAnswer> chooseFile(const FileDialogRequest& request) = 0;

    // Main window caption.
    virtual void setCaption(const QString& caption) = 0;

    // Export progress (the main window's progress bar, 0..100).
    virtual void setExportProgress(int position) = 0;

    // Long work on the UI thread: called now and then with the rows done so far
    // and the total (total < 0 when unknown). The window repaints but takes no
    // other input while such work runs.
    virtual void longWorkProgress(qint64 done, qint64 total) { (void)done; (void)total; }

    // The import progress window: opened when an import starts; onClosed runs
    // when the operator closes it (Esc) before the import closes it.
    virtual void openImportProgress(std::function<void()> onClosed) { (void)onClosed; }
    virtual void setImportProgress(int position, int maximum) { (void)position; (void)maximum; }
    virtual void closeImportProgress() {}
    // The path box of a page (编辑框1 for consumption, 编辑框2 for personnel).
    virtual void setImportPath(bool consumptionPage, const QString& path) { (void)consumptionPage; (void)path; }

    // Runs a handler that works on the lists or the store to completion, with
    // the window taking no other input meanwhile (used for work that starts
    // outside a click, such as the save at the end of an import).
    virtual void runExclusive(const std::function<void()>& handler) { handler(); }

    // Long work starts / ends (the window disables the buttons that would start
    // other work on the lists or the store).
    virtual void beginBusy() {}
    virtual void endBusy() {}
};

// Keeps the window busy for the life of a scope.
class BusyScope {
public:
    explicit BusyScope(OperatorInterface& ui) : ui_(ui) { ui_.beginBusy(); }
    ~BusyScope() { ui_.endBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    OperatorInterface& ui_;
};

}  // namespace vornicle
