#pragma once
// Window sizes are given as outer sizes (border and caption included) of a
// classic desktop; Qt sizes the client area, so the frame is taken off.
#include <QSize>
#include <QWidget>

namespace vornicle {

inline QSize ClientSizeForOuter(int width, int height, bool toolWindow)
{
    const int border = 3;
    const int caption = toolWindow ? 18 : 22;
    return QSize(width - 2 * border, height - caption - 2 * border);
}

// Centres a window on its screen: left = (screen width - width) / 2, etc.
void CentreOnScreen(QWidget* window, int outerWidth, int outerHeight);

}  // namespace vornicle
