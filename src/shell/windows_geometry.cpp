#include "shell/windows_geometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace vornicle {

void CentreOnScreen(QWidget* window, int outerWidth, int outerHeight)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - outerWidth) / 2, area.y() + (area.height() - outerHeight) / 2);
}

}  // namespace vornicle
