#include "capture/CaptureToast.h"

#include "capture/CaptureClock.h"
#include "capture/ToastView.h"
#include "platform/DesktopWindows.h"
#include "ui/platform/Announcer.h"

#include <QFontMetricsF>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>

#include <cmath>

namespace snapkin {

namespace {

QPointer<ToastView> g_current;
// Real time keeps no state, so toasts shown outside a capture share this one.
RealCaptureClock g_realTime;

void fade(ToastView* view, double from, double to, int ms)
{
    if (!view->translucent()) return;
    auto* animation = new QPropertyAnimation(view, "windowOpacity", view);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(ms);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void removeNow(ToastView* view)
{
    view->hide();
    view->deleteLater();
    if (g_current == view) g_current = nullptr;
}

} // namespace

QRect CaptureToast::geometryFor(double textWidth, const QRect& screen)
{
    const int width = int(std::ceil(textWidth)) + horizontalPad;
    const int x = screen.x() + int(std::lround(screen.width() * 0.5 - width * 0.5));
    const int y = screen.y() + screen.height() - bottomOffset - height;
    return QRect(x, y, width, height);
}

void CaptureToast::show(const QString& message, double duration)
{
    show(message, duration, g_realTime);
}

QFont CaptureToast::font()
{
    return ToastView::font();
}

void CaptureToast::show(const QString& message, double duration, CaptureClock& clock)
{
    QScreen* screen = platform::DesktopWindows::workScreen();
    if (!screen) return;
    if (g_current) removeNow(g_current);

    auto* view = new ToastView;
    view->setMessage(message);
    view->setGeometry(
        geometryFor(QFontMetricsF(font()).horizontalAdvance(message), screen->geometry()));
    if (view->translucent()) view->setWindowOpacity(0.0);
    view->show();
    g_current = view;
    platform::Announcer::shared().announce(message);
    fade(view, 0.0, 1.0, fadeInMs);

    const qint64 restMs = qint64(std::llround(std::max(duration, 0.0) * 1000.0));
    clock.callAfter(restMs, view, [view, &clock] {
        // A toast replaced in the meantime is already gone, and with it this call.
        if (g_current != view) return;
        fade(view, view->windowOpacity(), 0.0, fadeOutMs);
        clock.callAfter(fadeOutMs, view, [view] { removeNow(view); });
    });
}

std::optional<std::uint32_t> CaptureToast::dismiss()
{
    ToastView* view = g_current;
    if (!view) return std::nullopt;
    std::optional<std::uint32_t> id;
    if (view->isVisible() && view->windowHandle()) id = std::uint32_t(view->winId());
    removeNow(view);
    return id;
}

ToastView* CaptureToast::current()
{
    return g_current;
}

} // namespace snapkin
