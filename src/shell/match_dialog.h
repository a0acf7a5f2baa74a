#pragma once
// The A/B match dialog: three radio buttons choose how consumption rows are
// matched to the register; "校验数据" runs the match.
#include <QDialog>

class QRadioButton;
class QPushButton;
class QLabel;

namespace vornicle {

struct Workspace;

class MatchDialog : public QDialog {
    Q_OBJECT
public:
    explicit MatchDialog(Workspace& ws, QWidget* parent = nullptr);

    QRadioButton* 单选框1 = nullptr;
    QRadioButton* 单选框2 = nullptr;
    QRadioButton* 单选框3 = nullptr;
    QPushButton* 按钮3 = nullptr;
    QLabel* 标签1 = nullptr;

    // The created handler: checks 单选框1.
    void MatchDialogCreated();
    // 1, 2 or 3 for the checked button, 0 when none is.
    int checkedChoice() const;

private:
    void 按钮3_被单击();

    Workspace& ws_;
};

// Shows the dialog modally, created anew each time.
void OpenMatchDialog(Workspace& ws);

// Tests can look at the dialog while it is open.
extern MatchDialog* g_openMatchDialog;

}  // namespace vornicle
