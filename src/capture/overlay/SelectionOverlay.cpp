#include "capture/overlay/SelectionOverlay.h"

#include "capture/overlay/WindowPicker.h"
#include "platform/Defaults.h"
#include "platform/KeyboardGrab.h"
#include "platform/L10n.h"
#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"
#include "ui/platform/Announcer.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace snapkin {

using platform::KeyboardGrab;
using platform::L10n;
using platform::ScreenCapture;

namespace {

// A keyboard held by another program (an open menu, a key being held down in a game) is
// often let go within moments; we keep asking this long before giving up on keys.
constexpr int grabPatienceMs = 500;
constexpr int grabRetryMs = 20;
// With a compositor, an unmapped window leaves the screen with the compositor's next frame.
constexpr int compositorFramesMs = 2 * 17;
// How long hidden overlay windows are kept for the next session.
constexpr int shellKeepMs = 30000;

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// The screen's rectangle in root-window pixels: Qt keeps a screen's native top-left corner
// and scales only its size.
QRect nativeGeometry(const QScreen* screen)
{
    const QRect g = screen->geometry();
    const double dpr = screen->devicePixelRatio();
    return QRect(g.topLeft(), QSize(qRound(g.width() * dpr), qRound(g.height() * dpr)));
}

QString openingAnnouncement(bool loupe)
{
    QString text = L10n::text("Select the area to capture. Drag, or use arrow keys to move and "
                              "Shift-arrows to resize. Press Return to capture, Escape to cancel.");
    text += QLatin1Char(' ');
    text += L10n::text("Press 1, 2 or 3 to switch between region, window and full screen.");
    if (loupe) {
        text += QLatin1Char(' ');
        text += L10n::text("Press C to copy the color under the pointer.");
    }
    return text;
}

std::optional<QImage> pictureFor(const DisplaySnapshots& map, const QScreen* screen)
{
    const auto id = ScreenCapture::displayID(screen);
    if (!id) return std::nullopt;
    const auto it = map.find(*id);
    if (it == map.end() || it->second.isNull()) return std::nullopt;
    return it->second;
}

} // namespace

SelectionOverlay::SelectionOverlay(QObject* parent, WindowPicker* picker)
    : QObject(parent), m_picker(picker)
{
    if (!m_picker) m_picker = new WindowPicker({}, this);
    m_grabRetry.setSingleShot(true);
    m_grabRetry.setInterval(grabRetryMs);
    connect(&m_grabRetry, &QTimer::timeout, this, &SelectionOverlay::retryKeyboard);
    m_shellRelease.setSingleShot(true);
    m_shellRelease.setInterval(shellKeepMs);
    connect(&m_shellRelease, &QTimer::timeout, this, &SelectionOverlay::releaseShells);
}

SelectionOverlay::~SelectionOverlay()
{
    if (m_grabbedView) KeyboardGrab::release();
    for (const QPointer<SelectionView>& view : std::as_const(m_views))
        delete view.data();
    releaseShells();
}

QWidget* SelectionOverlay::shellFor(QScreen* screen, bool translucent)
{
    for (const Shell& shell : std::as_const(m_shells)) {
        if (shell.screen == screen && shell.window && shell.translucent == translucent) {
            shell.window->setGeometry(screen->geometry());
            return shell.window;
        }
    }
    auto* window = new QWidget;
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint);
    window->setWindowTitle(QStringLiteral("Snapkin selection"));
    // The capture service leaves these out of the windows it hides and keeps.
    window->setProperty(windowProperty, true);
    // The view inside paints every pixel.
    window->setAttribute(Qt::WA_OpaquePaintEvent);
    window->setAttribute(Qt::WA_TranslucentBackground, translucent);
    window->setScreen(screen);
    window->setGeometry(screen->geometry());
    m_shells.append(Shell{screen, window, translucent});
    return window;
}

void SelectionOverlay::releaseShells()
{
    if (isOpen()) return;
    for (const Shell& shell : std::as_const(m_shells))
        delete shell.window.data();
    m_shells.clear();
}

int SelectionOverlay::begin(OverlayMode mode, std::optional<DisplaySnapshots> frozen,
                            OverlayCompletion completion)
{
    if (isOpen()) {
        // One session at a time: the open one goes on, this request ends at once.
        if (completion) completion(std::nullopt);
        return 0;
    }
    ++m_session;
    m_completion = completion ? std::move(completion) : [](std::optional<OverlayResult>) {};

    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        finish(std::nullopt);
        return m_session;
    }
    const bool showsLoupe = platform::Defaults::standard().get(keys::showMagnifierWhileSelecting);

    // Pictures of the displays, taken now, before any overlay window is on the screen: the
    // loupe reads them, and without a compositor (when a window cannot show what lies below
    // it) the windows paint them.
    m_composited = false;
    std::optional<platform::X11Connection::Lease> x11;
    if (onX11()) {
        x11 = platform::X11Connection::acquire();
        if (*x11) m_composited = ScreenCapture::compositingManagerRunning(**x11);
    }
    DisplaySnapshots taken;
    if (!frozen && x11 && *x11) {
        for (QScreen* screen : screens) {
            const auto id = ScreenCapture::displayID(screen);
            if (!id) continue;
            auto picture = ScreenCapture::grabScreenRect(**x11, nativeGeometry(screen));
            if (picture) taken[*id] = std::move(*picture);
        }
    }
    x11.reset();
    const bool stillScreen = frozen.has_value();
    const DisplaySnapshots pictures = frozen ? std::move(*frozen) : std::move(taken);

    m_shellRelease.stop();
    for (QScreen* screen : screens) {
        const auto picture = pictureFor(pictures, screen);
        // A frozen screen shows its picture; a live one shows itself where it can.
        const bool translucent = m_composited && !stillScreen;
        QWidget* shell = shellFor(screen, translucent);
        auto* view = new SelectionView(screen, mode, shell);
        view->setGeometry(shell->rect());
        view->setRootMapping(nativeGeometry(screen).topLeft(), screen->devicePixelRatio());
        view->setWindowPicker(m_picker);
        view->setShowsLoupe(showsLoupe);
        if (picture) view->setSnapshot(*picture);
        if (picture && !translucent) {
            view->setBackground(*picture);
        } else if (!translucent) {
            // Nothing to show below the dimming: a dark screen rather than stale pixels.
            view->setAutoFillBackground(true);
            QPalette palette = view->palette();
            palette.setColor(QPalette::Window, Qt::black);
            view->setPalette(palette);
        }

        QPointer<SelectionView> weak(view);
        view->onFinish = [this](std::optional<RegionSelection> s) {
            finish(s ? std::optional(OverlayResult::ofSelection(*s)) : std::nullopt);
        };
        view->onModeChange = [this](OverlayMode m) { setMode(m); };
        view->onFullScreen = [this, screen] { finish(OverlayResult::ofFullScreen(screen)); };
        view->onConfirm = [this] { confirm(); };
        view->onBeginSelection = [this, weak] { beginSelectionOn(weak.data()); };
        view->onAdjustingChange = [this] { refreshCaptureButton(); };
        view->onPress = [this, weak] {
            // The keys follow the pointer to another display.
            if (weak && weak != m_grabbedView) takeKeyboard(weak.data());
        };
        view->show();
        shell->show();
        m_views.append(weak);
    }

    // The display under the pointer gets the keys and the bar; the first one when the pointer
    // is on none of them.
    const QPoint pointer = QCursor::pos();
    SelectionView* keyView = m_views.first();
    for (const QPointer<SelectionView>& view : std::as_const(m_views)) {
        if (view->screen()->geometry().contains(pointer)) {
            keyView = view;
            break;
        }
    }
    keyView->window()->activateWindow();
    keyView->setFocus(Qt::ActiveWindowFocusReason);
    takeKeyboard(keyView);
    keyView->showModeBar();
    m_barView = keyView;

    qApp->installEventFilter(this);
    setMode(mode);
    for (const QPointer<SelectionView>& view : std::as_const(m_views))
        view->refreshLoupe();
    platform::Announcer::shared().announce(openingAnnouncement(showsLoupe));
    return m_session;
}

bool SelectionOverlay::takesOwnSnapshots() const
{
    return onX11();
}

void SelectionOverlay::setSnapshots(const DisplaySnapshots& snapshots, int session)
{
    if (session != m_session || !isOpen()) return;
    for (const QPointer<SelectionView>& view : std::as_const(m_views)) {
        if (!view) continue;
        if (auto picture = pictureFor(snapshots, view->screen())) view->setSnapshot(*picture);
    }
}

void SelectionOverlay::setMode(OverlayMode mode)
{
    for (const QPointer<SelectionView>& view : std::as_const(m_views)) {
        if (view) view->setMode(mode);
    }
    if (mode != OverlayMode::window) return;
    // The list arrives later; it then highlights the window under the pointer at once. After
    // the session has ended there are no views and nothing happens.
    m_picker->prepare().then(this, [this] {
        for (const QPointer<SelectionView>& view : std::as_const(m_views)) {
            if (!view || view->mode() != OverlayMode::window || !view->isVisible()) continue;
            const QPointF p = view->mapFromGlobal(QCursor::pos()).toPointF();
            if (QRectF(view->rect()).contains(p)) view->updateHover(p);
        }
    });
}

void SelectionOverlay::confirm()
{
    // The selection of the view with the keys, else that of the view being adjusted.
    const auto keyed = std::find_if(m_views.cbegin(), m_views.cend(), [this](const auto& view) {
        return view && (view->window()->isActiveWindow() || view == m_grabbedView);
    });
    const auto adjusting = std::find_if(m_views.cbegin(), m_views.cend(), [](const auto& view) {
        return view && view->isAdjusting();
    });
    for (const auto& it : {keyed, adjusting}) {
        if (it == m_views.cend()) continue;
        if (auto result = (*it)->currentResult())
            return finish(OverlayResult::ofSelection(*result));
    }
}

void SelectionOverlay::beginSelectionOn(SelectionView* started)
{
    for (const QPointer<SelectionView>& view : std::as_const(m_views)) {
        if (view && view != started) view->clearSelection();
    }
}

void SelectionOverlay::refreshCaptureButton()
{
    if (!m_barView) return;
    bool adjusting = false;
    for (const QPointer<SelectionView>& view : std::as_const(m_views))
        adjusting = adjusting || (view && view->isAdjusting());
    m_barView->setCaptureButtonVisible(adjusting);
}

void SelectionOverlay::takeKeyboard(SelectionView* view)
{
    if (!KeyboardGrab::available() || !view) return;
    view->window()->activateWindow();
    view->setFocus(Qt::ActiveWindowFocusReason);
    m_wantedView = view;
    m_grabAttempts = 0;
    retryKeyboard();
}

void SelectionOverlay::retryKeyboard()
{
    SelectionView* view = m_wantedView;
    if (!view || !isOpen()) return;
    if (KeyboardGrab::grab(view->window()->windowHandle()) == KeyboardGrab::Status::grabbed) {
        m_grabbedView = view;
        m_wantedView = nullptr;
        return;
    }
    if (++m_grabAttempts * grabRetryMs < grabPatienceMs) {
        m_grabRetry.start();
        return;
    }
    m_wantedView = nullptr;
    // The session still works with the mouse, and the bar's "Cancel" ends it.
    platform::Announcer::shared().announce(
        L10n::text("Another program holds the keyboard, so keys don't reach the capture "
                   "overlay. Select with the mouse, or click Cancel."));
}

bool SelectionOverlay::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride && type != QEvent::Shortcut) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !isOpen()) return false;
    for (const QPointer<SelectionView>& view : std::as_const(m_views)) {
        if (view && view->window() == widget->window()) return false; // ours already
    }
    if (type == QEvent::ShortcutOverride || type == QEvent::Shortcut) {
        // No other window's shortcut acts during a selection.
        event->accept();
        return true;
    }
    SelectionView* target = m_grabbedView ? m_grabbedView.data() : m_barView.data();
    if (!target) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                   ushort(key->count()));
    QCoreApplication::sendEvent(target, &copy);
    return true;
}

void SelectionOverlay::finish(std::optional<OverlayResult> result)
{
    if (!isOpen()) return; // every session ends once
    OverlayCompletion completion = std::exchange(m_completion, {});
    qApp->removeEventFilter(this);
    m_grabRetry.stop();
    m_wantedView = nullptr;
    if (m_grabbedView) {
        KeyboardGrab::release();
        m_grabbedView = nullptr;
    }
    const QList<QPointer<SelectionView>> views = std::exchange(m_views, {});
    for (const QPointer<SelectionView>& view : views) {
        if (!view) continue;
        view->onFinish = {};
        view->onModeChange = {};
        view->onFullScreen = {};
        view->onConfirm = {};
        view->onBeginSelection = {};
        view->onAdjustingChange = {};
        view->onPress = {};
        view->window()->hide();
        view->hide();
    }
    // The windows are off the screen once the server has handled their unmapping.
    KeyboardGrab::syncWithServer();
    for (const QPointer<SelectionView>& view : views) {
        // Later: this may run inside one of these views' own event handlers.
        if (view) view->deleteLater();
    }
    m_shellRelease.start();
    if (m_composited) {
        QTimer::singleShot(compositorFramesMs, this, [completion, result] { completion(result); });
    } else {
        completion(result);
    }
}

} // namespace snapkin
