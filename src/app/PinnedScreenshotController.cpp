#include "app/PinnedScreenshotController.h"

#include "capture/CaptureToast.h"
#include "editor/EditorWindowController.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "platform/BaseImage.h"
#include "platform/Defaults.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace snapkin {

using platform::L10n;

namespace {

// X11's Caps Lock bit in a key event's native modifiers.
constexpr quint32 x11LockMask = 0x2;

constexpr double copiedToastSeconds = 1.3;
constexpr double lockedToastSeconds = 4.0;

} // namespace

// ---- the controller ---------------------------------------------------------------------------

PinnedScreenshotController::~PinnedScreenshotController()
{
    for (const auto& window : std::exchange(m_windows, {}))
        delete window.data();
}

QList<PinnedScreenshotWindow*> PinnedScreenshotController::windows() const
{
    QList<PinnedScreenshotWindow*> open;
    for (const auto& window : m_windows)
        if (window) open << window;
    return open;
}

PinnedScreenshotWindow* PinnedScreenshotController::pin(const QImage& image, QWidget* near)
{
    auto* window = new PinnedScreenshotWindow(image, *this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QScreen* screen = near ? near->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize size = PinnedScreenshotWindow::initialSize(window->imagePointSize(), available);
    window->resize(size);
    window->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    m_windows.append(window);
    recount();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void PinnedScreenshotController::close(PinnedScreenshotWindow* window)
{
    if (window) window->close();
    forget(window);
}

void PinnedScreenshotController::forget(PinnedScreenshotWindow* window)
{
    m_windows.removeAll(window);
    recount();
}

void PinnedScreenshotController::closeAll()
{
    const auto open = windows();
    m_windows.clear();
    for (PinnedScreenshotWindow* window : open)
        window->close();
    recount();
}

void PinnedScreenshotController::unlockAll()
{
    for (PinnedScreenshotWindow* window : windows())
        window->unlock();
    recount();
}

void PinnedScreenshotController::recount()
{
    m_windows.removeAll(nullptr);
    const auto open = windows();
    const int count = int(open.size());
    const int locked =
        int(std::count_if(open.begin(), open.end(), [](auto* w) { return w->isLocked(); }));
    if (count != m_count) {
        m_count = count;
        emit countChanged(count);
    }
    if (locked != m_lockedCount) {
        m_lockedCount = locked;
        emit lockedCountChanged(locked);
    }
}

// ---- one pin ----------------------------------------------------------------------------------

PinnedScreenshotWindow::PinnedScreenshotWindow(const QImage& image,
                                               PinnedScreenshotController& controller)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_controller(controller), m_image(image)
{
    setWindowTitle(L10n::text("Pinned Screenshot"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(L10n::text("Pinned Screenshot"));
}

QSizeF PinnedScreenshotWindow::imagePointSize() const
{
    return m_image.deviceIndependentSize();
}

QSize PinnedScreenshotWindow::initialSize(QSizeF imageSize, const QRect& available)
{
    double width = std::max(imageSize.width(), 1.0);
    double height = std::max(imageSize.height(), 1.0);
    const double maxWidth = available.width() * maximumScreenShare;
    const double maxHeight = available.height() * maximumScreenShare;
    const double shrink = std::min({1.0, maxWidth / width, maxHeight / height});
    width *= shrink;
    height *= shrink;
    return {std::max(minimumSide, int(std::lround(width))),
            std::max(minimumSide, int(std::lround(height)))};
}

QSizeF PinnedScreenshotWindow::resizedSize(double currentWidth, double factor, QSizeF imageSize,
                                           double minimumWidth, double screenLimit)
{
    const double aspect = imageSize.width() / std::max(imageSize.height(), 1.0);
    // The screen's limit wins over the minimum, so a pin never grows wider than its screen.
    const double width = std::min(std::max(currentWidth * factor, minimumWidth), screenLimit);
    return {width, aspect > 0 ? width / aspect : width};
}

double PinnedScreenshotWindow::screenLimit(const QScreen* screen)
{
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() : noScreenLimit;
}

double PinnedScreenshotWindow::scrolledOpacity(double opacity, QPoint pixelDelta, QPoint angleDelta)
{
    // A touchpad reports pixels; a wheel notch is 120 eighths of a degree and moves 5 %.
    const double step =
        !pixelDelta.isNull() ? pixelDelta.y() / 200.0 : angleDelta.y() / 120.0 / 20.0;
    return std::clamp(opacity + step, minimumOpacity, 1.0);
}

void PinnedScreenshotWindow::setSizeCentred(QSizeF size)
{
    const QPoint centre = geometry().center();
    QRect frame(QPoint(0, 0), QSize(std::max(1, int(std::lround(size.width()))),
                                    std::max(1, int(std::lround(size.height())))));
    frame.moveCenter(centre);
    setGeometry(frame);
    update();
}

void PinnedScreenshotWindow::resizeBy(double factor)
{
    setSizeCentred(resizedSize(width(), factor, imagePointSize(), minimumSide,
                               screenLimit(windowHandle() ? screen() : nullptr)));
}

void PinnedScreenshotWindow::actualSize()
{
    setSizeCentred(imagePointSize());
}

void PinnedScreenshotWindow::copyImage()
{
    ExportService::copy(m_image, true);
    CaptureToast::show(L10n::text("Copied to clipboard"), copiedToastSeconds);
}

void PinnedScreenshotWindow::saveImage()
{
    const QString raw = platform::Defaults::standard().get(keys::exportFormat);
    const ExportFormat format = fromRaw<ExportFormat>(raw).value_or(ExportFormat::png);
    m_controller.exports().save(m_image, format, nullptr, this);
}

void PinnedScreenshotWindow::openInEditor()
{
    const platform::BaseImage image(m_image, imagePointSize());
    // Null when its conversion ran out of memory: said, never an empty editor.
    if (image.isNull()) {
        CaptureToast::show(platform::userMessage(platform::ImageReadError::tooLarge), 4.0);
        return;
    }
    m_controller.editors().open(image, L10n::text("Untitled"));
}

void PinnedScreenshotWindow::lock()
{
    m_locked = true;
    // Only the native window's input flag: changing the widget's window flags would hide and
    // re-create the window.
    if (QWindow* window = windowHandle()) window->setFlag(Qt::WindowTransparentForInput, true);
    m_controller.recount();
    CaptureToast::show(
        L10n::text("Clicks now pass through. To unlock, choose Unlock Pinned Screenshots from "
                   "the Snapkin icon in the system tray or the Window menu of an editor window."),
        lockedToastSeconds);
}

void PinnedScreenshotWindow::unlock()
{
    m_locked = false;
    if (QWindow* window = windowHandle()) window->setFlag(Qt::WindowTransparentForInput, false);
}

void PinnedScreenshotWindow::closePin()
{
    m_controller.close(this);
}

QMenu* PinnedScreenshotWindow::contextMenu()
{
    auto* menu = new QMenu(this);
    menu->addAction(L10n::text("Copy"), this, &PinnedScreenshotWindow::copyImage);
    menu->addAction(L10n::text("Save\u2026"), this, &PinnedScreenshotWindow::saveImage);
    menu->addAction(L10n::text("Open in Editor"), this, &PinnedScreenshotWindow::openInEditor);
    menu->addSeparator();
    QMenu* opacity = menu->addMenu(L10n::text("Opacity"));
    const int current = int(std::lround(windowOpacity() * 100.0));
    for (const int percent : {100, 75, 50, 25}) {
        QAction* item = opacity->addAction(QLocale().toString(percent) + QLocale().percent());
        item->setCheckable(true);
        item->setChecked(current == percent);
        item->setData(percent);
        connect(item, &QAction::triggered, this,
                [this, percent] { setWindowOpacity(percent / 100.0); });
    }
    menu->addAction(L10n::text("Actual Size"), this, &PinnedScreenshotWindow::actualSize);
    menu->addAction(L10n::text("Let Clicks Pass Through"), this, &PinnedScreenshotWindow::lock);
    menu->addSeparator();
    menu->addAction(L10n::text("Close"), this, &PinnedScreenshotWindow::closePin);
    return menu;
}

void PinnedScreenshotWindow::showContextMenu(QPoint globalPosition)
{
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void PinnedScreenshotWindow::showContextMenuAtCentre()
{
    showContextMenu(mapToGlobal(rect().center()));
}

void PinnedScreenshotWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_image.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The image keeps its aspect inside the window, centred.
    const QSizeF image = imagePointSize();
    QSizeF target = image.scaled(QSizeF(size()), Qt::KeepAspectRatio);
    if (target.isEmpty()) target = QSizeF(size());
    QRectF frame(QPointF(0, 0), target);
    frame.moveCenter(QRectF(rect()).center());
    painter.drawImage(frame, m_image);
}

void PinnedScreenshotWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressedAt = event->globalPosition().toPoint();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PinnedScreenshotWindow::mouseMoveEvent(QMouseEvent* event)
{
    // The window manager moves the pin once the pointer really drags: a move asked for at the
    // press would outlive a quick click, whose release the window manager may never see.
    if ((event->buttons() & Qt::LeftButton) && m_pressedAt && windowHandle() &&
        (event->globalPosition().toPoint() - *m_pressedAt).manhattanLength() >=
            QApplication::startDragDistance()) {
        m_pressedAt.reset();
        windowHandle()->startSystemMove();
    }
    event->accept();
}

void PinnedScreenshotWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressedAt.reset();
    QWidget::mouseReleaseEvent(event);
}

void PinnedScreenshotWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        openInEditor();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void PinnedScreenshotWindow::wheelEvent(QWheelEvent* event)
{
    setWindowOpacity(scrolledOpacity(windowOpacity(), event->pixelDelta(), event->angleDelta()));
    event->accept();
}

void PinnedScreenshotWindow::keyPressEvent(QKeyEvent* event)
{
    const bool capsLock = event->nativeModifiers() & x11LockMask;
    // Exactly Ctrl: Ctrl+Shift+C, or Ctrl+C with Caps Lock on, is left alone.
    if (event->modifiers() == Qt::ControlModifier && !capsLock) {
        if (event->key() == Qt::Key_C) return copyImage();
        if (event->key() == Qt::Key_W) return closePin();
    }
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Menu || shiftF10) return showContextMenuAtCentre();
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) return closePin();
    QWidget::keyPressEvent(event);
}

void PinnedScreenshotWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) return showContextMenuAtCentre();
    showContextMenu(event->globalPos());
}

void PinnedScreenshotWindow::closeEvent(QCloseEvent* event)
{
    // Also when the window manager closes it (Alt+F4): the counts follow.
    m_controller.forget(this);
    QWidget::closeEvent(event);
}

bool PinnedScreenshotWindow::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            resizeBy(1.0 + gesture->value());
            return true;
        }
    }
    return QWidget::event(event);
}

} // namespace snapkin
