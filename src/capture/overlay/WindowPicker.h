#pragma once

#include "platform/ScreenCapture.h"

#include <QFuture>
#include <QObject>
#include <QPointF>
#include <QSet>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace snapkin {

// The windows the overlay's window mode can pick: the ordinary windows (layer 0) of other
// programs that are on the screen and larger than a pixel either way, front-most first, with
// their frames in root-window pixels. Each `prepare` replaces the list with a fresh query;
// until it answers, the previous list holds. A failed query empties the list: window mode then
// simply finds nothing. Lives as long as its overlay, so the list carries over between
// sessions. GUI thread only.
class WindowPicker : public QObject {
public:
    using Source = std::function<QFuture<platform::CaptureResult<platform::ShareableContent>>()>;

    // `source` answers the query; by default the capture engine's listing of the screen.
    explicit WindowPicker(Source source = {}, QObject* parent = nullptr);

    // Queries the windows on the screen; the future finishes on the GUI thread once the list
    // has been replaced.
    QFuture<void> prepare();

    // The first listed window whose frame holds the root-window point. Left and top edges
    // belong to a frame, right and bottom edges do not.
    std::optional<platform::WindowInfo> window(QPointF rootPixel) const;

    const std::vector<platform::WindowInfo>& windows() const { return m_windows; }

    // The windows of `content` that can be picked, in its order: layer 0, not of the process
    // `ownPid`, none of the windows `ownWindows`, wider and taller than one pixel.
    static std::vector<platform::WindowInfo> candidates(const platform::ShareableContent& content,
                                                        qint64 ownPid,
                                                        const QSet<std::uint32_t>& ownWindows);

    // The X11 ids of this application's top-level windows that have one.
    static QSet<std::uint32_t> ownWindowIds();

private:
    Source m_source;
    std::vector<platform::WindowInfo> m_windows;
};

} // namespace snapkin
