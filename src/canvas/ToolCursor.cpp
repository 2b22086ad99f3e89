#include "canvas/ToolCursor.h"

#include "model/Color.h"
#include "platform/Symbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

#include <array>
#include <map>
#include <mutex>

namespace snapkin {

using platform::Symbols;

namespace {

void drawCross(QPainter& painter)
{
    QPainterPath cross;
    cross.moveTo(4, 10.5);
    cross.lineTo(17, 10.5);
    cross.moveTo(10.5, 4);
    cross.lineTo(10.5, 17);
    painter.strokePath(cross, QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    painter.strokePath(cross, QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap));
}

// The glyph placed in the badge box: scaled to touch the box, centred on its centre.
std::optional<QPainterPath> badgePath(const QString& symbol)
{
    const auto glyph = Symbols::path(symbol);
    if (!glyph) return std::nullopt;
    const QRectF bounds = glyph->boundingRect();
    QTransform transform;
    const QPointF centre = ToolCursor::badgeBox.center();
    if (bounds.width() > 0 && bounds.height() > 0) {
        const double scale = std::min(ToolCursor::badgeBox.width() / bounds.width(),
                                      ToolCursor::badgeBox.height() / bounds.height());
        transform.translate(centre.x(), centre.y());
        transform.scale(scale, scale);
        transform.translate(-bounds.center().x(), -bounds.center().y());
    } else {
        transform.translate(ToolCursor::badgeBox.x(), ToolCursor::badgeBox.y());
    }
    return transform.map(*glyph);
}

void drawBadge(QPainter& painter, const QString& symbol, const QColor& tint)
{
    const auto badge = badgePath(symbol);
    if (!badge) return; // unknown symbol: the crosshair alone
    // The white halo: the silhouette drawn at each one-point offset around it.
    static constexpr std::array<QPointF, 8> offsets{QPointF(-1, 0), QPointF(1, 0),   QPointF(0, -1),
                                                    QPointF(0, 1),  QPointF(-1, -1), QPointF(1, -1),
                                                    QPointF(-1, 1), QPointF(1, 1)};
    for (QPointF offset : offsets)
        painter.fillPath(badge->translated(offset), Qt::white);
    painter.fillPath(*badge, tint);
}

QCursor makeCursor(const QString& symbol, const QColor& tint, qreal dpr)
{
    const QImage picture = ToolCursor::image(symbol, tint, dpr);
    return QCursor(QPixmap::fromImage(picture), ToolCursor::hotSpot.x(), ToolCursor::hotSpot.y());
}

// 1 or 2: the pixel ratio the cursors are drawn at for a screen of `devicePixelRatio`.
int cursorScale(qreal devicePixelRatio)
{
    return devicePixelRatio > 1.0 ? 2 : 1;
}

qreal primaryRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

} // namespace

QRectF ToolCursor::badgeRect(const QString& symbol)
{
    const auto badge = badgePath(symbol);
    return badge ? badge->boundingRect() : QRectF();
}

QImage ToolCursor::image(const QString& symbol, const QColor& tint, qreal devicePixelRatio)
{
    const int scale = cursorScale(devicePixelRatio);
    QImage picture(imageSize * scale, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    picture.setDevicePixelRatio(scale);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    drawCross(painter);
    drawBadge(painter, symbol, tint);
    return picture;
}

const QCursor& ToolCursor::cursor(Tool tool)
{
    return cursor(tool, primaryRatio());
}

const QCursor& ToolCursor::cursor(Tool tool, qreal devicePixelRatio)
{
    // Cursors are made on the GUI thread, but the tables are process-wide: behind a lock.
    // Entries of a std::map stay where they are, so the reference outlives the lock.
    static std::mutex mutex;
    static std::map<std::pair<Tool, int>, QCursor> cache;
    const std::lock_guard lock(mutex);
    const auto key = std::make_pair(tool, cursorScale(devicePixelRatio));
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.emplace(key, makeCursor(sfSymbol(tool), Qt::black, key.second)).first;
    }
    return it->second;
}

const QCursor& ToolCursor::capture(qreal devicePixelRatio)
{
    static std::mutex mutex;
    static std::map<int, QCursor> cache;
    const std::lock_guard lock(mutex);
    const int scale = cursorScale(devicePixelRatio);
    auto it = cache.find(scale);
    if (it == cache.end()) {
        it = cache.emplace(scale, makeCursor("camera.fill", Color::brand(), scale)).first;
    }
    return it->second;
}

} // namespace snapkin
