#include "canvas/StrokePictures.h"

#include "canvas/PenStroke.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

QRectF scaled(const QRectF& r, double scale)
{
    return QRectF(r.topLeft() * scale, r.size() * scale);
}

// Draws the bands of a job one after the other, each handed to `deliver` as it is done; stops
// at the next piece once `cancelled`.
template <typename Deliver>
void makeBands(const std::atomic<bool>& cancelled, const QList<QPointF>& points, QRgb color,
               double width, double scale, QRect area, Deliver deliver)
{
    if (cancelled.load(std::memory_order_relaxed)) return;
    const std::shared_ptr<const PenStroke::Pieces> pieces =
        PenStroke::buildForScale(points, scale, &cancelled);
    const QPen pen = PenStroke::pen(QColor::fromRgba(color), width);
    for (int top = area.top(); top <= area.bottom(); top += StrokePictures::bandHeight) {
        if (cancelled.load(std::memory_order_relaxed)) return;
        const QRect band(area.left(), top, area.width(),
                         std::min(StrokePictures::bandHeight, area.bottom() - top + 1));
        QImage image(band.size(), QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return; // out of memory: the band never comes, nothing is drawn
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(-band.topLeft());
            painter.scale(scale, scale);
            PenStroke::drawPieces(painter, *pieces, pen, &cancelled);
        }
        if (cancelled.load(std::memory_order_relaxed)) return;
        deliver(band, std::move(image));
    }
}

} // namespace

StrokePictures::StrokePictures(QObject* parent)
    : QObject(parent), m_queues(std::make_shared<Queues>())
{
    m_queues->owner = this;
}

StrokePictures::~StrokePictures()
{
    clear();
    {
        std::lock_guard lock(m_queues->mutex);
        m_queues->owner = nullptr;
        m_queues->stopping = true;
    }
    m_queues->wake.notify_all();
    // A cancelled job stops at its next piece.
    if (m_worker.joinable()) m_worker.join();
}

void StrokePictures::work(const std::shared_ptr<Queues>& queues)
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(queues->mutex);
            queues->wake.wait(lock, [&] { return queues->stopping || !queues->tasks.empty(); });
            if (queues->stopping) return;
            task = std::move(queues->tasks.front());
            queues->tasks.pop_front();
        }
        makeBands(task.job->cancelled, task.points, task.color, task.width, task.scale, task.area,
                  [&](const QRect& band, QImage image) {
                      std::lock_guard lock(queues->mutex);
                      if (!queues->owner) return;
                      const bool told = !queues->arrivals.empty();
                      queues->arrivals.push_back({task.job, band, std::move(image)});
                      if (!told)
                          QMetaObject::invokeMethod(queues->owner, "drain", Qt::QueuedConnection);
                  });
    }
}

void StrokePictures::drain()
{
    std::vector<Arrival> arrivals;
    {
        std::lock_guard lock(m_queues->mutex);
        arrivals.swap(m_queues->arrivals);
    }
    for (const Arrival& a : arrivals)
        arrived(a.job, a.rect, a.image);
}

bool StrokePictures::busy() const
{
    return std::any_of(m_pictures.begin(), m_pictures.end(),
                       [](const Picture& p) { return p.job != nullptr; });
}

void StrokePictures::clear()
{
    for (Picture& p : m_pictures)
        if (p.job) p.job->cancelled = true;
    m_pictures.clear();
    std::lock_guard lock(m_queues->mutex);
    m_queues->tasks.clear();
    m_queues->arrivals.clear();
}

bool StrokePictures::draw(QPainter& painter, const Annotation& a, const QColor& color, double width)
{
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() <= 0 || t.m11() != t.m22()) return false;
    const double scale = t.m11();
    const QRgb rgba = color.rgba();

    // What the stroke covers, from any picture of it, else from its points.
    QRectF bounds;
    for (const Picture& p : m_pictures)
        if (p.sameStroke(a, rgba, width)) {
            bounds = p.pointBounds;
            break;
        }
    if (bounds.isNull()) {
        const double reach = width / 2 + 1;
        bounds = PenStroke::bounds(a.points).adjusted(-reach, -reach, reach, reach);
    }
    const QRectF reachable = PenStroke::paintable(painter);
    const QRectF wanted = reachable.isEmpty() ? bounds : bounds.intersected(reachable);
    if (wanted.isEmpty()) return true;
    // In scaled coordinates, out to whole pixels and one more, as the picture is cut there.
    const QRect needed = scaled(wanted, scale).toAlignedRect().adjusted(-1, -1, 1, 1);

    // A picture whose job was cancelled before it was done never completes: it only stands in.
    Picture* current = nullptr;
    for (Picture& p : m_pictures)
        if (p.scale == scale && p.sameStroke(a, rgba, width) && p.area.contains(needed) &&
            (p.complete() || p.job) && (!current || p.complete()))
            current = &p;
    if (!current) {
        // Pictured as far as the painter's device reaches, so a repaint of a small part (an
        // edit beside the stroke) and a short scroll find it made.
        const QRectF device = t.inverted().mapRect(
            QRectF(0, 0, painter.device()->width(), painter.device()->height()));
        const QRect area =
            scaled(bounds.intersected(device), scale).toAlignedRect().adjusted(-1, -1, 1, 1) |
            needed;
        if (qint64(area.width()) * area.height() > maxPixels) return false;
        current = &start(a, rgba, width, scale, area, bounds);
    }
    current->used = ++m_clock;

    // Drawn in scaled coordinates: one picture pixel to a device pixel.
    painter.save();
    painter.setTransform(QTransform::fromScale(1 / scale, 1 / scale), true);
    QRegion missing(needed);
    for (const Band& band : current->bands)
        missing -= band.rect;
    drawBands(painter, *current, QRegion(needed));
    if (!missing.isEmpty()) {
        // Until its bands come, the part is drawn from another picture of the stroke, the
        // latest first, stretched, and shifted where the stroke has moved since. A complete
        // picture that stands in counts as used, so a drag's pictures, each cancelled by the
        // next move, do not push it out.
        std::vector<std::pair<Picture*, QPointF>> others;
        for (Picture& p : m_pictures)
            if (&p != current)
                if (const auto offset = p.offsetTo(a, rgba, width))
                    others.emplace_back(&p, *offset);
        std::sort(others.begin(), others.end(),
                  [](const auto& x, const auto& y) { return x.first->used > y.first->used; });
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        for (const auto& [other, offset] : others) {
            if (missing.isEmpty()) break;
            const double f = scale / other->scale;
            const QPointF shift = offset * scale;
            painter.save();
            painter.setClipRegion(missing, Qt::IntersectClip);
            painter.translate(shift);
            painter.scale(f, f);
            drawBands(painter, *other, QRegion(other->area));
            painter.restore();
            if (other->complete()) {
                other->used = ++m_clock;
                missing -= scaled(QRectF(other->area), f).translated(shift).toAlignedRect();
            }
        }
    }
    painter.restore();
    return true;
}

std::optional<QPointF> StrokePictures::Picture::offsetTo(const Annotation& a, QRgb c,
                                                         double w) const
{
    if (id != a.id || color != c || width != w || points.size() != a.points.size() ||
        points.isEmpty())
        return std::nullopt;
    if (points == a.points) return QPointF();
    // A moved stroke has every point shifted alike: the ends and a few points between tell it
    // from an edited one well enough for a picture that only stands in for a moment.
    const QPointF offset = a.points.first() - points.first();
    const qsizetype n = points.size();
    for (int i = 1; i <= 16; ++i) {
        const qsizetype k = (n - 1) * i / 16;
        const QPointF d = a.points[k] - points[k] - offset;
        if (std::abs(d.x()) > 1e-6 || std::abs(d.y()) > 1e-6) return std::nullopt;
    }
    return offset;
}

void StrokePictures::drawBands(QPainter& painter, const Picture& picture, const QRegion& where)
{
    for (const Band& band : picture.bands) {
        const QRegion part = where.intersected(band.rect);
        for (const QRect& r : part)
            painter.drawImage(r, band.image, r.translated(-band.rect.topLeft()));
    }
}

StrokePictures::Picture& StrokePictures::start(const Annotation& a, QRgb color, double width,
                                               double scale, QRect area, QRectF pointBounds)
{
    // A picture of the same stroke still being made elsewhere is no longer wanted.
    for (Picture& p : m_pictures)
        if (p.job && p.id == a.id) {
            p.job->cancelled = true;
            p.job.reset();
        }
    while (int(m_pictures.size()) >= maxPictures) {
        const auto oldest =
            std::min_element(m_pictures.begin(), m_pictures.end(),
                             [](const Picture& x, const Picture& y) { return x.used < y.used; });
        if (oldest->job) oldest->job->cancelled = true;
        m_pictures.erase(oldest);
    }

    Picture& p = m_pictures.emplace_back();
    p.id = a.id;
    p.points = a.points;
    p.color = color;
    p.width = width;
    p.scale = scale;
    p.pointBounds = pointBounds;
    p.area = area;
    p.bandsDue = (area.height() + bandHeight - 1) / bandHeight;
    p.job = std::make_shared<Job>();

    // The job's own copies: the points (shared, never written while shared) and the figures.
    {
        std::lock_guard lock(m_queues->mutex);
        std::erase_if(m_queues->tasks, [](const Task& t) { return t.job->cancelled.load(); });
        m_queues->tasks.push_back({p.job, p.points, color, width, scale, area});
    }
    m_queues->wake.notify_one();
    if (!m_worker.joinable()) m_worker = std::thread(work, m_queues);
    return p;
}

void StrokePictures::arrived(const std::shared_ptr<Job>& job, const QRect& rect,
                             const QImage& image)
{
    if (job->cancelled) return;
    const auto it = std::find_if(m_pictures.begin(), m_pictures.end(),
                                 [&](const Picture& p) { return p.job == job; });
    if (it == m_pictures.end()) return;
    it->bands.push_back({rect, image});
    if (it->complete()) it->job.reset();
    const double scale = it->scale;
    emit ready(QRectF(QPointF(rect.topLeft()) / scale, QSizeF(rect.size()) / scale));
}

} // namespace snapkin
