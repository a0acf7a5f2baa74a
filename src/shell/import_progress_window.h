#pragma once
// The small window shown while a workbook is imported. Esc closes it, which
// cancels the import.
#include <QWidget>

class QProgressBar;

namespace vornicle {

class ImportProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ImportProgressWindow(QWidget* owner);

    QProgressBar* 进度条1 = nullptr;

signals:
    // The operator closed the window.
    void closedByOperator();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class MainWindow;
    bool closingByProgram_ = false;
};

}  // namespace vornicle
