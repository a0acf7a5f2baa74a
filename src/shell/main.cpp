// Start-up: the application object, the global stopwatch (released at exit),
// the main window with its created handler, the event loop, exit code 0.
#include "core/data_directory.h"
#include "log/stopwatch.h"
#include "shell/main_window.h"
#include "shell/shell_state.h"

#include <QApplication>
#include <QTabWidget>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

namespace {

// For screenshots of the running window: VORNICLE_SCREENSHOT=prefix saves
// prefix-0.png (page 0) and prefix-1.png (page 1) and quits.
void scheduleScreenshots(vornicle::MainWindow& window)
{
    const QString prefix = qEnvironmentVariable("VORNICLE_SCREENSHOT");
    if (prefix.isEmpty())
        return;
    QTimer::singleShot(800, &window, [&window, prefix] {
        window.grab().save(prefix + QStringLiteral("-0.png"));
        window.选择夹1->setCurrentIndex(1);
        QTimer::singleShot(300, &window, [&window, prefix] {
            window.grab().save(prefix + QStringLiteral("-1.png"));
            window.close();
        });
    });
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTranslator qtbase;
    if (qtbase.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtbase);

    // The global stopwatch is created here; its release is registered as the
    // one exit routine (a function-local static is destroyed at exit).
    vornicle::GlobalStopwatch();

    vornicle::MainWindow window(vornicle::ResolveDataDirectory());
    window.raiseCreated();
    window.show();
    scheduleScreenshots(window);
    app.exec();
    return 0;
}
