#include "platform/ScreenAccess.h"

#include <QFuture>
#include <QGuiApplication>

namespace snapkin::platform {

bool ScreenAccess::sessionAllowsCapture()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    return !isWaylandSession();
}

bool ScreenAccess::isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE")
                   .compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QFuture<bool> ScreenAccess::check(const Probe& grabProbe)
{
    if (!sessionAllowsCapture() || !grabProbe) return QtFuture::makeReadyFuture(false);
    return grabProbe();
}

} // namespace snapkin::platform
