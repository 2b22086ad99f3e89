#include "editor/options/OptionGlyphs.h"

#include "canvas/ArrowPaths.h"
#include "platform/Symbols.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPathStroker>

#include <functional>

namespace snapkin {

namespace {

QPainterPath stroked(const QPainterPath& path, double width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath line(QPointF a, QPointF b, double width)
{
    QPainterPath p(a);
    p.lineTo(b);
    return stroked(p, width);
}

QPainterPath united(std::initializer_list<QPainterPath> parts)
{
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    for (const QPainterPath& part : parts)
        all.addPath(part);
    return all;
}

// A character of a bold sans-serif font, centred in the grid at `size` grid units.
QPainterPath character(const QString& text, double size, bool italic = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setItalic(italic);
    font.setPixelSize(100);
    QPainterPath p;
    p.addText(0, 0, font, text);
    const QRectF box = p.boundingRect();
    if (box.isEmpty()) return p;
    const double scale = size / std::max(box.width(), box.height());
    QTransform t;
    t.translate(12, 12);
    t.scale(scale, scale);
    t.translate(-box.center().x(), -box.center().y());
    return t.map(p);
}

// An arrow head style drawn as the renderer draws it, pointing up and right.
QPainterPath arrowHead(ArrowHeadStyle style)
{
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    for (const MarkPath& part : ArrowPaths::straightArrow({4, 20}, {20, 4}, 2.2, style, false)) {
        if (part.paint == MarkPath::Paint::fill)
            all.addPath(part.path);
        else
            all.addPath(stroked(part.path, part.width, part.cap));
    }
    return all;
}

QPainterPath star(QPointF centre, double outer, double inner)
{
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const double r = i % 2 == 0 ? outer : inner;
        points << centre + QPointF(r * std::cos(angle), r * std::sin(angle));
    }
    QPainterPath p;
    p.addPolygon(points);
    p.closeSubpath();
    return p;
}

QPainterPath padlock(bool open)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(5, 11, 14, 10), 2, 2);
    QPainterPath shackle;
    if (open) {
        shackle.moveTo(16, 11);
        shackle.lineTo(16, 7);
        shackle.arcTo(QRectF(16, 2, 8, 9), 180, -180);
        shackle.lineTo(24, 8);
    } else {
        shackle.moveTo(8, 11);
        shackle.lineTo(8, 7.5);
        shackle.arcTo(QRectF(8, 3, 8, 9), 180, -180);
        shackle.lineTo(16, 11);
    }
    return united({body, stroked(shackle, 2.2, Qt::FlatCap)});
}

using Builder = std::function<QPainterPath()>;

const QHash<QString, Builder>& builders()
{
    static const QHash<QString, Builder> table{
        {QStringLiteral("checkerboard.rectangle"),
         [] {
             QPainterPath p;
             p.setFillRule(Qt::WindingFill);
             for (int row = 0; row < 3; ++row)
                 for (int col = 0; col < 4; ++col)
                     if ((row + col) % 2 == 0)
                         p.addRect(QRectF(3 + col * 4.5, 5.5 + row * 4.5, 4.5, 4.5));
             QPainterPath frame;
             frame.addRoundedRect(QRectF(3, 5.5, 18, 13.5), 2, 2);
             return united({p, stroked(frame, 1.5)});
         }},
        {QStringLiteral("drop.fill"),
         [] {
             QPainterPath p(QPointF(12, 2.5));
             p.cubicTo(QPointF(14, 7), QPointF(19, 11), QPointF(19, 15));
             p.arcTo(QRectF(5, 8, 14, 14), 0, -180);
             p.cubicTo(QPointF(5, 11), QPointF(10, 7), QPointF(12, 2.5));
             return p;
         }},
        {QStringLiteral("rectangle.fill"),
         [] {
             QPainterPath p;
             p.addRoundedRect(QRectF(3, 6, 18, 12), 2.5, 2.5);
             return p;
         }},
        {QStringLiteral("square"),
         [] {
             QPainterPath p;
             p.addRoundedRect(QRectF(5, 5, 14, 14), 3, 3);
             return stroked(p, 2);
         }},
        {QStringLiteral("rectangle.dashed"),
         [] {
             QPainterPath p;
             p.addRoundedRect(QRectF(3, 6, 18, 12), 2, 2);
             return stroked(p, 2);
         }},
        {QStringLiteral("dial.low"),
         [] {
             QPainterPath dial;
             dial.addEllipse(QPointF(12, 12), 8, 8);
             return united({stroked(dial, 1.8), line({12, 12}, {7.5, 8}, 2)});
         }},
        {QStringLiteral("circle.lefthalf.filled"),
         [] {
             QPainterPath ring;
             ring.addEllipse(QPointF(12, 12), 8.5, 8.5);
             QPainterPath half(QPointF(12, 3.5));
             half.arcTo(QRectF(3.5, 3.5, 17, 17), 90, 180);
             half.closeSubpath();
             return united({stroked(ring, 1.8), half});
         }},
        {QStringLiteral("lock.fill"), [] { return padlock(false); }},
        {QStringLiteral("lock.open"), [] { return padlock(true); }},
        {QStringLiteral("sparkles"),
         [] {
             return united({star({10, 13}, 8, 2.6), star({18.5, 5.5}, 4, 1.3)});
         }},
        {QStringLiteral("point.topleft.down.to.point.bottomright.curvepath"),
         [] {
             QPainterPath curve(QPointF(5, 5));
             curve.cubicTo(QPointF(22, 5), QPointF(2, 19), QPointF(19, 19));
             QPainterPath a, b;
             a.addEllipse(QPointF(5, 5), 2.6, 2.6);
             b.addEllipse(QPointF(19, 19), 2.6, 2.6);
             return united({stroked(curve, 1.8), a, b});
         }},
        {QStringLiteral("ellipsis.circle"),
         [] {
             QPainterPath ring;
             ring.addEllipse(QPointF(12, 12), 9, 9);
             QPainterPath dots;
             for (double x : {8.0, 12.0, 16.0})
                 dots.addEllipse(QPointF(x, 12), 1.4, 1.4);
             return united({stroked(ring, 1.6), dots});
         }},
        {QStringLiteral("arrow.left.and.right"),
         [] {
             return united({line({4, 12}, {20, 12}, 2), line({4, 12}, {8, 8}, 2),
                            line({4, 12}, {8, 16}, 2), line({20, 12}, {16, 8}, 2),
                            line({20, 12}, {16, 16}, 2)});
         }},
        {QStringLiteral("square.fill.on.square"),
         [] {
             QPainterPath fill;
             fill.addRoundedRect(QRectF(4, 4, 12, 12), 2.5, 2.5);
             QPainterPath back;
             back.addRoundedRect(QRectF(8, 8, 12, 12), 2.5, 2.5);
             return united({fill, stroked(back, 1.8)});
         }},
        {QStringLiteral("bold"), [] { return character(QStringLiteral("B"), 15); }},
        {QStringLiteral("italic"), [] { return character(QStringLiteral("I"), 15, true); }},
        {QStringLiteral("textformat.size"), [] { return character(QStringLiteral("A"), 16); }},
        {QStringLiteral("xmark"),
         [] {
             return united({line({6, 6}, {18, 18}, 2.6), line({18, 6}, {6, 18}, 2.6)});
         }},
        {QStringLiteral("exclamationmark"), [] { return character(QStringLiteral("!"), 17); }},
        {QStringLiteral("questionmark"), [] { return character(QStringLiteral("?"), 17); }},
        {QStringLiteral("star.fill"),
         [] {
             return star({12, 12.8}, 9.5, 4);
         }},
        {QStringLiteral("circle.fill"),
         [] {
             QPainterPath p;
             p.addEllipse(QPointF(12, 12), 6, 6);
             return p;
         }},
        {QStringLiteral("number"), [] { return character(QStringLiteral("1"), 15); }},
        {QStringLiteral("arrowhead.tapered"), [] { return arrowHead(ArrowHeadStyle::tapered); }},
        {QStringLiteral("arrowhead.filled"), [] { return arrowHead(ArrowHeadStyle::filled); }},
        {QStringLiteral("arrowhead.open"), [] { return arrowHead(ArrowHeadStyle::open); }},
        {QStringLiteral("arrowhead.concave"), [] { return arrowHead(ArrowHeadStyle::concave); }},
    };
    return table;
}

// The glyph of one of our names, built on first use.
const QPainterPath& glyph(const QString& name)
{
    static QHash<QString, QPainterPath> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        it = cache.insert(name, builders().value(name)());
        it->setFillRule(Qt::WindingFill);
    }
    return *it;
}

} // namespace

QImage OptionGlyphs::image(const QString& name, double points, const QColor& color, qreal dpr)
{
    if (!builders().contains(name)) return platform::Symbols::image(name, points, color, dpr);
    const int side = std::max(1, int(std::ceil(points * dpr)));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / platform::Symbols::gridSize, side / platform::Symbols::gridSize);
    painter.fillPath(glyph(name), color);
    painter.end();
    return image;
}

} // namespace snapkin
