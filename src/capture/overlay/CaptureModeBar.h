#pragma once

#include "capture/overlay/OverlayTypes.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace snapkin {

// The dark capsule near the bottom of one display of the selection overlay: "Region",
// "Window" and "Full Screen" as one row of exclusive segments, "Cancel", and "Capture" while a
// selection is being adjusted. It forwards every click to its callbacks, so a click acts
// exactly like the matching key. Nothing in it takes keyboard focus (the selection view keeps
// the keys), a press on its background does nothing, and the pointer is an arrow over it.
class CaptureModeBar : public QWidget {
public:
    explicit CaptureModeBar(QWidget* parent = nullptr);

    std::function<void(OverlayMode)> onSelect;
    std::function<void()> onFullScreen;
    std::function<void()> onCancel;
    std::function<void()> onCapture;

    // Selects the segment of `mode` without calling anything.
    void setMode(OverlayMode mode);
    // Shows or hides "Capture"; the bar's size follows (see sizeHint()).
    void setCaptureVisible(bool visible);
    bool captureVisible() const { return !m_capture->isHidden(); }

    // 0 "Region", 1 "Window", 2 "Full Screen".
    QAbstractButton* segment(int index) const { return m_segments->button(index); }
    QAbstractButton* cancelButton() const { return m_cancel; }
    QAbstractButton* captureButton() const { return m_capture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QButtonGroup* m_segments = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_capture = nullptr;
};

} // namespace snapkin
