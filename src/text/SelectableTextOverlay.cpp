#include "text/SelectableTextOverlay.h"

#include "model/AnnotationStore.h"
#include "platform/L10n.h"
#include "text/LinkToast.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace snapkin {

namespace {

constexpr int buttonInset = 8;

} // namespace

SelectableTextOverlay::SelectableTextOverlay(AnnotationStore& store, QWidget* framed,
                                             const QList<QWidget*>& inputs, LinkOpening& links)
    : QWidget(framed), m_store(&store), m_framed(framed), m_links(links)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(platform::L10n::text("Selectable Text"));

    m_copyAll = new QPushButton(platform::L10n::text("Copy All Text"), framed);
    m_copyAll->setCursor(Qt::ArrowCursor);
    m_copyAll->setFocusPolicy(Qt::TabFocus);
    m_copyAll->hide();
    connect(m_copyAll, &QPushButton::clicked, this, &SelectableTextOverlay::copyAllText);

    // The button is offered only while a press could reach it (the select tool, not cropping).
    // The store publishes before it stores: the change is read back on the next turn.
    auto followSoon = [this] { QTimer::singleShot(0, this, &SelectableTextOverlay::follow); };
    connect(&store, &AnnotationStore::toolChanged, this, followSoon);
    connect(&store, &AnnotationStore::isCroppingChanged, this, followSoon);
    framed->installEventFilter(this);
    for (QWidget* input : inputs) {
        m_inputs.append(input);
        input->setAttribute(Qt::WA_Hover);
        input->installEventFilter(this);
    }
    follow();
}

SelectableTextOverlay::~SelectableTextOverlay()
{
    if (m_cursorSet) {
        for (const QPointer<QWidget>& input : std::as_const(m_inputs))
            if (input) input->unsetCursor();
    }
    delete m_copyAll;
}

void SelectableTextOverlay::setAnalysis(std::shared_ptr<const TextAnalysis> analysis)
{
    if (analysis == m_analysis) return;
    m_analysis = std::move(analysis);
    setHovered(-1);
    m_pressedLink = -1;
    clearSelection();
    follow();
}

QTransform SelectableTextOverlay::wordPlacement() const
{
    if (!m_store) return {};
    // Fractions of the image → canvas points on the image rectangle → this widget's scale.
    const FrameLayout layout = m_store->frameLayout();
    const double canvasWidth = layout.canvasSize.width();
    const double scale = canvasWidth > 0 ? width() / canvasWidth : 1.0;
    const QRectF image = layout.imageRect;
    return QTransform(image.width() * scale, 0, 0, image.height() * scale, image.left() * scale,
                      image.top() * scale);
}

QRectF SelectableTextOverlay::wordRect(int index) const
{
    if (!m_analysis || !m_store || index < 0 || index >= int(m_analysis->words.size())) return {};
    return wordPlacement().mapRect(m_analysis->words[index].box);
}

int SelectableTextOverlay::wordAt(QPointF point) const
{
    if (!m_analysis || !m_store) return -1;
    const QTransform placement = wordPlacement();
    for (int i = 0; i < int(m_analysis->words.size()); ++i) {
        // A little slack around each word, so the gaps between letters and lines still count.
        if (placement.mapRect(m_analysis->words[i].box).adjusted(-2, -2, 2, 2).contains(point))
            return i;
    }
    return -1;
}

int SelectableTextOverlay::nearestWord(QPointF point) const
{
    if (!m_analysis || !m_store || m_analysis->words.empty()) return -1;
    const QTransform placement = wordPlacement();
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < int(m_analysis->words.size()); ++i) {
        const QRectF r = placement.mapRect(m_analysis->words[i].box);
        // Rows matter more than columns: a pointer beside a line selects within that line.
        const double dx = std::max({r.left() - point.x(), 0.0, point.x() - r.right()});
        const double dy = std::max({r.top() - point.y(), 0.0, point.y() - r.bottom()});
        const double distance = dx + 4 * dy;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

QUrl SelectableTextOverlay::linkOf(int index) const
{
    if (!m_analysis || index < 0 || index >= int(m_analysis->words.size())) return {};
    return m_analysis->words[index].link;
}

QString SelectableTextOverlay::selectedText() const
{
    if (!m_analysis || m_anchor < 0) return {};
    return m_analysis->text(std::min(m_anchor, m_focus), std::max(m_anchor, m_focus));
}

void SelectableTextOverlay::selectAll()
{
    if (!m_analysis || !m_analysis->hasText()) return;
    m_anchor = 0;
    m_focus = int(m_analysis->words.size()) - 1;
    takeKeys();
    update();
}

void SelectableTextOverlay::takeKeys()
{
    // However the words were selected (a drag, the context menu, Select All), Ctrl+C copies
    // them: the overlay takes the keyboard, and yields Copy to the window again once nothing
    // is selected.
    if (isVisible() && !hasFocus()) setFocus(Qt::OtherFocusReason);
}

void SelectableTextOverlay::clearSelection()
{
    m_anchor = m_focus = -1;
    m_dragging = false;
    update();
}

void SelectableTextOverlay::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void SelectableTextOverlay::copyAllText() const
{
    if (m_analysis && m_analysis->hasText())
        QGuiApplication::clipboard()->setText(m_analysis->allText());
}

QMenu* SelectableTextOverlay::makeContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* copy =
        menu->addAction(platform::L10n::text("Copy"), this, &SelectableTextOverlay::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(hasSelection());
    QAction* all = menu->addAction(platform::L10n::text("Select All"), this,
                                   &SelectableTextOverlay::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(m_analysis && m_analysis->hasText());
    return menu;
}

bool SelectableTextOverlay::interactive() const
{
    return m_store && m_store->tool() == Tool::select && !m_store->isCropping();
}

SelectableTextRoute SelectableTextOverlay::routeFor(QPointF point) const
{
    SelectableTextRouteState state;
    state.storeAlive = bool(m_store);
    state.hidden = !isVisible();
    if (m_store) {
        state.tool = m_store->tool();
        state.isCropping = state.tool == Tool::select && m_store->isCropping();
        state.layout = m_store->frameLayout();
    }
    state.overlaySize = size();
    state.onControl = [this](QPointF p) {
        return m_copyAll->isVisible() && m_copyAll->geometry().contains(p.toPoint());
    };
    state.annotationAt = [this](QPointF p) { return m_store->annotationAt(p).has_value(); };
    state.onWord = [this](QPointF p) { return wordAt(p) >= 0; };
    state.hasSelection = hasSelection();
    return route(point, state);
}

QPointF SelectableTextOverlay::toOverlay(QObject* watched, QPointF position) const
{
    auto* widget = static_cast<QWidget*>(watched);
    if (widget == m_framed) return position;
    return position + QPointF(widget->mapTo(m_framed.data(), QPoint(0, 0)));
}

void SelectableTextOverlay::setHovered(int index)
{
    if (index == m_hovered) return;
    m_hovered = index;
    updateCursor();
    update();
}

void SelectableTextOverlay::updateCursor()
{
    // The pointing hand over a link, the text pointer over any other word that a press would
    // select; elsewhere the inputs show the cursor they inherit, the tool's own.
    const bool onWord = m_hovered >= 0;
    const Qt::CursorShape shape =
        linkOf(m_hovered).isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor;
    if (onWord == m_cursorSet && (!onWord || shape == m_cursor)) return;
    m_cursorSet = onWord;
    m_cursor = shape;
    for (const QPointer<QWidget>& input : std::as_const(m_inputs)) {
        if (!input) continue;
        if (onWord)
            input->setCursor(shape);
        else
            input->unsetCursor();
    }
}

bool SelectableTextOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_framed && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        follow();
        return false;
    }
    if (watched == m_framed && event->type() == QEvent::Hide) return false;
    if (!m_analysis || !isVisible()) return false;
    switch (event->type()) {
    case QEvent::HoverMove:
    case QEvent::HoverEnter: {
        const QPointF p = toOverlay(watched, static_cast<QHoverEvent*>(event)->position());
        setHovered(interactive() && routeFor(p) == SelectableTextRoute::overlay ? wordAt(p) : -1);
        return false;
    }
    case QEvent::HoverLeave:
        setHovered(-1);
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF p = toOverlay(watched, mouse->position());
        if (routeFor(p) != SelectableTextRoute::overlay) {
            // The canvas takes the press; a selection ends with it.
            if (hasSelection()) clearSelection();
            return false;
        }
        if (mouse->button() == Qt::LeftButton) {
            const int word = wordAt(p);
            m_pressedLink = -1;
            if (word < 0) {
                clearSelection();
            } else if (event->type() == QEvent::MouseButtonDblClick) {
                m_anchor = m_focus = word;
            } else {
                m_anchor = m_focus = word;
                m_dragging = true;
                if (!linkOf(word).isEmpty()) {
                    m_pressedLink = word;
                    m_pressedAt = p;
                }
            }
            setFocus(Qt::MouseFocusReason);
            update();
        }
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_dragging) return false;
        const QPointF p = toOverlay(watched, static_cast<QMouseEvent*>(event)->position());
        // Moved far enough, a press on a link is a drag that selects, not a click.
        if (m_pressedLink >= 0 &&
            (p - m_pressedAt).manhattanLength() >= QApplication::startDragDistance())
            m_pressedLink = -1;
        if (const int word = nearestWord(p); word >= 0 && word != m_focus) {
            m_focus = word;
            update();
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (!m_dragging) return false;
        m_dragging = false;
        const int link = std::exchange(m_pressedLink, -1);
        const QPointF p = toOverlay(watched, static_cast<QMouseEvent*>(event)->position());
        if (link >= 0 && wordAt(p) == link) {
            // A click on a link opens it and selects nothing.
            const QUrl url = linkOf(link);
            clearSelection();
            m_links.open(url);
        }
        return true;
    }
    case QEvent::ContextMenu: {
        auto* context = static_cast<QContextMenuEvent*>(event);
        const QPointF p = toOverlay(watched, context->pos());
        if (routeFor(p) != SelectableTextRoute::overlay) return false;
        if (!hasSelection()) {
            if (const int word = wordAt(p); word >= 0) m_anchor = m_focus = word;
            update();
        }
        if (hasSelection()) takeKeys();
        QMenu* menu = makeContextMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(context->globalPos());
        return true;
    }
    default:
        return false;
    }
}

bool SelectableTextOverlay::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Ahead of the window's own Copy and Select All while text is selected here.
        if ((key->matches(QKeySequence::Copy) && hasSelection()) ||
            (key->matches(QKeySequence::SelectAll) && m_analysis && m_analysis->hasText()) ||
            (key->key() == Qt::Key_Escape && hasSelection())) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void SelectableTextOverlay::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) && hasSelection()) {
        copySelection();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->key() == Qt::Key_Escape && hasSelection()) {
        clearSelection();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void SelectableTextOverlay::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_copyAll->hide();
    setHovered(-1);
}

void SelectableTextOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    follow();
}

void SelectableTextOverlay::follow()
{
    if (!m_framed) return;
    setGeometry(m_framed->rect());
    raise();
    const bool showButton = m_analysis && m_analysis->hasText() && !isHidden() && interactive();
    m_copyAll->setVisible(showButton);
    if (!interactive()) setHovered(-1);
    if (!showButton || !m_store) return;
    // The top-right corner of the image, where it stays clear of the frame.
    const QRectF image = wordPlacement().mapRect(QRectF(0, 0, 1, 1));
    m_copyAll->adjustSize();
    m_copyAll->move(int(image.right()) - m_copyAll->width() - buttonInset,
                    int(image.top()) + buttonInset);
    m_copyAll->raise();
}

void SelectableTextOverlay::paintEvent(QPaintEvent*)
{
    if (!m_analysis) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor highlight = palette().color(QPalette::Highlight);
    const QTransform placement = wordPlacement();
    const int first = std::min(m_anchor, m_focus);
    const int last = std::max(m_anchor, m_focus);
    for (int i = 0; i < int(m_analysis->words.size()); ++i) {
        const bool selected = m_anchor >= 0 && i >= first && i <= last;
        if (!selected && i != m_hovered) continue;
        highlight.setAlphaF(selected ? 0.38 : 0.16);
        const QRectF box = placement.mapRect(m_analysis->words[i].box);
        const QRectF r = box.adjusted(-2, -1, 2, 1);
        p.setPen(Qt::NoPen);
        p.setBrush(highlight);
        p.drawRoundedRect(r, 3, 3);
        if (i == m_hovered && !m_analysis->words[i].link.isEmpty()) {
            // A hovered link is underlined just below its letters, in the link colour.
            const double thickness = std::clamp(box.height() / 14, 1.5, 4.0);
            const double y = box.bottom() + thickness;
            p.setPen(QPen(palette().color(QPalette::Link), thickness, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
        }
    }
}

} // namespace snapkin
