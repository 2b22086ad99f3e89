#pragma once

#include "capture/overlay/OverlayTypes.h"
#include "capture/overlay/SelectionGeometry.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>
#include <variant>

class QScreen;

namespace snapkin {

class CaptureModeBar;
class LoupeView;
class WindowPicker;

// What the user does on one screen of the selection overlay: it dims the screen, lets the user
// drag out, move, resize and nudge a rectangle (region mode) or highlights the window under the
// pointer (window mode), draws the border, the handles and a size badge, picks the cursors,
// places and feeds the loupe, and reports to the overlay through callbacks. It never captures.
//
// Coordinates: points of the view, which covers its screen exactly; origin at the top-left,
// y down. The selection is kept in these coordinates, which are also the coordinates of the
// result. Window frames are root-window pixels, converted with the screen's native origin and
// pixels per point (`setRootMapping`).
//
// Invariants: the selection is empty or normalised; `isAdjusting` only with a selection of at
// least 4 × 4 points (or while one is being changed); only the overlay's chosen view has a bar.
class SelectionView : public QWidget {
public:
    SelectionView(QScreen* screen, OverlayMode mode, QWidget* parent = nullptr);
    ~SelectionView() override;

    // Set by the overlay. Each may be empty: its key or gesture then does nothing.
    std::function<void(std::optional<RegionSelection>)> onFinish; // nothing: cancel
    std::function<void(OverlayMode)> onModeChange;
    std::function<void()> onFullScreen;
    std::function<void()> onConfirm;
    std::function<void()> onBeginSelection;
    std::function<void()> onAdjustingChange;
    std::function<void()> onPress; // any mouse press on the view (the keys should follow it)

    QScreen* screen() const { return m_screen; }
    OverlayMode mode() const { return m_mode; }
    // Switches the mode: when it changes, the drag, selection, picked window and adjust state
    // are reset and the bar's segment follows.
    void setMode(OverlayMode mode);

    QRectF selection() const { return m_selection; }
    // Replaces the selection, repainting only the old and the new decorated areas.
    void setSelection(const QRectF& selection);
    // Drops the drag and the selection and leaves the adjust state (another screen started a
    // selection). The picked window stays.
    void clearSelection();

    bool isAdjusting() const { return m_adjusting; }
    void setAdjusting(bool adjusting);
    bool isDragging() const { return m_drag.index() != 0; }

    const std::optional<platform::WindowInfo>& pickedWindow() const { return m_pickedWindow; }

    // The view's answer: nothing below 4 × 4 points.
    std::optional<RegionSelection> currentResult() const;

    // The loupe shows only with this on and a snapshot to read.
    void setShowsLoupe(bool shows);
    // The still picture of this screen the loupe reads from.
    void setSnapshot(const QImage& snapshot);
    const QImage& snapshot() const { return m_snapshot; }
    // The picture painted under the dimming (a frozen screen, or a picture of it taken before
    // the overlay appeared); none over a live, composited screen.
    void setBackground(const QImage& picture);

    void setWindowPicker(WindowPicker* picker) { m_picker = picker; }
    void setRootMapping(QPoint nativeOrigin, double pixelsPerPoint);

    void updateHover(QPointF p);
    // Whether the loupe shows with the pointer at `p` in the view's present state (its setting,
    // mode, drag, handles and mode bar).
    bool wantsLoupe(QPointF p) const;
    void updateLoupe(QPointF p);
    // The loupe at the pointer's current position.
    void refreshLoupe();
    void nudge(double dx, double dy, bool resize);
    bool copyLoupeColor();

    void showModeBar();
    void setCaptureButtonVisible(bool visible);
    CaptureModeBar* modeBar() const { return m_bar; }
    LoupeView* loupe() const { return m_loupe; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Create {
        QPointF start;
    };
    struct Move {
        QPointF from;
        QRectF original;
    };
    struct Resize {
        SelectionGeometry::Handle handle;
        QRectF original;
    };
    using Drag = std::variant<std::monostate, Create, Move, Resize>;

    QRectF bounds() const { return QRectF(rect()); }
    void press(QPointF p, bool doubleClick);
    QFont badgeFont() const;
    QSizeF badgeTextSize(const QRectF& selection) const;
    QRectF decorRect(const QRectF& selection) const;
    void updateCursor(QPointF p);
    void placeBar();
    bool adjustBeforeCapture() const;

    QScreen* m_screen = nullptr;
    OverlayMode m_mode = OverlayMode::region;
    Drag m_drag;
    bool m_adjusting = false;
    QRectF m_selection;
    std::optional<platform::WindowInfo> m_pickedWindow;
    bool m_showsLoupe = false;
    QImage m_snapshot;
    QImage m_background;
    QPoint m_nativeOrigin;
    double m_pixelsPerPoint = 1.0;
    WindowPicker* m_picker = nullptr; // the overlay's, which outlives its views
    LoupeView* m_loupe = nullptr;
    CaptureModeBar* m_bar = nullptr;
    int m_cursorKey = -1;
};

} // namespace snapkin
