#include "shell/main_window.h"

#include "consumption/consumption_page.h"
#include "exchange/export_consumption.h"
#include "exchange/workbook_import.h"
#include "personnel/personnel_page.h"
#include "shell/import_progress_window.h"
#include "shell/match_dialog.h"
#include "shell/message_box.h"
#include "shell/shell_state.h"
#include "shell/windows_geometry.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace vornicle {

// While long work runs on the UI thread, the window repaints but input to it
// is dropped, so that no second handler starts in the middle of a loop.
class BusyInputFilter : public QObject {
public:
    explicit BusyInputFilter(QWidget* window) : window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::Close: {
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && (w == window_ || window_->isAncestorOf(w)))
                return true;
            return false;
        }
        default:
            return false;
        }
    }

private:
    QWidget* window_;
};

namespace {

const QSize kOuter(879, 522);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

QTableView* makeReportView(QWidget* parent, const char* name, QRect geometry, ReportList* model, bool fullRow)
{
    auto* v = new QTableView(parent);
    v->setObjectName(QString::fromUtf8(name));
    v->setGeometry(geometry);
    v->setModel(model);
    v->setShowGrid(true);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setSelectionBehavior(fullRow ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setSortingEnabled(false);
    v->setWordWrap(false);
    v->setTextElideMode(Qt::ElideRight);
    v->verticalHeader()->hide();
    // Uniform row heights keep a million rows instant to scroll.
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 4);
    v->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    v->horizontalHeader()->setHighlightSections(false);
    v->horizontalHeader()->setStretchLastSection(false);
    v->setPalette([&] {
        QPalette p = v->palette();
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::Text, Qt::black);
        return p;
    }());
    for (int c = 0; c < model->columnCount(); ++c)
        v->setColumnWidth(c, model->columnWidth(c));
    return v;
}

}  // namespace

MainWindow::MainWindow(const QString& dataDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      state_(std::make_unique<ShellState>(dataDirectory, *this)),
      busyFilter_(std::make_unique<BusyInputFilter>(this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Vornicle"));
    setFixedSize(ClientSizeForOuter(kOuter.width(), kOuter.height(), false));
    buildControls();
    wireEvents();
    state_->workspace.mainWindowCreated = [this] { MainWindowCreated(state_->workspace); };
    consumptionImport_ = std::make_unique<WorkbookImport>(state_->workspace, ImportTarget::Consumption,
                                                          [this] { return SaveConsumptionList(state_->workspace); });
    personnelImport_ = std::make_unique<WorkbookImport>(state_->workspace, ImportTarget::Personnel);
    CentreOnScreen(this, kOuter.width(), kOuter.height());
}

MainWindow::~MainWindow()
{
    consumptionImport_.reset();
    personnelImport_.reset();
    state_->log.Flush();
}

void MainWindow::buildControls()
{
    选择夹1 = new QTabWidget(this);
    选择夹1->setObjectName(QStringLiteral("选择夹1"));
    选择夹1->setGeometry(8, 1, 864, 408);
    选择夹1->setTabPosition(QTabWidget::North);
    选择夹1->setUsesScrollButtons(false);
    auto* page0 = new QWidget;
    page0->setObjectName(QStringLiteral("消费数据"));
    auto* page1 = new QWidget;
    page1->setObjectName(QStringLiteral("人事资料"));
    选择夹1->addTab(page0, QStringLiteral("消费数据"));
    选择夹1->addTab(page1, QStringLiteral("人事资料"));

    列表框1 = new QListView(this);
    列表框1->setObjectName(QStringLiteral("列表框1"));
    列表框1->setGeometry(8, 418, 864, 56);
    列表框1->setModel(state_->log.listModel());
    列表框1->setSelectionMode(QAbstractItemView::SingleSelection);
    列表框1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    列表框1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    列表框1->setUniformItemSizes(true);
    列表框1->setFrameShadow(QFrame::Sunken);
    connect(state_->log.listModel(), &LogListModel::newestLineChanged, 列表框1, [this](int row) {
        const QModelIndex i = state_->log.listModel()->index(row);
        列表框1->setCurrentIndex(i);
        列表框1->scrollTo(i);
    });

    进度条1 = new QProgressBar(this);
    进度条1->setObjectName(QStringLiteral("进度条1"));
    进度条1->setGeometry(8, 474, 863, 20);
    进度条1->setOrientation(Qt::Horizontal);
    进度条1->setRange(0, 100);
    进度条1->setValue(0);
    进度条1->setTextVisible(false);

    // Controls of the pages sit on the tab control, placed relative to its
    // top-left corner; only the selected page's controls are shown.
    QWidget* tab = 选择夹1;
    编辑框1 = new QLineEdit(tab);
    编辑框1->setObjectName(QStringLiteral("编辑框1"));
    编辑框1->setGeometry(2, 25, 216, 24);
    编辑框1->setEnabled(false);
    按钮_消费打开excel = makeButton(tab, "按钮_消费打开excel", QStringLiteral("打开"), {224, 24, 48, 25});
    按钮_消费保存 = makeButton(tab, "按钮_消费保存", QStringLiteral("保存"), {282, 24, 48, 24});
    按钮4 = makeButton(tab, "按钮4", QStringLiteral("清空列表"), {345, 24, 64, 24});
    组合框1 = new QComboBox(tab);
    组合框1->setObjectName(QStringLiteral("组合框1"));
    组合框1->setGeometry(416, 27, 80, 20);
    组合框1->setEditable(true);
    组合框1->setInsertPolicy(QComboBox::NoInsert);
    组合框1->addItems({QStringLiteral("查全部"), QStringLiteral("不为空"), QStringLiteral("过滤空白"),
                       QStringLiteral("编号重复")});
    组合框1->setCurrentIndex(0);
    组合框1->setEditText(QString());
    按钮_校验编号 = makeButton(tab, "按钮_校验编号", QStringLiteral("校验核对"), {497, 24, 64, 24});
    按钮_重复 = makeButton(tab, "按钮_重复", QStringLiteral("验证重复"), {586, 24, 66, 24});
    按钮_导出消费EXCEL = makeButton(tab, "按钮_导出消费EXCEL", QStringLiteral("导出EXCEL"), {792, 22, 64, 26});
    超级列表框1 = makeReportView(tab, "超级列表框1", {2, 53, 854, 344}, &state_->consumptionList, true);
    时钟1 = new QTimer(this);
    时钟1->setObjectName(QStringLiteral("时钟1"));

    编辑框2 = new QLineEdit(tab);
    编辑框2->setObjectName(QStringLiteral("编辑框2"));
    编辑框2->setGeometry(10, 25, 200, 20);
    编辑框2->setEnabled(false);
    按钮_人事资料导入EXCEL = makeButton(tab, "按钮_人事资料导入EXCEL", QStringLiteral("打开"), {224, 22, 64, 24});
    按钮_人事资料保存 = makeButton(tab, "按钮_人事资料保存", QStringLiteral("保存"), {304, 22, 56, 24});
    按钮1 = makeButton(tab, "按钮1", QStringLiteral("清空列表"), {377, 22, 64, 24});
    按钮_刷新人事 = makeButton(tab, "按钮_刷新人事", QStringLiteral("刷新数据"), {452, 22, 80, 24});
    编辑框3 = new QLineEdit(tab);
    编辑框3->setObjectName(QStringLiteral("编辑框3"));
    编辑框3->setGeometry(588, 22, 112, 24);
    按钮_人事查询 = makeButton(tab, "按钮_人事查询", QStringLiteral("查编号"), {704, 22, 52, 24});
    超级列表框2 = makeReportView(tab, "超级列表框2", {8, 48, 848, 352}, &state_->personnelList, false);

    pageControls_ = {
        {编辑框1, 按钮_消费打开excel, 按钮_消费保存, 按钮4, 组合框1, 按钮_校验编号, 按钮_重复, 按钮_导出消费EXCEL,
         超级列表框1},
        {编辑框2, 按钮_人事资料导入EXCEL, 按钮_人事资料保存, 按钮1, 按钮_刷新人事, 编辑框3, 按钮_人事查询, 超级列表框2},
    };
    workControls_ = {按钮_消费打开excel, 按钮_消费保存, 按钮4, 组合框1, 按钮_校验编号, 按钮_重复, 按钮_导出消费EXCEL,
                     按钮_人事资料导入EXCEL, 按钮_人事资料保存, 按钮1, 按钮_刷新人事, 按钮_人事查询};
    选择夹1->setCurrentIndex(0);
    showPage(0);
}

void MainWindow::showPage(int index)
{
    for (size_t p = 0; p < pageControls_.size(); ++p) {
        for (QWidget* w : pageControls_[p]) {
            w->setVisible(static_cast<int>(p) == index);
            if (static_cast<int>(p) == index)
                w->raise();
        }
    }
}

void MainWindow::wireEvents()
{
    connect(选择夹1, &QTabWidget::currentChanged, this, &MainWindow::showPage);

    connect(按钮_消费打开excel, &QPushButton::clicked, this, &MainWindow::按钮_消费打开excel_被单击);
    connect(按钮_人事资料导入EXCEL, &QPushButton::clicked, this, &MainWindow::按钮_人事资料导入EXCEL_被单击);
    connect(按钮_消费保存, &QPushButton::clicked, this, &MainWindow::按钮_消费保存_被单击);
    connect(按钮_导出消费EXCEL, &QPushButton::clicked, this, &MainWindow::按钮_导出消费EXCEL_被单击);
    connect(时钟1, &QTimer::timeout, this, &MainWindow::CheckExportedWorkbook);
    connect(按钮4, &QPushButton::clicked, this, &MainWindow::按钮4_被单击);
    connect(组合框1, &QComboBox::activated, this, &MainWindow::组合框1_列表项被选择);
    connect(按钮_校验编号, &QPushButton::clicked, this, &MainWindow::按钮_校验编号_被单击);
    connect(按钮_重复, &QPushButton::clicked, this, &MainWindow::按钮_重复_被单击);
    connect(按钮_人事资料保存, &QPushButton::clicked, this, &MainWindow::按钮_人事资料保存_被单击);
    connect(按钮1, &QPushButton::clicked, this, &MainWindow::按钮1_被单击);
    connect(按钮_刷新人事, &QPushButton::clicked, this, &MainWindow::按钮_刷新人事_被单击);
    connect(按钮_人事查询, &QPushButton::clicked, this, &MainWindow::按钮_人事查询_被单击);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc closes the window unless the control with the focus took the key.
    // (Not a window shortcut: that would also catch Esc in the import's
    // progress window, which Qt counts as part of this window.)
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::raiseCreated()
{
    runHandler([this] { MainWindowCreated(state_->workspace); });
}

void MainWindow::runHandler(const std::function<void()>& handler)
{
    {
        BusyScope busy(*this);
        const bool outermost = !filtering_;
        if (outermost) {
            filtering_ = true;
            qApp->installEventFilter(busyFilter_.get());
        }
        handler();
        if (outermost) {
            qApp->removeEventFilter(busyFilter_.get());
            filtering_ = false;
        }
    }
    state_->log.Flush();
}

// --- event handlers: each runs one routine of the pages --------------------

void MainWindow::按钮_消费打开excel_被单击()
{
    if (!consumptionImport_->running() && !personnelImport_->running())
        consumptionImport_->start();
}

void MainWindow::按钮_人事资料导入EXCEL_被单击()
{
    if (!consumptionImport_->running() && !personnelImport_->running())
        personnelImport_->start();
}

void MainWindow::按钮_消费保存_被单击()
{
    runHandler([this] { SaveConsumptionList(state_->workspace); });
}

void MainWindow::按钮_导出消费EXCEL_被单击()
{
    runHandler([this] { ExportConsumptionList(state_->workspace); });
}

void MainWindow::CheckExportedWorkbook()
{
    if (QFile::exists(dialogFileName_ + QStringLiteral(".xlsx"))) {
        时钟1->stop();
        showMessage(QStringLiteral("文件已导出"), MessageButtons::Ok);
    }
}

void MainWindow::按钮4_被单击()
{
    runHandler([this] { ClearConsumptionPage(state_->workspace); });
}

void MainWindow::组合框1_列表项被选择(int index)
{
    runHandler([this, index] { ApplyConsumptionFilter(state_->workspace, index); });
}

void MainWindow::按钮_校验编号_被单击()
{
    runHandler([this] { OpenMatchDialog(state_->workspace); });
}

void MainWindow::按钮_重复_被单击()
{
    runHandler([this] { MarkDuplicates(state_->workspace); });
}

void MainWindow::按钮_人事资料保存_被单击()
{
    runHandler([this] { SavePersonnelList(state_->workspace); });
}

void MainWindow::按钮1_被单击()
{
    runHandler([this] { ClearPersonnelList(state_->workspace); });
}

void MainWindow::按钮_刷新人事_被单击()
{
    runHandler([this] { RefreshPersonnelList(state_->workspace); });
}

void MainWindow::按钮_人事查询_被单击()
{
    runHandler([this] { SearchPersonnelByNumber(state_->workspace, 编辑框3->text()); });
}

// --- operator interface ----------------------------------------------------

void MainWindow::setDialogHooks(MessageHook message, FileHook file)
{
    messageHook_ = std::move(message);
    fileHook_ = std::move(file);
}

MessageAnswer MainWindow::showMessage(const QString& text, MessageButtons buttons)
{
    if (messageHook_)
        return messageHook_(text, buttons);
    return ShowMessageBox(text, buttons);
}

std::optional<FileDialogAnswer> MainWindow::chooseFile(const FileDialogRequest& request)
{
    if (!request.fileName.isEmpty())
        dialogFileName_ = request.fileName;
    if (fileHook_) {
        auto answer = fileHook_(request);
        if (answer)
            dialogFileName_ = answer->path;
        return answer;
    }
    // "name(*.a)|*.a|name(*.b)|*.b" pairs become Qt's "name(*.a);;name(*.b)".
    const QStringList parts = request.filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i];
    QFileDialog dialog(nullptr, QString(), request.directory);
    dialog.setObjectName(QStringLiteral("通用对话框1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (request.save)
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!dialogFileName_.isEmpty())
        dialog.selectFile(dialogFileName_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    FileDialogAnswer answer;
    answer.path = dialog.selectedFiles().constFirst();
    dialogFileName_ = answer.path;
    answer.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    return answer;
}

void MainWindow::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void MainWindow::setExportProgress(int position)
{
    进度条1->setValue(position);
}

void MainWindow::longWorkProgress(qint64 done, qint64 total)
{
    // Repaint now and then (not for every row); input is dropped meanwhile.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastPump_ < 100 && done != total)
        return;
    lastPump_ = now;
    if (busyDepth_ > 0 && total > 0)
        进度条1->setValue(static_cast<int>(done * 100 / total));
    QCoreApplication::processEvents();
}

void MainWindow::openImportProgress(std::function<void()> onClosed)
{
    closeImportProgress();
    importWindow_ = new ImportProgressWindow(this);
    importWindow_->setAttribute(Qt::WA_DeleteOnClose);
    connect(importWindow_, &ImportProgressWindow::closedByOperator, this, [onClosed] {
        if (onClosed)
            onClosed();
    });
    importWindow_->show();
}

void MainWindow::setImportProgress(int position, int maximum)
{
    if (!importWindow_)
        return;
    importWindow_->进度条1->setRange(0, std::max(1, maximum));
    importWindow_->进度条1->setValue(std::min(position, std::max(1, maximum)));
}

void MainWindow::closeImportProgress()
{
    if (!importWindow_)
        return;
    importWindow_->closingByProgram_ = true;
    importWindow_->close();
    importWindow_ = nullptr;
}

void MainWindow::setImportPath(bool consumptionPage, const QString& path)
{
    (consumptionPage ? 编辑框1 : 编辑框2)->setText(path);
}

void MainWindow::beginBusy()
{
    if (busyDepth_++ == 0) {
        for (QWidget* w : workControls_)
            w->setEnabled(false);
    }
}

void MainWindow::endBusy()
{
    if (busyDepth_ > 0 && --busyDepth_ == 0) {
        for (QWidget* w : workControls_)
            w->setEnabled(true);
        进度条1->setValue(0);
    }
}

}  // namespace vornicle
