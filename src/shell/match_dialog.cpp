#include "shell/match_dialog.h"

#include "consumption/consumption_page.h"
#include "core/workspace.h"
#include "log/activity_log.h"
#include "shell/windows_geometry.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace vornicle {

MatchDialog* g_openMatchDialog = nullptr;

namespace {
const QSize kOuter(247, 201);
}

MatchDialog::MatchDialog(Workspace& ws, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      ws_(ws)
{
    setObjectName(QStringLiteral("MatchDialog"));
    setWindowTitle(QStringLiteral("A/B数据比对"));
    setFixedSize(ClientSizeForOuter(kOuter.width(), kOuter.height(), false));
    setSizeGripEnabled(false);

    auto* group = new QButtonGroup(this);
    auto radio = [&](const char* name, const QString& text, QRect geometry) {
        auto* r = new QRadioButton(text, this);
        r->setObjectName(QString::fromUtf8(name));
        r->setGeometry(geometry);
        group->addButton(r);
        return r;
    };
    单选框1 = radio("单选框1", QStringLiteral("A在B表中查询编号一样的数据"), {22, 12, 194, 24});
    单选框2 = radio("单选框2", QStringLiteral("A在B表中查询姓名一样的数据"), {24, 47, 184, 24});
    单选框3 = radio("单选框3", QStringLiteral("A在B表中查询姓名/部门一样的数据"), {24, 80, 216, 24});
    按钮3 = new QPushButton(QStringLiteral("校验数据"), this);
    按钮3->setObjectName(QStringLiteral("按钮3"));
    按钮3->setGeometry(72, 120, 88, 32);
    按钮3->setAutoDefault(false);
    标签1 = new QLabel(QStringLiteral("请定期更新人事档案数据"), this);
    标签1->setObjectName(QStringLiteral("标签1"));
    标签1->setGeometry(0, 152, 240, 24);
    标签1->setAlignment(Qt::AlignCenter);
    QPalette p = 标签1->palette();
    p.setColor(QPalette::WindowText, QColor(255, 128, 0));
    标签1->setPalette(p);

    connect(按钮3, &QPushButton::clicked, this, &MatchDialog::按钮3_被单击);
    CentreOnScreen(this, kOuter.width(), kOuter.height());
    MatchDialogCreated();
}

void MatchDialog::MatchDialogCreated()
{
    单选框1->setChecked(true);
}

int MatchDialog::checkedChoice() const
{
    if (单选框1->isChecked())
        return 1;
    if (单选框2->isChecked())
        return 2;
    if (单选框3->isChecked())
        return 3;
    return 0;
}

void MatchDialog::按钮3_被单击()
{
    RunMatch(ws_, checkedChoice(), [this] { accept(); });
    ws_.log.Flush();
}

void OpenMatchDialog(Workspace& ws)
{
    MatchDialog dialog(ws);
    dialog.setWindowModality(Qt::ApplicationModal);
    g_openMatchDialog = &dialog;
    dialog.exec();
    g_openMatchDialog = nullptr;
}

}  // namespace vornicle
