#include "shell/import_progress_window.h"

#include "shell/windows_geometry.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QKeyEvent>

namespace vornicle {

namespace {
const QSize kOuter(474, 66);
}

ImportProgressWindow::ImportProgressWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ImportProgressWindow"));
    setWindowTitle(QStringLiteral("正在导入请稍后...."));
    setFixedSize(ClientSizeForOuter(kOuter.width(), kOuter.height(), true));
    进度条1 = new QProgressBar(this);
    进度条1->setObjectName(QStringLiteral("进度条1"));
    进度条1->setGeometry(0, 8, 464, 24);
    进度条1->setRange(0, 100);
    进度条1->setValue(0);
    进度条1->setTextVisible(false);
    CentreOnScreen(this, kOuter.width(), kOuter.height());
}

void ImportProgressWindow::closeEvent(QCloseEvent* event)
{
    if (!closingByProgram_)
        emit closedByOperator();
    event->accept();
}

}  // namespace vornicle

namespace vornicle {

void ImportProgressWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vornicle
