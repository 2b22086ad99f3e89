#include "editor/EditorCanvasArea.h"

#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "editor/SheetStyle.h"
#include "editor/crop/CropView.h"
#include "model/AnnotationStore.h"
#include "ui/canvas/CanvasCursor.h"
#include "ui/canvas/CanvasZoomWheel.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <map>

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

// The shadow of a large rectangle as nine pieces, at `perPoint` pixels per point: its four
// corners (each reaching `shadowReach` out of and into the rectangle, the product of the two
// edges' falloff) and, between them, `perPoint` pixel columns and rows that stretch along the
// edges. Made once per pixel density, so drawing it never scales.
const QPixmap& shadowPieces(int perPoint)
{
    static std::map<int, QPixmap> made;
    if (auto it = made.find(perPoint); it != made.end()) return it->second;
    const int corner = int(2 * shadowReach * perPoint);
    const int side = 2 * corner + perPoint;
    // Signed distance outside the rectangle of pixel `i` along one axis; the middle stands for
    // everything deep inside.
    const auto distance = [&](int i) {
        if (i < corner) return shadowReach - (i + 0.5) / perPoint;
        if (i >= corner + perPoint) return shadowReach - (side - i - 0.5) / perPoint;
        return -1.0e9;
    };
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < side; ++y) {
        const double fy = edgeFalloff(distance(y));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const int a = int(std::lround(255 * shadowOpacity * edgeFalloff(distance(x)) * fy));
            line[x] = qRgba(0, 0, 0, a);
        }
    }
    QPixmap pieces = QPixmap::fromImage(image);
    pieces.setDevicePixelRatio(perPoint);
    return made.emplace(perPoint, std::move(pieces)).first->second;
}

QColor backdropColor(const QPalette& palette)
{
    const QColor window = palette.color(QPalette::Window);
    return window.lightness() < 128 ? window.darker(130) : window.darker(112);
}

} // namespace

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
        // The content covers its own rectangle: only the backdrop around it is painted.
        const QRect content = m_area->contentGeometry();
        QRegion around = event->region();
        if (!content.isEmpty()) around -= content;
        const QColor backdrop = backdropColor(palette());
        for (const QRect& part : around)
            painter.fillRect(part, backdrop);
        if (m_area->m_cropping || content.isEmpty()) return; // no border or shadow in crop mode
        paintShadow(painter, QRectF(content).translated(0, shadowOffsetY));
        painter.setPen(QPen(sheetstyle::faded(this, 0.18), 1));
        painter.setBrush(Qt::NoBrush);
        // The line lies just outside the canvas.
        painter.drawRect(QRectF(content).adjusted(-0.5, -0.5, 0.5, 0.5));
    }

private:
    // The shadow's eight outer pieces around `r` (the middle lies under the canvas).
    static void paintShadow(QPainter& painter, const QRectF& r)
    {
        const double reach = shadowReach;
        const double c = 2 * reach; // a corner piece's side, in points
        if (r.width() < c || r.height() < c) {
            // Too small for the corners to stay apart: a plain faint outline will do.
            painter.fillRect(r.adjusted(-2, -2, 2, 2), QColor(0, 0, 0, 30));
            return;
        }
        const int k = std::max(1, int(std::ceil(painter.device()->devicePixelRatio())));
        const QPixmap& pieces = shadowPieces(k);
        const int cp = int(c * k); // a corner piece's side, in pixels
        const QRectF outer = r.adjusted(-reach, -reach, reach, reach);
        const double innerW = outer.width() - 2 * c, innerH = outer.height() - 2 * c;
        const double left = outer.left(), top = outer.top();
        const double right = outer.right() - c, bottom = outer.bottom() - c;
        // Corners.
        painter.drawPixmap(QRectF(left, top, c, c), pieces, QRectF(0, 0, cp, cp));
        painter.drawPixmap(QRectF(right, top, c, c), pieces, QRectF(cp + k, 0, cp, cp));
        painter.drawPixmap(QRectF(left, bottom, c, c), pieces, QRectF(0, cp + k, cp, cp));
        painter.drawPixmap(QRectF(right, bottom, c, c), pieces, QRectF(cp + k, cp + k, cp, cp));
        // Edges, stretched from the middle column or row.
        if (innerW > 0) {
            painter.drawPixmap(QRectF(left + c, top, innerW, c), pieces, QRectF(cp, 0, k, cp));
            painter.drawPixmap(QRectF(left + c, bottom, innerW, c), pieces,
                               QRectF(cp, cp + k, k, cp));
        }
        if (innerH > 0) {
            painter.drawPixmap(QRectF(left, top + c, c, innerH), pieces, QRectF(0, cp, cp, k));
            painter.drawPixmap(QRectF(right, top + c, c, innerH), pieces,
                               QRectF(cp + k, cp, cp, k));
        }
    }

    EditorCanvasArea* m_area;
};

EditorCanvasArea::EditorCanvasArea(AnnotationStore& store, EditorZoom& zoom, QWidget* parent)
    : QScrollArea(parent), m_store(store), m_zoom(zoom)
{
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_host = new ZoomHost(this);
    m_framed = new FramedCanvas(store, m_host);
    m_framed->setBackdrop(backdropColor(palette()));
    setWidget(m_host);
    // The host is never smaller than the viewport and paints all of it.
    viewport()->setAutoFillBackground(false);
    viewport()->installEventFilter(this);

    m_cursor = new CanvasCursor(this);
    new CanvasZoomWheel(this, [this](double factor) { m_zoom.zoomBy(factor); });

    m_syncTimer.setSingleShot(true);
    connect(&m_syncTimer, &QTimer::timeout, this, &EditorCanvasArea::sync);
    const auto scheduleSync = qOverload<>(&QTimer::start);
    connect(&store, &AnnotationStore::imageChanged, &m_syncTimer, scheduleSync);
    connect(&store, &AnnotationStore::frameChanged, &m_syncTimer, scheduleSync);
    connect(&store, &AnnotationStore::watermarkChanged, &m_syncTimer, scheduleSync);
    connect(&store, &AnnotationStore::isCroppingChanged, &m_syncTimer, scheduleSync);
    connect(&store, &AnnotationStore::toolChanged, &m_syncTimer, scheduleSync);
    // The scale is used as published, so a zoom step lays out at once.
    connect(&zoom, &EditorZoom::scaleChanged, this, [this](const double& s) { applyScale(s); });

    m_scale = zoom.scale();
    m_cropping = store.isCropping();
    m_canvasSize = store.frameLayout().canvasSize;
    sync();
}

EditorCanvasArea::~EditorCanvasArea() = default;

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
        m_crop = new CropView(m_store, m_zoom, m_host);
        m_crop->show();
    } else if (!cropping && m_crop) {
        m_crop->deleteLater();
        m_crop->hide();
        m_crop = nullptr;
    }
    m_framed->setVisible(!cropping);
    m_cursor->setCursor(EditorView::canvasCursor(m_store.tool(), cropping));
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

bool EditorCanvasArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && event->type() == QEvent::Resize) {
        m_zoom.setViewportSize(QSizeF(viewport()->size()));
        layoutHost();
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace snapkin
