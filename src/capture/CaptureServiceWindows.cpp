// The application's own windows during a capture: which are taken off the screen, in which
// order, and how they come back.
#include "capture/CaptureService.h"
#include "capture/CaptureServiceEngine.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace snapkin {

namespace {

bool isFloatingKind(const QWidget* w)
{
    constexpr Qt::WindowType floating[] = {Qt::Tool,    Qt::ToolTip, Qt::Popup, Qt::SplashScreen,
                                           Qt::Desktop, Qt::Drawer,  Qt::Sheet};
    return std::find(std::begin(floating), std::end(floating), w->windowType()) !=
           std::end(floating);
}

} // namespace

QList<QWidget*> CaptureService::ownWindowsToHide(const QList<QWidget*>& topLevels,
                                                 const QList<QWidget*>& panels,
                                                 const std::vector<std::uint32_t>& stacking)
{
    // A window-modal dialog is a sheet of the window it belongs to: neither leaves the screen,
    // so the dialog keeps its place over its window.
    QSet<const QWidget*> withSheet;
    for (const QWidget* w : topLevels) {
        if (w->isVisible() && w->windowModality() == Qt::WindowModal && w->parentWidget())
            withSheet.insert(w->parentWidget()->window());
    }
    QList<QWidget*> kept;
    for (QWidget* w : topLevels) {
        if (!w->isWindow() || !w->isVisible() || panels.contains(w)) continue;
        if (isFloatingKind(w) || w->windowFlags().testFlag(Qt::FramelessWindowHint)) continue;
        if (w->isFullScreen() || w->windowModality() == Qt::WindowModal) continue;
        if (withSheet.contains(w)) continue;
        if (w->property(overlayWindowProperty).toBool()) continue;
        kept.append(w);
    }
    for (QWidget* panel : panels) {
        if (panel && panel->isVisible() && !kept.contains(panel)) kept.append(panel);
    }

    const auto rank = [&](QWidget* w) -> size_t {
        if (!w->windowHandle()) return stacking.size();
        const auto id = std::uint32_t(w->winId());
        const auto it = std::find(stacking.begin(), stacking.end(), id);
        return it == stacking.end() ? stacking.size() : size_t(it - stacking.begin());
    };
    std::stable_sort(kept.begin(), kept.end(),
                     [&](QWidget* a, QWidget* b) { return rank(a) < rank(b); });
    return kept;
}

void CaptureService::hideOwnWindows()
{
    const QList<QWidget*> panels =
        m_hooks.quickAccess ? m_hooks.quickAccess->panels() : QList<QWidget*>();
    const QList<QWidget*> windows =
        ownWindowsToHide(QApplication::topLevelWidgets(), panels, engine().stackingOrder());
    if (windows.isEmpty()) return;
    for (QWidget* w : windows) {
        m_hiddenWindows.append(HiddenWindow{w, w->pos(), panels.contains(w)});
        w->hide();
    }
    m_hiddenAt = m_clock->nowMs();
}

void CaptureService::restoreOwnWindows()
{
    const QList<HiddenWindow> taken = m_hiddenWindows;
    m_hiddenWindows.clear();
    m_hiddenAt.reset();
    // Back-most first, so the window that was in front ends in front.
    for (auto it = taken.crbegin(); it != taken.crend(); ++it) {
        QWidget* w = it->widget;
        if (!w) continue;
        if (it->quickAccessPanel && !(m_hooks.quickAccess && m_hooks.quickAccess->stillOwns(w)))
            continue;
        // An explicit position keeps the window manager from placing the window anew. It goes
        // to the native window too: the widget skips a move to where it believes it is, and a
        // window that the manager placed would then be mapped without a position of its own.
        w->move(it->position);
        if (QWindow* handle = w->windowHandle()) handle->setFramePosition(it->position);
        w->show();
        w->raise();
    }
}

QSet<std::uint32_t> CaptureService::visibleOwnWindowIDs() const
{
    QSet<std::uint32_t> ids;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->windowHandle()) continue;
        if (w->property(overlayWindowProperty).toBool()) continue;
        const bool hidden = std::any_of(m_hiddenWindows.begin(), m_hiddenWindows.end(),
                                        [w](const HiddenWindow& h) { return h.widget == w; });
        if (!hidden) ids.insert(std::uint32_t(w->winId()));
    }
    return ids;
}

} // namespace snapkin
