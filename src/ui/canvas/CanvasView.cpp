#include "ui/canvas/CanvasView.h"

#include "canvas/AnnotationRenderer.h"
#include "canvas/CanvasDamage.h"
#include "canvas/handlers/SelectionOutlinePainter.h"
#include "model/AnnotationStore.h"
#include "ui/canvas/CanvasAccessibility.h"
#include "ui/canvas/handlers/ImagePicker.h"
#include "ui/canvas/handlers/InlineTextField.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include <cmath>
#include <limits>

namespace snapkin {

namespace {

// The zoom the view accepts; the editor keeps its own scale well inside.
constexpr double minZoom = 0.01;
constexpr double maxZoom = 64;

QString cssColor(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alpha());
}

} // namespace

CanvasView::CanvasView(AnnotationStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_interaction(store),
      m_defaultPicker(std::make_unique<FileDialogImagePicker>())
{
    CanvasAccessibility::installFactory();
    m_interaction.setImagePicker(m_defaultPicker.get(), this);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(store.tool() == Tool::select ? Qt::StrongFocus : Qt::NoFocus);

    // The store publishes before it stores: repaint later, read the new values then.
    connect(&store, &AnnotationStore::willChange, this, [this] { scheduleRefresh(); });
    connect(&store, &AnnotationStore::annotationsChanged, this, [this] { scheduleSync(); });
    connect(&store, &AnnotationStore::selectedIDChanged, this, [this] { scheduleSync(); });
    connect(&store, &AnnotationStore::imageChanged, this, [this] { scheduleSync(); });
    connect(&store, &AnnotationStore::toolChanged, this, [this](const Tool& tool) {
        // The canvas takes keys only with the select tool; with any other they go elsewhere.
        setFocusPolicy(tool == Tool::select ? Qt::StrongFocus : Qt::NoFocus);
        if (tool != Tool::select && hasFocus()) clearFocus();
    });
    m_sharpen.setSingleShot(true);
    m_sharpen.setInterval(sharpenDelayMs);
    connect(&m_sharpen, &QTimer::timeout, this, [this] {
        if (m_standIn.zoom < m_zoom && (m_overview.isNull() || m_standIn.zoom <= m_overview.zoom)) {
            m_overview = m_standIn;
            m_overviewShows = m_standInShows;
            m_overviewSerial = m_standInSerial;
        }
        m_standIn = {};
        m_standInShows.clear();
        m_reshrink.stop();
        m_reshrinkDue = true;
        update();
    });
    // A band of a long stroke's picture arrived: drawn in where it lies.
    connect(&m_caches.strokePictures(), &StrokePictures::ready, this, [this](const QRectF& area) {
        const QRect r = QRectF(area.topLeft() * m_zoom, area.size() * m_zoom)
                            .toAlignedRect()
                            .adjusted(-1, -1, 1, 1)
                            .intersected(rect());
        m_still.redraw(r);
        update(r);
    });
    m_reshrink.setSingleShot(true);
    m_reshrink.setInterval(reshrinkDelayMs);
    connect(&m_reshrink, &QTimer::timeout, this, [this] {
        m_reshrinkDue = true;
        update();
    });
    updateSize();
    m_shown = shownNow();
}

CanvasView::~CanvasView() = default;

void CanvasView::setZoom(double zoom)
{
    if (!std::isfinite(zoom)) return;
    zoom = std::clamp(zoom, minZoom, maxZoom);
    if (zoom == m_zoom) return;
    // Through a run of steps the stand-in stays the picture made before the first.
    if (m_standIn.isNull() && !m_interaction.isDragging()) {
        m_standInShows = shownAnnotations();
        m_standInSerial = m_store.image().serial();
        m_standIn = m_still.standIn(m_standInShows, m_standInSerial);
    }
    m_zoom = zoom;
    m_reshrinkDue = false;
    updateSize();
    syncInlineField();
    update();
    m_shown = shownNow();
}

void CanvasView::setImagePicker(ImagePicker* picker)
{
    m_interaction.setImagePicker(picker ? picker : m_defaultPicker.get(), this);
}

QSize CanvasView::sizeHint() const
{
    const QSizeF points = m_store.image().pointSize();
    return QSize(std::max(1, int(std::ceil(points.width() * m_zoom))),
                 std::max(1, int(std::ceil(points.height() * m_zoom))));
}

void CanvasView::updateSize()
{
    const QSize size = sizeHint();
    if (size != this->size() || minimumSize() != size) setFixedSize(size);
}

void CanvasView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const platform::BaseImage& image = m_store.image();
    const qreal dpr = painter.device()->devicePixelRatio();
    const QList<Annotation> shown = shownAnnotations();

    // Just after a zoom step, the picture made at the old zoom stands in, stretched, and the
    // sharp one is made on the next turn, so the step shows at once.
    const std::optional<qsizetype> moving = movingIndex(shown);
    if (!m_standIn.isNull() &&
        (moving || m_standInShows != shown || m_standInSerial != m_store.image().serial()))
        m_standIn = {};
    if (!m_overview.isNull() &&
        (moving || m_overviewShows != shown || m_overviewSerial != m_store.image().serial())) {
        m_overview = {};
        m_overviewShows.clear();
    }
    if (!m_standIn.isNull()) {
        QRegion rest = CanvasStillLayer::drawStretched(painter, m_standIn, m_zoom, event->region());
        // Zooming out shows more than the old picture held: the overview, stretched too.
        if (!rest.isEmpty())
            rest = CanvasStillLayer::drawStretched(painter, m_overview, m_zoom, rest);
        if (!rest.isEmpty()) {
            // What neither picture held (no overview, or its edge): drawn directly, the
            // image from whatever copy there is, stretched, as fast as it goes; a rectangle at
            // a time (a plain clip) with only the marks that reach it, since every path drawn
            // costs its time, clipped or not.
            const bool current = m_shrunk.serial == m_store.image().serial();
            for (const QRect& r : rest) {
                const QRectF reach(QPointF(r.topLeft()) / m_zoom, QSizeF(r.size()) / m_zoom);
                QList<Annotation> reaching = shown;
                reaching.removeIf([&](const Annotation& a) {
                    return a.kind != AnnotationKind::spotlight &&
                           a.kind != AnnotationKind::magnifier &&
                           !CanvasDamage::markArea(a).intersects(reach);
                });
                painter.save();
                painter.setClipRect(r);
                paintScene(painter, reaching, current ? m_shrunk.image : QImage(), true);
                painter.restore();
            }
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(m_zoom, m_zoom);
        SelectionOutlinePainter::paint(painter, m_store);
        m_sharpen.start();
        return;
    }

    bool stretched = false;
    const QImage& shrunk = shrunkImage(dpr, stretched);

    // What does not move comes from the still picture; the mark being dragged and what lies
    // above it are drawn over it, only where this paint reaches.
    QList<Annotation> below = shown;
    QList<Annotation> above;
    if (moving) {
        below = shown.first(*moving);
        for (qsizetype i = *moving; i < shown.size(); ++i) {
            // Every spotlight belongs to the one dimming layer beneath all marks.
            if (shown[i].kind == AnnotationKind::spotlight)
                below.append(shown[i]);
            else
                above.append(shown[i]);
        }
    }
    const QImage* still = nullptr;
    if (!stretched) {
        const CanvasStillLayer::Key key{shrunk.isNull() ? qint64(image.serial())
                                                        : shrunk.cacheKey(),
                                        image.serial(),
                                        size(),
                                        dpr,
                                        m_zoom,
                                        palette().window().color().rgba()};
        // Only the part of the canvas on screen is kept: zoomed in, the canvas is many
        // screenfuls.
        const QRect visible = visibleRegion().boundingRect() | event->region().boundingRect();
        const QImage& picture =
            m_still.picture(key, visible, below, [&](QPainter& p, const QList<Annotation>& list) {
                paintScene(p, list, shrunk, false);
            });
        if (!picture.isNull() && m_still.area().contains(event->region().boundingRect()))
            still = &picture;
        // Back at (or below) its zoom: the next step's stand-in holds at least as much.
        if (!m_overview.isNull() && m_zoom <= m_overview.zoom) {
            m_overview = {};
            m_overviewShows.clear();
        }
    }

    if (still) {
        m_still.draw(painter, event->region());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(m_zoom, m_zoom);
        if (!above.isEmpty())
            AnnotationRenderer(above, std::nullopt, image.pointSize(), image, &m_caches)
                .paint(painter);
    } else {
        paintScene(painter, shown, shrunk, stretched);
        painter.scale(m_zoom, m_zoom);
    }
    SelectionOutlinePainter::paint(painter, m_store);
}

void CanvasView::paintScene(QPainter& painter, const QList<Annotation>& annotations,
                            const QImage& shrunk, bool stretched)
{
    painter.save();
    const platform::BaseImage& image = m_store.image();
    const QSizeF points = image.pointSize();
    painter.fillRect(painter.hasClipping() ? painter.clipBoundingRect() : QRectF(rect()),
                     palette().window());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!shrunk.isNull()) {
        if (stretched) {
            // Only while zooming, until the fresh copy a moment later: resampled smoothly, a 4K
            // picture would take longer than a frame.
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(QRectF(QPointF(0, 0), points * m_zoom), shrunk);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
        } else {
            painter.drawImage(QPointF(0, 0), shrunk);
        }
    }
    painter.scale(m_zoom, m_zoom);
    if (!image.isNull() && shrunk.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !stretched);
        painter.drawImage(QRectF(QPointF(0, 0), points), image.image());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }
    AnnotationRenderer(annotations, std::nullopt, points, image, &m_caches).paint(painter);
    painter.restore();
}

QList<Annotation> CanvasView::shownAnnotations() const
{
    const std::optional<QUuid> hidden = m_interaction.textEditing().hiddenWhileEditingID();
    QList<Annotation> shown = m_store.annotations();
    if (hidden) shown.removeIf([&](const Annotation& a) { return a.id == *hidden; });
    return shown;
}

std::optional<qsizetype> CanvasView::movingIndex(const QList<Annotation>& shown) const
{
    if (!m_interaction.isDragging() || m_store.tool() != Tool::select) return std::nullopt;
    const std::optional<QUuid> id = m_store.selectedID();
    if (!id) return std::nullopt;
    std::optional<qsizetype> index;
    bool lensBefore = false;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const Annotation& a = shown[i];
        if (!index && a.id == *id) {
            index = i;
            continue;
        }
        if (a.kind != AnnotationKind::magnifier) continue;
        // A lens above shows the mark; one below shows obscure regions above it.
        if (index) return std::nullopt;
        lensBefore = true;
    }
    if (!index) return std::nullopt;
    const Annotation& mark = shown[*index];
    if (mark.kind == AnnotationKind::spotlight || mark.kind == AnnotationKind::magnifier ||
        (mark.kind == AnnotationKind::pixelate && lensBefore))
        return std::nullopt;
    return index;
}

CanvasView::Shown CanvasView::shownNow() const
{
    Shown shown;
    shown.annotations = shownAnnotations();
    if (m_store.tool() == Tool::select)
        if (const std::optional<Annotation> selected = m_store.selected())
            shown.selection = CanvasDamage::selectionArea(*selected);
    shown.serial = m_store.image().serial();
    shown.points = m_store.image().pointSize();
    shown.valid = true;
    return shown;
}

void CanvasView::refresh()
{
    Shown now = shownNow();
    const Shown before = std::exchange(m_shown, now);
    if (!before.valid || before.serial != now.serial || before.points != now.points) {
        update();
        return;
    }
    const std::optional<QRectF> damage = CanvasDamage::between(before.annotations, now.annotations);
    if (!damage) {
        update();
        return;
    }
    QRectF area = *damage;
    if (before.selection != now.selection) area |= before.selection | now.selection;
    if (area.isEmpty()) return;
    // Out to whole pixels, and one more for antialiasing.
    const QRectF scaled(area.topLeft() * m_zoom, area.size() * m_zoom);
    update(scaled.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(rect()));
}

void CanvasView::scheduleRefresh()
{
    if (m_refreshScheduled) return;
    m_refreshScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshScheduled = false;
            refresh();
        },
        Qt::QueuedConnection);
}

const QImage& CanvasView::shrunkImage(qreal devicePixelRatio, bool& stretched)
{
    static const QImage none;
    stretched = false;
    const platform::BaseImage& image = m_store.image();
    const QSizeF points = image.pointSize();
    const QSize deviceSize(int(std::lround(points.width() * m_zoom * devicePixelRatio)),
                           int(std::lround(points.height() * m_zoom * devicePixelRatio)));
    const bool shrinks = !image.isNull() && deviceSize.width() > 0 && deviceSize.height() > 0 &&
                         deviceSize.width() < image.pixelSize().width();
    if (!shrinks) {
        // Kept for the way back (zooming out to fit again finds the copy made for it), but
        // never for another image.
        if (m_shrunk.serial != image.serial()) m_shrunk = {};
        return none;
    }
    const bool sameImage = m_shrunk.serial == image.serial() &&
                           m_shrunk.devicePixelRatio == devicePixelRatio &&
                           !m_shrunk.image.isNull();
    if (sameImage && m_shrunk.deviceSize != deviceSize && !m_reshrinkDue) {
        // Only the zoom changed: the last copy, stretched, stands in until zooming pauses.
        stretched = true;
        m_reshrink.start();
        return m_shrunk.image;
    }
    if (!sameImage && !m_reshrinkDue && isVisible() &&
        qint64(image.pixelSize().width()) * image.pixelSize().height() >= quickFirstPixels) {
        // A large image shown for the first time: drawn at once from the full image, and the
        // smooth copy, which takes several frames to make, on the next turn.
        stretched = true;
        m_sharpen.start();
        return none;
    }
    if (!sameImage || m_shrunk.deviceSize != deviceSize) {
        QImage scaled = shrinkSource(deviceSize)
                            .scaled(deviceSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(devicePixelRatio);
        m_shrunk = {image.serial(), deviceSize, devicePixelRatio, std::move(scaled)};
    }
    return m_shrunk.image;
}

const QImage& CanvasView::shrinkSource(QSize deviceSize)
{
    const platform::BaseImage& image = m_store.image();
    if (m_halved.serial != image.serial()) m_halved = {image.serial(), {}};
    const QImage* source = &image.image();
    for (size_t level = 0;; ++level) {
        const QSize half = source->size() / 2;
        if (half.width() < deviceSize.width() || half.height() < deviceSize.height()) break;
        if (level == m_halved.levels.size()) {
            QImage next = source->scaled(half, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (next.isNull()) break; // out of memory: shrink from what there is
            m_halved.levels.push_back(std::move(next));
        }
        source = &m_halved.levels[level];
    }
    return *source;
}

void CanvasView::endOtherFieldEditing()
{
    QWidget* focused = QApplication::focusWidget();
    if (!focused || focused == m_field || focused->window() != window()) return;
    if (qobject_cast<QLineEdit*>(focused) || qobject_cast<QAbstractSpinBox*>(focused) ||
        qobject_cast<QTextEdit*>(focused) || qobject_cast<QPlainTextEdit*>(focused)) {
        focused->clearFocus();
    }
}

void CanvasView::beginTextEditing(const QUuid& id, bool isNew, EditField field)
{
    m_interaction.textEditing().beginTextEditing(id, isNew, field);
    afterInput();
}

void CanvasView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    endOtherFieldEditing();
    m_interaction.pointerPressed(toImagePoint(event->position()));
    event->accept();
    afterInput();
}

// The second press of a double click is a press like any other; the select tool tells a
// double tap by its own timing.
void CanvasView::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void CanvasView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_interaction.isDragging()) {
        event->ignore();
        return;
    }
    m_interaction.pointerMoved(toImagePoint(event->position()));
    afterInput();
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_interaction.isDragging()) {
        event->ignore();
        return;
    }
    m_interaction.pointerReleased(toImagePoint(event->position()));
    afterInput();
}

void CanvasView::keyPressEvent(QKeyEvent* event)
{
    // A held key moves the selection once: repeats are swallowed when the key is the canvas's
    // (so the scroll area around does not scroll instead) and passed on otherwise.
    if (event->isAutoRepeat()) {
        event->setAccepted(m_interaction.keys().handles(event->key()));
        return;
    }
    if (m_interaction.keys().handleKeyPress(event->key(), event->modifiers())) {
        event->accept();
        afterInput();
        return;
    }
    event->ignore();
}

void CanvasView::afterInput()
{
    syncInlineField();
    refresh();
}

void CanvasView::scheduleSync()
{
    if (m_syncScheduled) return;
    m_syncScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_syncScheduled = false;
        updateSize();
        syncInlineField();
        // The canvas's accessible name summarises the annotations.
        if (!QAccessible::isActive()) return;
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    });
}

void CanvasView::syncInlineField()
{
    TextEditing& editing = m_interaction.textEditing();
    if (!editing.isEditing()) {
        if (m_field) {
            InlineTextField* field = m_field;
            m_field = nullptr;
            const bool hadFocus = field->hasFocus();
            field->hide();
            // Deleted later: this may run inside the field's own Return handler.
            field->deleteLater();
            if (hadFocus || m_store.tool() == Tool::select) setFocus(Qt::OtherFocusReason);
        }
        return;
    }

    const std::optional<TextEditing::FieldLayout> layout = editing.fieldLayout();
    bool created = false;
    if (!m_field) {
        m_field = new InlineTextField(this);
        // QLineEdit cuts text at 32767 characters by default; a document may hold more, and
        // the first keystroke would write the cut text back.
        m_field->setMaxLength(std::numeric_limits<int>::max());
        created = true;
        connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) {
            m_interaction.textEditing().setEditedText(text);
            update();
        });
        const auto finish = [this] {
            m_interaction.textEditing().finishTextEditing();
            afterInput();
        };
        connect(m_field, &QLineEdit::returnPressed, this, finish);
        // Escape keeps what was typed and closes the edit as Return does; the canvas takes
        // the focus back so the next Escape does what it does there.
        connect(m_field, &InlineTextField::escapePressed, this, finish);
    }
    if (!layout) {
        // The annotation went away under the edit (an undo): nothing to show until it ends.
        m_field->hide();
        return;
    }

    QFont font = layout->font;
    font.setPixelSize(std::max(1, int(std::lround(layout->fontSize * m_zoom))));
    m_field->setFont(font);
    m_field->setAlignment(layout->alignment);
    const double pad = layout->horizontalPadding * m_zoom;
    m_field->setStyleSheet(
        QStringLiteral("QLineEdit { border: none; color: %1; background: %2; border-radius: %3px;"
                       " padding: 0px %4px; }")
            .arg(cssColor(layout->textColor),
                 layout->background ? cssColor(*layout->background) : QStringLiteral("transparent"))
            .arg(layout->cornerRadius * m_zoom)
            .arg(pad));
    const QPointF topLeft = layout->rect.topLeft() * m_zoom;
    const int width = std::max(1, int(std::lround(layout->rect.width() * m_zoom)));
    const int height = layout->rect.height() > 0
                           ? std::max(1, int(std::lround(layout->rect.height() * m_zoom)))
                           : m_field->sizeHint().height();
    m_field->setGeometry(int(std::lround(topLeft.x())), int(std::lround(topLeft.y())), width,
                         height);

    const QString text = editing.editedText();
    if (m_field->text() != text) m_field->setText(text);
    m_field->show();
    m_field->raise();
    if (created && m_interaction.state().textFocused) {
        // Given on the next turn, once the field is in place.
        QTimer::singleShot(0, m_field, [field = m_field] {
            if (field) field->setFocus(Qt::OtherFocusReason);
        });
    }
}

} // namespace snapkin
