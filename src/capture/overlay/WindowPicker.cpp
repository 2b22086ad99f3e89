#include "capture/overlay/WindowPicker.h"

#include "grab/CaptureEngine.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

namespace snapkin {

using platform::CaptureResult;
using platform::ShareableContent;
using platform::WindowInfo;

WindowPicker::WindowPicker(Source source, QObject* parent)
    : QObject(parent), m_source(std::move(source))
{
    if (!m_source) m_source = [] { return CaptureEngine::shareableContent(); };
}

QFuture<void> WindowPicker::prepare()
{
    const qint64 pid = QCoreApplication::applicationPid();
    // Our windows as they are when the query starts: the overlay's own included.
    const QSet<std::uint32_t> own = ownWindowIds();
    // The answer comes back through the application object, not the picker: the query's
    // thread hands it over while the GUI thread may be deleting the picker (the overlay going
    // away with a query out), and an object being deleted on another thread cannot safely
    // receive events. The picker is looked up again on the GUI thread.
    const QPointer<WindowPicker> self(this);
    return m_source().then(
        QCoreApplication::instance(), [self, pid, own](CaptureResult<ShareableContent> content) {
            if (!self) return;
            self->m_windows = content ? candidates(*content, pid, own) : std::vector<WindowInfo>{};
        });
}

std::optional<WindowInfo> WindowPicker::window(QPointF p) const
{
    for (const WindowInfo& w : m_windows) {
        const QRect& f = w.frame;
        if (p.x() >= f.x() && p.x() < f.x() + f.width() && p.y() >= f.y() &&
            p.y() < f.y() + f.height()) {
            return w;
        }
    }
    return std::nullopt;
}

std::vector<WindowInfo> WindowPicker::candidates(const ShareableContent& content, qint64 ownPid,
                                                 const QSet<std::uint32_t>& ownWindows)
{
    std::vector<WindowInfo> out;
    for (const WindowInfo& w : content.windows) {
        if (w.windowLayer != 0 || w.isDesktop || !w.isOnScreen) continue;
        if (w.owningApplication && w.owningApplication->processID == ownPid) continue;
        if (ownWindows.contains(w.windowID)) continue;
        if (w.frame.width() <= 1 || w.frame.height() <= 1) continue;
        out.push_back(w);
    }
    return out;
}

QSet<std::uint32_t> WindowPicker::ownWindowIds()
{
    QSet<std::uint32_t> ids;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return ids;
    for (QWindow* w : QGuiApplication::allWindows()) {
        // Only windows that already exist on the server; asking others for an id would
        // create them.
        if (w->handle()) ids.insert(std::uint32_t(w->winId()));
    }
    return ids;
}

} // namespace snapkin
