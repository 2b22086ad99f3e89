#include "platform/QtX11.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>

namespace snapkin::platform {

xcb_connection_t* qtX11Connection()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t firstRootWindow(xcb_connection_t* connection)
{
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return it.rem > 0 ? it.data->root : XCB_NONE;
}

} // namespace snapkin::platform
