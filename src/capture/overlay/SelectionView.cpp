#include "capture/overlay/SelectionView.h"

#include "canvas/ToolCursor.h"
#include "capture/overlay/CaptureModeBar.h"
#include "capture/overlay/LoupeView.h"
#include "capture/overlay/WindowPicker.h"
#include "platform/Defaults.h"
#include "platform/KeyCodes.h"
#include "platform/L10n.h"
#include "ui/platform/Announcer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace snapkin {

namespace G = SelectionGeometry;
using platform::L10n;

namespace {

const QColor dimming(0, 0, 0, 89); // black at 35 %

constexpr int cursorCapture = 0;
constexpr int cursorOpenHand = 1;
constexpr int cursorClosedHand = 2;
constexpr int cursorHandleBase = 10; // + the handle's index

Qt::CursorShape handleCursor(G::Handle h)
{
    switch (h) {
    case G::Handle::topLeft:
    case G::Handle::bottomRight:
        return Qt::SizeFDiagCursor;
    case G::Handle::topRight:
    case G::Handle::bottomLeft:
        return Qt::SizeBDiagCursor;
    case G::Handle::top:
    case G::Handle::bottom:
        return Qt::SizeVerCursor;
    case G::Handle::left:
    case G::Handle::right:
        return Qt::SizeHorCursor;
    }
    return Qt::ArrowCursor;
}

} // namespace

SelectionView::SelectionView(QScreen* screen, OverlayMode mode, QWidget* parent)
    : QWidget(parent), m_screen(screen), m_mode(mode)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (screen) setRootMapping(screen->geometry().topLeft(), screen->devicePixelRatio());
    m_loupe = new LoupeView(this);
    updateCursor(QPointF(-1, -1));
}

SelectionView::~SelectionView() = default;

void SelectionView::setRootMapping(QPoint nativeOrigin, double pixelsPerPoint)
{
    m_nativeOrigin = nativeOrigin;
    m_pixelsPerPoint = pixelsPerPoint > 0 ? pixelsPerPoint : 1.0;
}

void SelectionView::setMode(OverlayMode mode)
{
    if (mode == m_mode) return;
    m_mode = mode;
    m_drag = std::monostate{};
    setSelection(QRectF());
    m_pickedWindow.reset();
    if (m_adjusting) {
        m_adjusting = false;
        if (onAdjustingChange) onAdjustingChange();
    }
    if (m_bar) m_bar->setMode(mode);
    update();
    refreshLoupe();
}

QRectF SelectionView::decorRect(const QRectF& s) const
{
    return G::decorRect(s, badgeTextSize(s), bounds());
}

void SelectionView::setSelection(const QRectF& s)
{
    if (s == m_selection) return;
    const QRectF before = decorRect(m_selection);
    m_selection = s;
    const QRectF after = decorRect(m_selection);
    if (!before.isEmpty()) update(before.toAlignedRect());
    if (!after.isEmpty()) update(after.toAlignedRect());
}

void SelectionView::clearSelection()
{
    m_drag = std::monostate{};
    setSelection(QRectF());
    setAdjusting(false);
    update();
}

void SelectionView::setAdjusting(bool adjusting)
{
    if (adjusting == m_adjusting) {
        if (adjusting) updateCursor(mapFromGlobal(QCursor::pos()).toPointF());
        return;
    }
    m_adjusting = adjusting;
    const QRectF area = decorRect(m_selection);
    if (!area.isEmpty()) update(area.toAlignedRect());
    updateCursor(mapFromGlobal(QCursor::pos()).toPointF());
    if (onAdjustingChange) onAdjustingChange();
    if (adjusting && window()->isVisible()) {
        platform::Announcer::shared().announce(
            L10n::text("Selection ready. Drag the handles or use the arrow keys to adjust it, "
                       "then press Return to capture."));
    }
}

std::optional<RegionSelection> SelectionView::currentResult() const
{
    if (!G::isUsable(m_selection)) return std::nullopt;
    return RegionSelection{m_screen, m_selection, m_pickedWindow};
}

void SelectionView::setShowsLoupe(bool shows)
{
    m_showsLoupe = shows;
    if (!shows) m_loupe->hide();
}

void SelectionView::setSnapshot(const QImage& snapshot)
{
    m_snapshot = snapshot;
    if (isVisible()) refreshLoupe();
}

void SelectionView::setBackground(const QImage& picture)
{
    m_background = picture;
    // The picture covers every pixel: no background fill first.
    setAttribute(Qt::WA_OpaquePaintEvent, !picture.isNull());
    update();
}

void SelectionView::updateHover(QPointF p)
{
    std::optional<platform::WindowInfo> found;
    if (m_picker) found = m_picker->window(G::toRootPixels(p, m_nativeOrigin, m_pixelsPerPoint));
    if (found) {
        m_pickedWindow = found;
        setSelection(G::fromRootPixels(found->frame, m_nativeOrigin, m_pixelsPerPoint));
    } else {
        m_pickedWindow.reset();
        setSelection(QRectF());
    }
}

bool SelectionView::wantsLoupe(QPointF p) const
{
    G::LoupeContext context;
    context.enabled = m_showsLoupe && !m_snapshot.isNull();
    context.windowMode = m_mode == OverlayMode::window;
    context.creating =
        std::holds_alternative<Create>(m_drag) || std::holds_alternative<Resize>(m_drag);
    context.moving = std::holds_alternative<Move>(m_drag);
    context.adjusting = m_adjusting;
    context.selection = m_selection;
    if (m_bar) context.barFrame = QRectF(m_bar->geometry());
    return G::wantsLoupe(p, bounds(), context);
}

void SelectionView::updateLoupe(QPointF p)
{
    if (!wantsLoupe(p)) {
        m_loupe->hide();
        return;
    }
    const QPoint pixel = G::snapshotPixel(p, bounds(), m_snapshot.size());
    m_loupe->updateFrom(m_snapshot, pixel.x(), pixel.y(),
                        G::selectionPixels(m_selection, bounds(), m_snapshot.size()));
    m_loupe->move(G::loupeOrigin(p, QSizeF(m_loupe->size()), bounds()).toPoint());
    m_loupe->show();
    m_loupe->raise();
}

void SelectionView::refreshLoupe()
{
    updateLoupe(mapFromGlobal(QCursor::pos()).toPointF());
}

bool SelectionView::adjustBeforeCapture() const
{
    return platform::Defaults::standard().get(keys::adjustRegionBeforeCapture);
}

void SelectionView::nudge(double dx, double dy, bool resize)
{
    // Without a selection an arrow makes one, which the user may then adjust.
    const bool made = !G::isUsable(m_selection);
    setSelection(G::nudged(m_selection, dx, dy, resize, bounds()));
    update();
    if (made && m_mode == OverlayMode::region && adjustBeforeCapture()) {
        if (onBeginSelection) onBeginSelection();
        setAdjusting(true);
    } else if (!made && m_adjusting) {
        updateCursor(mapFromGlobal(QCursor::pos()).toPointF());
    }
    refreshLoupe();
}

bool SelectionView::copyLoupeColor()
{
    if (m_loupe->isHidden() || !m_loupe->hex()) return false;
    const QString hex = *m_loupe->hex();
    QGuiApplication::clipboard()->setText(hex);
    m_loupe->flashCopied();
    platform::Announcer::shared().announce(L10n::format("Copied color %@", hex));
    return true;
}

void SelectionView::showModeBar()
{
    if (m_bar) return;
    m_bar = new CaptureModeBar(this);
    // The bar is a child of this view and goes with it, so the callbacks may hold `this`.
    m_bar->onSelect = [this](OverlayMode mode) {
        if (onModeChange) onModeChange(mode);
    };
    m_bar->onFullScreen = [this] {
        if (onFullScreen) onFullScreen();
    };
    m_bar->onCancel = [this] {
        if (onFinish) onFinish(std::nullopt);
    };
    m_bar->onCapture = [this] {
        if (onConfirm) onConfirm();
    };
    m_bar->setMode(m_mode);
    placeBar();
    m_bar->show();
    // The loupe is drawn over the bar where they meet.
    m_loupe->raise();
}

void SelectionView::setCaptureButtonVisible(bool visible)
{
    if (!m_bar || m_bar->captureVisible() == visible) return;
    m_bar->setCaptureVisible(visible);
    placeBar();
}

void SelectionView::placeBar()
{
    if (!m_bar) return;
    const QSize size = m_bar->sizeHint();
    // Centred, its lower edge 56 points above the bottom of the screen.
    m_bar->setGeometry((width() - size.width()) / 2, height() - 56 - size.height(), size.width(),
                       size.height());
}

void SelectionView::resizeEvent(QResizeEvent*)
{
    placeBar();
}

QFont SelectionView::badgeFont() const
{
    QFont f = font();
    f.setPixelSize(12);
    f.setWeight(QFont::DemiBold);
    return f;
}

QSizeF SelectionView::badgeTextSize(const QRectF& s) const
{
    const QFontMetricsF metrics(badgeFont());
    return QSizeF(metrics.horizontalAdvance(G::badgeLabel(s.size())), metrics.height());
}

void SelectionView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect dirty = event->rect();
    if (!m_background.isNull()) {
        // Pixel for pixel where the picture matches the screen's resolution: a plain copy.
        const double scale = double(m_background.width()) / std::max(1, width());
        const QRectF source(dirty.x() * scale, dirty.y() * scale, dirty.width() * scale,
                            dirty.height() * scale);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QRectF(dirty), m_background, source);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    const bool hasSelection = m_selection.width() > 0 && m_selection.height() > 0;
    if (!hasSelection) {
        p.fillRect(dirty, dimming);
        return;
    }
    // The dimming everywhere but the selection, which shows the screen as it is. Clipping
    // to rectangles keeps this a plain span fill, the cheapest thing to do over a whole screen.
    p.setClipRegion(QRegion(dirty).subtracted(QRegion(m_selection.toAlignedRect())));
    p.fillRect(dirty, dimming);
    p.setClipping(false);

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_selection);

    if (m_adjusting) {
        p.setPen(QPen(QColor(0, 0, 0, 128), 1));
        p.setBrush(Qt::white);
        for (G::Handle h : G::allHandles)
            p.drawEllipse(G::handleRect(h, m_selection).adjusted(2, 2, -2, -2));
    }

    const QString label = G::badgeLabel(m_selection.size());
    const QRectF badge = G::badgeRect(m_selection, badgeTextSize(m_selection), bounds());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 191));
    p.drawRoundedRect(badge, 5, 5);
    p.setFont(badgeFont());
    p.setPen(Qt::white);
    p.drawText(badge.adjusted(6, 3, -6, -3), Qt::AlignCenter, label);
}

void SelectionView::press(QPointF p, bool doubleClick)
{
    if (!window()->isActiveWindow()) window()->activateWindow();
    setFocus(Qt::MouseFocusReason);
    if (onPress) onPress();
    if (m_mode == OverlayMode::window) return;

    if (m_adjusting) {
        if (auto handle = G::handleAt(p, m_selection)) {
            m_drag = Resize{*handle, m_selection};
            updateLoupe(p);
            return;
        }
        if (m_selection.contains(p)) {
            if (doubleClick) {
                if (onConfirm) onConfirm();
                return;
            }
            m_drag = Move{p, m_selection};
            updateCursor(p);
            updateLoupe(p);
            return;
        }
    }
    if (onBeginSelection) onBeginSelection();
    setAdjusting(false);
    m_drag = Create{G::clamped(p, bounds())};
    setSelection(QRectF());
    updateLoupe(p);
}

void SelectionView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) press(event->position(), false);
}

void SelectionView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) press(event->position(), true);
}

void SelectionView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (m_mode == OverlayMode::window) {
        updateHover(p);
        updateCursor(p);
        return;
    }
    if (!isDragging()) {
        updateCursor(p);
        updateLoupe(p);
        return;
    }
    const QPointF q = G::clamped(p, bounds());
    if (const auto* create = std::get_if<Create>(&m_drag)) {
        setSelection(G::spanned(create->start, q));
    } else if (const auto* move = std::get_if<Move>(&m_drag)) {
        setSelection(G::moved(move->original, q - move->from, bounds()));
    } else if (const auto* resize = std::get_if<Resize>(&m_drag)) {
        setSelection(G::resized(resize->original, resize->handle, q));
    }
    updateLoupe(q);
}

void SelectionView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const bool wasDragging = isDragging();
    m_drag = std::monostate{};
    const std::optional<RegionSelection> result = currentResult();
    if (!result) {
        if (!m_selection.isNull()) {
            setSelection(QRectF());
            update();
        }
        setAdjusting(false);
        updateCursor(event->position());
        return;
    }
    if (m_mode == OverlayMode::region && adjustBeforeCapture()) {
        if (wasDragging) setAdjusting(true);
        updateCursor(event->position());
        updateLoupe(event->position());
        return;
    }
    if (onFinish) onFinish(result);
}

void SelectionView::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const double step = shift ? G::shiftArrowStep : G::arrowStep;
    auto arrow = [&](double dx, double dy) {
        // Arrows move the rectangle shown; in window mode that would no longer be the window
        // that a capture would take, so they do nothing there.
        if (m_mode == OverlayMode::region) nudge(dx, dy, shift);
    };
    // 1, 2 and 3 are physical keys: they act with any modifier held and on any layout (Shift+3
    // types "#", the French 3 key types '"'). The keypad's digits act as well, but only while
    // they type digits: with Num Lock off its 2 is an arrow that moves the region.
    const auto key =
        platform::KeyCodes::forKeyPress(event->key(), event->modifiers(), event->nativeScanCode());
    int digitKey = key ? key->qtKey : 0;
    if (digitKey & int(Qt::KeypadModifier))
        digitKey = (digitKey & ~int(Qt::KeypadModifier)) == event->key() ? event->key() : 0;
    switch (digitKey) {
    case Qt::Key_1:
        if (onModeChange) onModeChange(OverlayMode::region);
        return;
    case Qt::Key_2:
        if (onModeChange) onModeChange(OverlayMode::window);
        return;
    case Qt::Key_3:
        if (onFullScreen) onFullScreen();
        return;
    default:
        break;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (onConfirm) onConfirm();
        return;
    case Qt::Key_Escape:
        if (onFinish) onFinish(std::nullopt);
        return;
    case Qt::Key_Left:
        return arrow(-step, 0);
    case Qt::Key_Right:
        return arrow(step, 0);
    case Qt::Key_Up:
        return arrow(0, -step);
    case Qt::Key_Down:
        return arrow(0, step);
    default:
        break;
    }
    const Qt::KeyboardModifiers commandKeys =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->key() == Qt::Key_C && !(event->modifiers() & commandKeys) && copyLoupeColor()) {
        return;
    }
    QWidget::keyPressEvent(event);
}

void SelectionView::enterEvent(QEnterEvent* event)
{
    const QPointF p = event->position();
    updateCursor(p);
    if (m_mode == OverlayMode::window) {
        updateHover(p);
    } else {
        updateLoupe(p);
    }
}

void SelectionView::leaveEvent(QEvent*)
{
    m_loupe->hide();
}

void SelectionView::updateCursor(QPointF p)
{
    int key = cursorCapture;
    if (std::holds_alternative<Move>(m_drag)) {
        key = cursorClosedHand;
    } else if (const auto* resize = std::get_if<Resize>(&m_drag)) {
        key = cursorHandleBase + int(resize->handle);
    } else if (m_adjusting && m_mode == OverlayMode::region) {
        if (auto handle = G::handleAt(p, m_selection)) {
            key = cursorHandleBase + int(*handle);
        } else if (m_selection.contains(p)) {
            key = cursorOpenHand;
        }
    }
    if (key == m_cursorKey) return;
    m_cursorKey = key;
    if (key == cursorCapture) {
        setCursor(ToolCursor::capture(devicePixelRatioF()));
    } else if (key == cursorOpenHand) {
        setCursor(Qt::OpenHandCursor);
    } else if (key == cursorClosedHand) {
        setCursor(Qt::ClosedHandCursor);
    } else {
        setCursor(handleCursor(G::Handle(key - cursorHandleBase)));
    }
}

} // namespace snapkin
