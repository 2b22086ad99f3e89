#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <optional>

class QMenu;
class QScreen;

namespace snapkin {

class EditorWindowController;
class ExportDialogs;
class PinnedScreenshotWindow;

// The open pinned screenshots ("pins"): small frameless windows that float above the user's
// windows as a reference. The main menu and the tray menu watch the two counts for their
// "Unlock Pinned Screenshots" and "Close Pinned Screenshots" items. After every operation
// count() is the number of open pins and lockedCount() the number that let clicks pass through.
class PinnedScreenshotController : public QObject {
    Q_OBJECT
public:
    // A pin opens in an editor among `editors` and saves through `exports`; both must outlive
    // the controller.
    PinnedScreenshotController(EditorWindowController& editors, ExportDialogs& exports)
        : m_editors(editors), m_exports(exports)
    {
    }
    // The pins still open go with their controller.
    ~PinnedScreenshotController() override;

    ExportDialogs& exports() const { return m_exports; }
    EditorWindowController& editors() const { return m_editors; }
    int count() const { return m_count; }
    int lockedCount() const { return m_lockedCount; }
    // The open pins, in the order they were pinned.
    QList<PinnedScreenshotWindow*> windows() const;

    // Pins `image` (shown at its size in points, as its device pixel ratio says) on the screen
    // of `near` (the editor it comes from; the primary screen without one).
    PinnedScreenshotWindow* pin(const QImage& image, QWidget* near = nullptr);

    void close(PinnedScreenshotWindow* window);
    void closeAll();
    void unlockAll();
    // Counts again; called by a pin whose lock changed.
    void recount();
    // Drops a pin that is closing (from its menu, a key or the window manager).
    void forget(PinnedScreenshotWindow* window);

signals:
    void countChanged(int count);
    void lockedCountChanged(int lockedCount);

private:
    EditorWindowController& m_editors;
    ExportDialogs& m_exports;
    QList<QPointer<PinnedScreenshotWindow>> m_windows;
    int m_count = 0;
    int m_lockedCount = 0;
};

// One pin: the image in a frameless tool window that stays above ordinary windows. Dragging
// moves it (the window manager's own move), the wheel changes its opacity (20 … 100 %), a pinch
// resizes it, a double click opens the image in an editor, Ctrl+C copies, Ctrl+W or Escape
// closes it, and its context menu (also from the Menu key or Shift+F10) offers the rest.
// Locked, it lets every click pass through to the windows beneath until "Unlock Pinned
// Screenshots" is chosen in a menu. Opacity needs a compositing manager to show.
class PinnedScreenshotWindow : public QWidget {
    Q_OBJECT
public:
    // No window is smaller than this at first; a pinch keeps the width at least this wide.
    static constexpr int minimumSide = 80;
    // The share of its screen a new pin may cover at most, on each axis.
    static constexpr double maximumScreenShare = 2.0 / 3.0;
    // The width limit when no screen is known.
    static constexpr double noScreenLimit = 4000.0;
    static constexpr double minimumOpacity = 0.2;

    // A pin of `controller`, which counts it.
    PinnedScreenshotWindow(const QImage& image, PinnedScreenshotController& controller);

    const QImage& image() const { return m_image; }
    // The image's size in points.
    QSizeF imagePointSize() const;
    bool isLocked() const { return m_locked; }

    // The first size of a pin: the image's point size, kept within maximumScreenShare of
    // `available` (keeping its aspect), at least minimumSide on each axis.
    static QSize initialSize(QSizeF imageSize, const QRect& available);
    // The size after scaling the width by `factor`: at least `minimumWidth`, then at most
    // `screenLimit` (which wins); the height follows the image's aspect (a zero height counts
    // as one point).
    static QSizeF resizedSize(double currentWidth, double factor, QSizeF imageSize,
                              double minimumWidth, double screenLimit);
    // The width limit for `screen`: its available width, noScreenLimit without one.
    static double screenLimit(const QScreen* screen);
    // The opacity after a wheel event, clamped to minimumOpacity … 1.
    static double scrolledOpacity(double opacity, QPoint pixelDelta, QPoint angleDelta);

    void resizeBy(double factor);
    void copyImage();
    void saveImage();
    void openInEditor();
    void actualSize();
    void lock();
    void unlock();
    void closePin();

    // The context menu, built afresh; owned by the caller.
    QMenu* contextMenu();
    void showContextMenuAtCentre();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void setSizeCentred(QSizeF size);
    void showContextMenu(QPoint globalPosition);

    PinnedScreenshotController& m_controller;
    QImage m_image;
    bool m_locked = false;
    std::optional<QPoint> m_pressedAt; // a left press that may become a drag
};

} // namespace snapkin
