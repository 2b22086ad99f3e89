#include "ui/platform/BringForward.h"

#include "platform/DesktopWindows.h"

#include <QWidget>

namespace snapkin::platform {

void bringForward(QWidget* widget)
{
    if (!widget) return;
    QWidget* window = widget->window();
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    } else if (window->isVisible() && window->internalWinId() &&
               DesktopWindows::isIconified(std::uint32_t(window->internalWinId()))) {
        // Minimised by the window manager without Qt knowing: raising and activating alone
        // would leave it iconified.
        DesktopWindows::deiconify(std::uint32_t(window->internalWinId()));
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace snapkin::platform
