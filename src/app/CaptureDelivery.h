#pragma once

#include "capture/CaptureHooks.h"

namespace snapkin {

class EditorWindowController;
class HistoryTracking;

// Where a picture from a capture, a paste, the watched screenshots folder or Open… becomes an
// editor page and a history entry: the capture layer's editor and history hooks, over the
// application's editors and capture history. GUI thread only.
class CaptureDelivery final : public EditorOpening, public CaptureHistoryTracking {
public:
    CaptureDelivery(EditorWindowController& editors, HistoryTracking& history);

    // A new page titled `title`, brought forward; the history follows its store as a new
    // entry titled `historyTitle`.
    void openCapture(const platform::BaseImage& image, const QString& title,
                     const QString& historyTitle) override;
    void openFile(const QString& path) override;

    void record(const platform::BaseImage& image, const QString& title) override;
    QString unavailableReason() const override;

private:
    EditorWindowController& m_editors;
    HistoryTracking& m_history;
};

} // namespace snapkin
