#include "editor/EditorCanvasArea.h"

#include "canvas/CanvasCursor.h"
#include "canvas/CanvasView.h"
#include "canvas/CanvasZoomWheel.h"
#include "editor/EditorView.h"
#include "editor/EditorViewHooks.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "model/AnnotationStore.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QResizeEvent>
#include <QScrollBar>

#include <array>
#include <cmath>

namespace snapkin {

namespace {

// The soft shadow under the canvas: black at 0.3, blurred by 8 points, 2 points down.
constexpr double shadowOpacity = 0.3;
constexpr double shadowBlur = 8;
constexpr double shadowOffsetY = 2;

// How much of a blurred edge's shadow falls at signed distance `d` outside it (negative
// inside): a Gaussian of sigma = blur / 2 integrated across the edge; 0.5 on the edge.
double edgeFalloff(double d)
{
    const double sigma = shadowBlur / 2;
    return 0.5 * std::erfc(d / (sigma * std::sqrt(2.0)));
}

// Beyond this distance from the edge the shadow is invisible.
constexpr double shadowReach = shadowBlur * 1.5;

QGradientStops bandStops()
{
    QGradientStops stops;
    for (int i = 0; i <= 8; ++i) {
        // From `shadowReach` inside the edge to as far outside it.
        const double t = i / 8.0;
        const double d = (2 * t - 1) * shadowReach;
        stops.append({t, QColor(0, 0, 0, int(std::lround(255 * shadowOpacity * edgeFalloff(d))))});
    }
    return stops;
}

// The top-left corner of the shadow, reaching `shadowReach` outwards and inwards from the
// corner point, as the product of the two edges' falloff; the others are its mirror images.
const QImage& cornerTile()
{
    static const QImage tile = [] {
        constexpr int perPoint = 2;
        const int side = int(2 * shadowReach * perPoint);
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < side; ++y) {
            const double dy = shadowReach - (y + 0.5) / perPoint;
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < side; ++x) {
                const double dx = shadowReach - (x + 0.5) / perPoint;
                const int a =
                    int(std::lround(255 * shadowOpacity * edgeFalloff(dx) * edgeFalloff(dy)));
                line[x] = qRgba(0, 0, 0, a);
            }
        }
        image.setDevicePixelRatio(perPoint);
        return image;
    }();
    return tile;
}

} // namespace

// Shows the bare image at the zoom's scale, in place of the crop overlay until one is
// installed.
class EditorCanvasArea::BareImage : public QWidget {
public:
    BareImage(AnnotationStore& store, QWidget* parent) : QWidget(parent), m_store(store)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.fillRect(rect(), palette().window());
        if (!m_store.image().isNull()) painter.drawImage(QRectF(rect()), m_store.image().image());
    }

private:
    AnnotationStore& m_store;
};

// The scroll content: the backdrop, and the border and shadow around the content.
class EditorCanvasArea::ZoomHost : public QWidget {
public:
    explicit ZoomHost(EditorCanvasArea* area) : QWidget(area), m_area(area)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), EditorCanvasArea::backdropColor(palette()));
        if (m_area->m_cropping) return; // the crop view has neither border nor shadow
        const QRectF content = m_area->contentGeometry();
        if (content.isEmpty()) return;
        paintShadow(painter, content.translated(0, shadowOffsetY));
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.18f);
        painter.setPen(QPen(line, 1));
        painter.setBrush(Qt::NoBrush);
        // The line lies just outside the canvas.
        painter.drawRect(content.adjusted(-0.5, -0.5, 0.5, 0.5));
    }

private:
    // Four fading bands and four corners along the edges of `r`, each reaching as far in as
    // out: the shadow is offset, so part of its inside shows below the canvas.
    static void paintShadow(QPainter& painter, const QRectF& r)
    {
        const double reach = shadowReach;
        if (r.width() < 2 * reach || r.height() < 2 * reach) {
            // Too small for the corners to stay apart: one plain soft rectangle will do.
            painter.fillRect(r.adjusted(-2, -2, 2, 2), QColor(0, 0, 0, 30));
            return;
        }
        const QGradientStops stops = bandStops();
        const auto band = [&](QRectF area, QPointF from, QPointF to) {
            QLinearGradient g(from, to);
            g.setStops(stops);
            painter.fillRect(area, g);
        };
        const double innerW = r.width() - 2 * reach, innerH = r.height() - 2 * reach;
        band({r.left() + reach, r.top() - reach, innerW, 2 * reach}, {0, r.top() + reach},
             {0, r.top() - reach});
        band({r.left() + reach, r.bottom() - reach, innerW, 2 * reach}, {0, r.bottom() - reach},
             {0, r.bottom() + reach});
        band({r.left() - reach, r.top() + reach, 2 * reach, innerH}, {r.left() + reach, 0},
             {r.left() - reach, 0});
        band({r.right() - reach, r.top() + reach, 2 * reach, innerH}, {r.right() - reach, 0},
             {r.right() + reach, 0});
        const QImage& tile = cornerTile();
        const QSizeF side(2 * reach, 2 * reach);
        const std::array<std::pair<QPointF, Qt::Orientations>, 4> corners{{
            {r.topLeft(), {}},
            {r.topRight(), Qt::Horizontal},
            {r.bottomLeft(), Qt::Vertical},
            {r.bottomRight(), Qt::Horizontal | Qt::Vertical},
        }};
        for (const auto& [point, flips] : corners) {
            painter.save();
            painter.translate(point);
            painter.scale(flips & Qt::Horizontal ? -1 : 1, flips & Qt::Vertical ? -1 : 1);
            painter.drawImage(QRectF(QPointF(-reach, -reach), side), tile);
            painter.restore();
        }
    }

    EditorCanvasArea* m_area;
};

QColor EditorCanvasArea::backdropColor(const QPalette& palette)
{
    const QColor window = palette.color(QPalette::Window);
    return window.lightness() < 128 ? window.darker(130) : window.darker(112);
}

EditorCanvasArea::EditorCanvasArea(AnnotationStore& store, EditorZoom& zoom, QWidget* parent)
    : QScrollArea(parent), m_store(store), m_zoom(zoom)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_host = new ZoomHost(this);
    m_framed = new FramedCanvas(store, m_host);
    setWidget(m_host);
    viewport()->installEventFilter(this);

    m_cursor = new CanvasCursor(this);
    m_wheel = new CanvasZoomWheel(this, [this](double factor) { m_zoom.zoomBy(factor); });

    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(0);
    connect(&m_syncTimer, &QTimer::timeout, this, &EditorCanvasArea::sync);
    connect(&store, &AnnotationStore::imageChanged, this, &EditorCanvasArea::scheduleSync);
    connect(&store, &AnnotationStore::frameChanged, this, &EditorCanvasArea::scheduleSync);
    connect(&store, &AnnotationStore::watermarkChanged, this, &EditorCanvasArea::scheduleSync);
    connect(&store, &AnnotationStore::isCroppingChanged, this, &EditorCanvasArea::scheduleSync);
    connect(&store, &AnnotationStore::toolChanged, this, &EditorCanvasArea::scheduleSync);
    // The scale is used as published, so a zoom step lays out at once.
    connect(&zoom, &EditorZoom::scaleChanged, this, [this](const double& s) { applyScale(s); });

    m_scale = zoom.scale();
    m_cropping = store.isCropping();
    m_canvasSize = store.frameLayout().canvasSize;
    sync();
}

EditorCanvasArea::~EditorCanvasArea() = default;

void EditorCanvasArea::scheduleSync()
{
    m_syncTimer.start();
}

void EditorCanvasArea::syncNow()
{
    m_syncTimer.stop();
    sync();
}

void EditorCanvasArea::sync()
{
    const bool cropping = m_store.isCropping();
    const QSizeF canvasSize = m_store.frameLayout().canvasSize;
    const bool refit = cropping != m_cropping || canvasSize != m_canvasSize;
    m_cropping = cropping;
    m_canvasSize = canvasSize;

    if (cropping && !m_crop) {
        const auto& factory = EditorViewHooks::shared().cropView;
        m_crop = factory ? factory(m_store, m_zoom, m_host) : nullptr;
        if (!m_crop) m_crop = new BareImage(m_store, m_host);
        m_crop->show();
    } else if (!cropping && m_crop) {
        m_crop->deleteLater();
        m_crop->hide();
        m_crop = nullptr;
    }
    m_framed->setVisible(!cropping);
    updateCursor();
    if (refit) m_zoom.zoomToFit(m_store); // lays out through the scale's change, if any
    applyScale(m_zoom.scale());
}

void EditorCanvasArea::applyScale(double scale)
{
    m_scale = scale;
    if (!m_cropping) m_framed->sync(scale);
    layoutHost();
}

QSize EditorCanvasArea::contentSize() const
{
    if (!m_cropping) return m_framed->scaledSize();
    const QSizeF image = m_store.image().pointSize() * m_scale;
    return QSize(std::max(1, int(std::ceil(image.width()))),
                 std::max(1, int(std::ceil(image.height()))));
}

QRect EditorCanvasArea::contentGeometry() const
{
    const QWidget* shown = m_cropping ? m_crop.data() : m_framed;
    return shown ? shown->geometry() : QRect();
}

void EditorCanvasArea::layoutHost()
{
    const QSize content = contentSize();
    const QSize padded = content + QSize(2 * margin, 2 * margin);
    const QSize view = viewport()->size();
    const QSize host(std::max(padded.width(), view.width()),
                     std::max(padded.height(), view.height()));
    // Centred in the host; in a host no larger than the padded content that is 24 points in.
    const QPoint at((host.width() - content.width()) / 2, (host.height() - content.height()) / 2);
    if (m_cropping && m_crop) m_crop->setGeometry(QRect(at, content));
    if (!m_cropping) m_framed->move(at);
    if (m_host->size() != host) m_host->resize(host);
    m_host->update();
}

void EditorCanvasArea::updateCursor()
{
    m_cursor->setCursor(EditorView::canvasCursor(m_store.tool(), m_store.isCropping()));
}

bool EditorCanvasArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && event->type() == QEvent::Resize) {
        m_zoom.setViewportSize(QSizeF(viewport()->size()));
        layoutHost();
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace snapkin
