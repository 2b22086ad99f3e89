#include "platform/Symbols.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPalette>
#include <QPixmap>
#include <QStandardPaths>
#include <QTransform>

#include <cmath>
#include <functional>

namespace snapkin::platform {

namespace {

QPainterPath stroked(const QPainterPath& path, double width, Qt::PenCapStyle cap = Qt::RoundCap,
                     const QList<qreal>& dashes = {})
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    if (!dashes.isEmpty()) stroker.setDashPattern(dashes);
    return stroker.createStroke(path);
}

QPainterPath polyline(std::initializer_list<QPointF> points, double width)
{
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(points)));
    return stroked(p, width);
}

QPainterPath line(QPointF a, QPointF b, double width)
{
    return polyline({a, b}, width);
}

QPainterPath polygon(const QPolygonF& points)
{
    QPainterPath p;
    p.addPolygon(points);
    p.closeSubpath();
    return p;
}

// A closed outline of `corners` points evenly spaced clockwise around `centre`, the first at
// `firstAngle` (radians from the x axis), `radius(i)` from the centre.
template <typename Radius>
QPainterPath radial(QPointF centre, int corners, double firstAngle, Radius radius)
{
    QPolygonF points;
    for (int i = 0; i < corners; ++i) {
        const double angle = firstAngle + 2 * M_PI * i / corners;
        points << centre + radius(i) * QPointF(std::cos(angle), std::sin(angle));
    }
    return polygon(points);
}

// A star of `points` tips on the circle of radius `outer`, notched to `inner`.
QPainterPath star(QPointF centre, int points, double outer, double inner)
{
    return radial(centre, 2 * points, -M_PI / 2, [&](int i) { return i % 2 == 0 ? outer : inner; });
}

QPainterPath circle(QPointF centre, double radius)
{
    QPainterPath p;
    p.addEllipse(centre, radius, radius);
    return p;
}

QPainterPath ring(QPointF centre, double radius, double width)
{
    return stroked(circle(centre, radius), width);
}

QPainterPath roundedFrame(QRectF rect, double radius, double width, const QList<qreal>& dashes = {})
{
    QPainterPath p;
    p.addRoundedRect(rect, radius, radius);
    return stroked(p, width, Qt::FlatCap, dashes);
}

QPainterPath unite(std::initializer_list<QPainterPath> parts)
{
    QPainterPath result;
    result.setFillRule(Qt::WindingFill);
    for (const QPainterPath& part : parts)
        result = result.united(part);
    return result.simplified();
}

QPainterPath seal()
{
    return star({12, 12}, 16, 10.5, 8.6)
        .subtracted(polyline({{7.8, 12.4}, {10.9, 15.4}, {16.4, 9.0}}, 2.2));
}

QPainterPath scribble()
{
    QPainterPath p(QPointF(3, 16));
    p.cubicTo(6, 3, 9, 3, 10, 12);
    p.cubicTo(11, 20, 15, 20, 16, 10);
    p.cubicTo(17, 4, 21, 6, 21, 12);
    return stroked(p, 2.2);
}

QPainterPath smile()
{
    QPainterPath mouth(QPointF(8, 14));
    mouth.quadTo(12, 18.5, 16, 14);
    return unite({ring({12, 12}, 9.5, 1.8), circle({9, 9.8}, 1.4), circle({15, 9.8}, 1.4),
                  stroked(mouth, 1.8)});
}

QPainterPath photo()
{
    return unite({roundedFrame({2.5, 4.5, 19, 15}, 2.5, 1.8),
                  polygon({{4.5, 17.8}, {10, 11}, {13.5, 15}, {15.5, 13}, {19.5, 17.8}}),
                  circle({16, 8.8}, 1.9)});
}

QPainterPath camera()
{
    QPainterPath body;
    body.addRoundedRect(QRectF(2, 7, 20, 14), 3, 3);
    body = body.united(polygon({{7.5, 7.5}, {9.2, 4}, {14.8, 4}, {16.5, 7.5}}));
    body = body.subtracted(circle({12, 14}, 4.4));
    return body.united(circle({12, 14}, 2.6));
}

// A dashed selection with round pins on two opposite corners.
QPainterPath selectionPins()
{
    return unite({roundedFrame({4, 4, 16, 16}, 1, 1.6, {2.2, 1.8}), circle({4, 4}, 2.6),
                  circle({20, 20}, 2.6)});
}

// A window outline with a filled title bar.
QPainterPath windowGlyph()
{
    QPainterPath bar;
    bar.addRoundedRect(QRectF(2.5, 4, 19, 5), 2, 2);
    return unite({roundedFrame({2.5, 4, 19, 16}, 2.5, 1.8), bar});
}

// A screen outline with its inside filled.
QPainterPath screenFilled()
{
    QPainterPath inside;
    inside.addRoundedRect(QRectF(5.5, 7.5, 13, 9), 1, 1);
    return unite({roundedFrame({2.5, 4.5, 19, 15}, 2.5, 1.8), inside});
}

QPainterPath magnifier(std::initializer_list<QPainterPath> inside)
{
    QPainterPath glass = unite({ring({10, 10}, 7, 1.9), line({15.2, 15.2}, {21, 21}, 2.6)});
    for (const QPainterPath& part : inside)
        glass = glass.united(part);
    return glass.simplified();
}

QPainterPath uturn(bool forward)
{
    QPainterPath p(QPointF(6, 9));
    p.lineTo(14.5, 9);
    p.cubicTo(18.5, 9, 20.5, 11.5, 20.5, 14.5);
    p.cubicTo(20.5, 17.5, 18.5, 20, 14.5, 20);
    p.lineTo(10, 20);
    QPainterPath arrow = unite({stroked(p, 2.2), polyline({{9.5, 4.5}, {5, 9}, {9.5, 13.5}}, 2.2)});
    if (forward) arrow = QTransform(-1, 0, 0, 1, 24, 0).map(arrow);
    return arrow;
}

QPainterPath boxWithArrow(bool up)
{
    const QPainterPath box =
        polyline({{8, 9}, {4.5, 9}, {4.5, 21.5}, {19.5, 21.5}, {19.5, 9}, {16, 9}}, 1.9);
    const double tip = up ? 2.5 : 15;
    const double barbs = up ? 6.2 : 11.3;
    return unite({box, line({12, 2.5}, {12, 15}, 2.0),
                  polyline({{8.3, barbs}, {12, tip}, {15.7, barbs}}, 2.0)});
}

QPainterPath document(QRectF r)
{
    const double fold = 4;
    return unite({polyline({{r.left(), r.top()},
                            {r.right() - fold, r.top()},
                            {r.right(), r.top() + fold},
                            {r.right(), r.bottom()},
                            {r.left(), r.bottom()},
                            {r.left(), r.top()}},
                           1.8)});
}

QPainterPath diagonalArrows(QRectF r, double width)
{
    const double head = r.width() * 0.38;
    const QPointF a = r.topLeft(), b = r.bottomRight();
    return unite({line(a, b, width),
                  polyline({{a.x() + head, a.y()}, a, {a.x(), a.y() + head}}, width),
                  polyline({{b.x() - head, b.y()}, b, {b.x(), b.y() - head}}, width)});
}

// Corner brackets around the grid, as a camera's viewfinder shows them.
QPainterPath viewfinderCorners()
{
    return unite({polyline({{2.5, 8}, {2.5, 2.5}, {8, 2.5}}, 1.9),
                  polyline({{16, 2.5}, {21.5, 2.5}, {21.5, 8}}, 1.9),
                  polyline({{2.5, 16}, {2.5, 21.5}, {8, 21.5}}, 1.9),
                  polyline({{16, 21.5}, {21.5, 21.5}, {21.5, 16}}, 1.9)});
}

// A cog wheel with a round hole, `radius` to the tips of its teeth.
QPainterPath gear(QPointF centre, double radius)
{
    // Each tooth: two corners on the tip circle, then two on the root circle.
    const QPainterPath wheel =
        radial(centre, 32, -M_PI / 32, [&](int i) { return i % 4 < 2 ? radius : radius * 0.72; });
    return wheel.subtracted(circle(centre, radius * 0.32));
}

// An arc of the circle around `centre`, from -`halfAngle` to +`halfAngle` degrees (opening
// to the right), stroked.
QPainterPath arc(QPointF centre, double radius, double halfAngle, double width)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath p;
    p.arcMoveTo(box, -halfAngle);
    p.arcTo(box, -halfAngle, 2 * halfAngle);
    return stroked(p, width);
}

using Builder = std::function<QPainterPath()>;

const QHash<QString, Builder>& builders()
{
    static const QHash<QString, Builder> table{
        {"cursorarrow",
         [] {
             return polygon({{6, 2.5},
                             {6, 20},
                             {10.2, 16},
                             {13.2, 22.5},
                             {15.8, 21.3},
                             {12.8, 15},
                             {18.5, 15}});
         }},
        {"arrow.up.right",
         [] {
             return unite(
                 {line({5, 19}, {17.5, 6.5}, 2.6), polyline({{9, 5}, {19, 5}, {19, 15}}, 2.6)});
         }},
        {"textformat",
         [] {
             return unite({polyline({{2.5, 20}, {8.5, 4}, {14.5, 20}}, 2.4),
                           line({5.2, 14.5}, {11.8, 14.5}, 2.2), ring({18.6, 16.5}, 3.2, 2.0),
                           line({21.8, 12.5}, {21.8, 20}, 2.0)});
         }},
        {"rectangle",
         [] {
             return roundedFrame({3, 5, 18, 14}, 1.5, 2.0);
         }},
        {"circle",
         [] {
             return ring({12, 12}, 9, 2.0);
         }},
        {"line.diagonal",
         [] {
             return line({4, 20}, {20, 4}, 2.6);
         }},
        {"highlighter",
         [] {
             return unite({polygon({{7, 13}, {15, 5}, {19.5, 9.5}, {11.5, 17.5}}),
                           polygon({{7.8, 14.2}, {10.3, 16.7}, {8, 19}, {5.5, 16.5}}),
                           line({3.5, 21}, {13, 21}, 1.8)});
         }},
        {"square.grid.3x3.square",
         [] {
             QPainterPath grid = roundedFrame({3, 3, 18, 18}, 3, 1.8);
             for (double y : {6.2, 10.5, 14.8}) {
                 for (double x : {6.2, 10.5, 14.8}) {
                     QPainterPath cell;
                     cell.addRect(x, y, 3.0, 3.0);
                     grid = grid.united(cell);
                 }
             }
             return grid;
         }},
        {"checkmark.seal", seal},
        {"scribble", scribble},
        {"circle.lefthalf.filled",
         [] {
             // The theme's appearance icon is drawn through an SVG mask Qt cannot render.
             QPainterPath half(QPointF(12, 3));
             half.arcTo(QRectF(3, 3, 18, 18), 90, 180);
             half.closeSubpath();
             return unite({ring({12, 12}, 9, 1.8), half});
         }},
        {"camera.metering.spot",
         [] {
             return unite({ring({12, 12}, 8.5, 1.8), circle({12, 12}, 3)});
         }},
        {"face.smiling", smile},
        {"photo", photo},
        {"crop",
         [] {
             return unite({polyline({{6, 2}, {6, 18}, {22, 18}}, 2.2),
                           polyline({{2, 6}, {18, 6}, {18, 22}}, 2.2)});
         }},
        {"magnifyingglass.circle",
         [] {
             return unite({ring({12, 12}, 10, 1.6), ring({10.8, 10.8}, 3.8, 1.8),
                           line({13.6, 13.6}, {17, 17}, 2.2)});
         }},
        {"square.on.square.dashed",
         [] {
             return unite({roundedFrame({2.5, 2.5, 12.5, 12.5}, 1.5, 1.6, {2.0, 1.6}),
                           roundedFrame({9, 9, 12.5, 12.5}, 1.5, 1.8)});
         }},
        {"camera.fill", camera},
        {"selection.pin.in.out", selectionPins},
        {"macwindow", windowGlyph},
        {"rectangle.inset.filled", screenFilled},
        // The editor's bars and menus.
        {"camera",
         [] {
             return unite({roundedFrame({2.5, 7.5, 19, 13}, 2.5, 1.8),
                           polyline({{7.8, 7.5}, {9.4, 4.5}, {14.6, 4.5}, {16.2, 7.5}}, 1.8),
                           ring({12, 14}, 3.4, 1.8)});
         }},
        {"face.smiling.inverse",
         [] {
             QPainterPath mouth(QPointF(8, 14));
             mouth.quadTo(12, 18.5, 16, 14);
             return circle({12, 12}, 10.4)
                 .subtracted(
                     unite({circle({9, 9.8}, 1.5), circle({15, 9.8}, 1.5), stroked(mouth, 1.9)}));
         }},
        {"minus.magnifyingglass",
         [] {
             return magnifier({line({7, 10}, {13, 10}, 1.9)});
         }},
        {"plus.magnifyingglass",
         [] {
             return magnifier({line({7, 10}, {13, 10}, 1.9), line({10, 7}, {10, 13}, 1.9)});
         }},
        {"arrow.up.left.and.down.right.magnifyingglass",
         [] {
             return magnifier({diagonalArrows({7.2, 7.2, 5.6, 5.6}, 1.5)});
         }},
        {"chevron.down",
         [] {
             return polyline({{5, 9}, {12, 16}, {19, 9}}, 2.6);
         }},
        {"arrow.up.left.and.arrow.down.right",
         [] {
             return diagonalArrows({4, 4, 16, 16}, 2.2);
         }},
        {"aspectratio",
         [] {
             return unite({roundedFrame({2.5, 5, 19, 14}, 2.5, 1.8),
                           polyline({{6, 11}, {6, 8.5}, {9, 8.5}}, 1.6),
                           polyline({{18, 13}, {18, 15.5}, {15, 15.5}}, 1.6)});
         }},
        {"signature",
         [] {
             return unite({polyline({{3, 16},
                                     {6, 8},
                                     {8.5, 15},
                                     {11, 9},
                                     {13, 15.5},
                                     {15, 12},
                                     {17, 14},
                                     {21, 10}},
                                    1.7),
                           line({3, 20}, {21, 20}, 1.5)});
         }},
        {"chevron.right.2",
         [] {
             return unite({polyline({{6, 6}, {12, 12}, {6, 18}}, 2.2),
                           polyline({{13, 6}, {19, 12}, {13, 18}}, 2.2)});
         }},
        {"square.grid.3x3",
         [] {
             QPainterPath grid;
             for (int row = 0; row < 3; ++row) {
                 for (int column = 0; column < 3; ++column)
                     grid.addRoundedRect(QRectF(3 + column * 6.5, 3 + row * 6.5, 5, 5), 1, 1);
             }
             return grid;
         }},
        {"rectangle.roundedtop",
         [] {
             QPainterPath outline;
             outline.moveTo(3.5, 19);
             outline.lineTo(3.5, 10);
             outline.quadTo(3.5, 5, 8.5, 5);
             outline.lineTo(15.5, 5);
             outline.quadTo(20.5, 5, 20.5, 10);
             outline.lineTo(20.5, 19);
             outline.closeSubpath();
             return stroked(outline, 1.8);
         }},
        {"shadow",
         [] {
             QPainterPath shade;
             shade.addRoundedRect(QRectF(7, 7, 14, 14), 2.5, 2.5);
             return unite({roundedFrame({3, 3, 14, 14}, 2.5, 1.8), shade.subtracted([] {
                               QPainterPath front;
                               front.addRoundedRect(QRectF(2, 2, 16, 16), 3, 3);
                               return front;
                           }())});
         }},
        {"arrow.uturn.backward", [] { return uturn(false); }},
        {"arrow.uturn.forward", [] { return uturn(true); }},
        {"trash",
         [] {
             return unite({line({3.5, 6}, {20.5, 6}, 1.9),
                           polyline({{9, 6}, {9.5, 3}, {14.5, 3}, {15, 6}}, 1.7),
                           polyline({{5.5, 6}, {6.8, 21}, {17.2, 21}, {18.5, 6}}, 1.9),
                           line({10, 10}, {10, 17}, 1.6), line({14, 10}, {14, 17}, 1.6)});
         }},
        {"text.viewfinder",
         [] {
             return unite({viewfinderCorners(), line({7, 8.5}, {17, 8.5}, 1.9),
                           line({12, 8.5}, {12, 16.5}, 1.9)});
         }},
        {"qrcode.viewfinder",
         [] {
             return unite({viewfinderCorners(), roundedFrame({7, 7, 4, 4}, 0.6, 1.5),
                           roundedFrame({13, 7, 4, 4}, 0.6, 1.5),
                           roundedFrame({7, 13, 4, 4}, 0.6, 1.5),
                           polygon({{13.5, 13.5}, {17, 13.5}, {17, 17}, {13.5, 17}})});
         }},
        {"xmark",
         [] {
             return unite({line({6, 6}, {18, 18}, 2.2), line({18, 6}, {6, 18}, 2.2)});
         }},
        {"exclamationmark.triangle",
         [] {
             return unite({stroked(polygon({{12, 3}, {22, 20.5}, {2, 20.5}}), 1.9, Qt::RoundCap),
                           line({12, 9.5}, {12, 14}, 2.1), circle({12, 17.3}, 1.2)});
         }},
        {"doc.on.clipboard",
         [] {
             return unite({roundedFrame({4, 4, 16, 18.5}, 2, 1.8),
                           roundedFrame({8.5, 2, 7, 4}, 1.2, 1.6), line({8, 11}, {16, 11}, 1.6),
                           line({8, 15}, {16, 15}, 1.6)});
         }},
        {"doc.on.doc",
         [] {
             return unite({document({8, 2.5, 13, 16}),
                           polyline({{5, 6.5}, {3, 6.5}, {3, 21.5}, {14, 21.5}, {14, 19.5}}, 1.8)});
         }},
        {"doc",
         [] {
             return document({5, 2.5, 14, 19});
         }},
        {"checkmark",
         [] {
             return polyline({{4, 12.5}, {9.5, 18}, {20, 6}}, 2.6);
         }},
        {"square.and.arrow.down", [] { return boxWithArrow(false); }},
        {"square.and.arrow.up", [] { return boxWithArrow(true); }},
        {"folder",
         [] {
             return polyline({{2.5, 6},
                              {2.5, 19.5},
                              {21.5, 19.5},
                              {21.5, 8},
                              {11.5, 8},
                              {9.5, 5},
                              {2.5, 5},
                              {2.5, 6}},
                             1.8);
         }},
        {"square.grid.2x2",
         [] {
             return unite({roundedFrame({3, 3, 7.5, 7.5}, 1.5, 1.7),
                           roundedFrame({13.5, 3, 7.5, 7.5}, 1.5, 1.7),
                           roundedFrame({3, 13.5, 7.5, 7.5}, 1.5, 1.7),
                           roundedFrame({13.5, 13.5, 7.5, 7.5}, 1.5, 1.7)});
         }},
        // Settings rows.
        {"doc.badge.gearshape",
         [] {
             // The document stops short of the gear, so the two never touch.
             const QPainterPath page = document({3.5, 2.5, 13, 18});
             return unite({page.subtracted(circle({17, 17}, 6.6)), gear({17, 17}, 5.4)});
         }},
        {"slider.horizontal.3",
         [] {
             return unite({line({3, 6}, {21, 6}, 1.7), line({3, 12}, {21, 12}, 1.7),
                           line({3, 18}, {21, 18}, 1.7), circle({8, 6}, 2.8), circle({16, 12}, 2.8),
                           circle({10.5, 18}, 2.8)});
         }},
        {"speaker.wave.2",
         [] {
             return unite(
                 {polygon({{2.5, 9}, {6.5, 9}, {11.5, 4.5}, {11.5, 19.5}, {6.5, 15}, {2.5, 15}}),
                  arc({11, 12}, 4.5, 45, 1.9), arc({11, 12}, 8.5, 50, 1.9)});
         }},
        {"lineweight",
         [] {
             return unite({line({3, 5}, {21, 5}, 1.2), line({3, 11}, {21, 11}, 2.4),
                           line({3, 18.5}, {21, 18.5}, 4.2)});
         }},
        {"textformat.size",
         [] {
             return unite({polyline({{2, 20}, {7.5, 4.5}, {13, 20}}, 2.2),
                           line({4.4, 14.5}, {10.6, 14.5}, 2.0),
                           polyline({{14.5, 20}, {18.25, 10.5}, {22, 20}}, 1.8),
                           line({16.2, 16.5}, {20.3, 16.5}, 1.6)});
         }},
        {"viewfinder", viewfinderCorners},
        // Stamp kinds.
        {"exclamationmark",
         [] {
             return unite({line({12, 3.5}, {12, 14.5}, 3.0), circle({12, 19.8}, 1.8)});
         }},
        {"questionmark",
         [] {
             QPainterPath hook(QPointF(7.3, 8.2));
             hook.cubicTo(7.3, 4.6, 9.6, 3, 12, 3);
             hook.cubicTo(14.8, 3, 16.9, 4.9, 16.9, 7.5);
             hook.cubicTo(16.9, 10.6, 12, 11.4, 12, 15);
             return unite({stroked(hook, 2.6), circle({12, 19.8}, 1.8)});
         }},
        {"star.fill",
         [] {
             return star({12, 12.6}, 5, 10.5, 4.4);
         }},
        {"circle.fill",
         [] {
             return circle({12, 12}, 9);
         }},
        {"1.circle.fill",
         [] {
             const QPainterPath one =
                 unite({line({12.6, 7}, {12.6, 17.4}, 2.3), line({12.6, 7}, {9.4, 9.4}, 2.1),
                        line({9.4, 17.4}, {15.6, 17.4}, 2.1)});
             return circle({12, 12}, 10.4).subtracted(one);
         }},
    };
    return table;
}

const QHash<QString, QString>& themeNames()
{
    // Only where the freedesktop icon shows the same idea; the rest keep our glyph. The
    // monochrome ("symbolic") icons match the glyphs' look; current themes ship only those.
    static const QHash<QString, QString> table{
        {"textformat", "insert-text-symbolic"},
        {"photo", "insert-image-symbolic"},
        {"face.smiling", "face-smile-symbolic"},
        {"camera.fill", "camera-photo-symbolic"},
        {"magnifyingglass.circle", "zoom-in-symbolic"},
        // Settings tabs and rows.
        {"gearshape", "emblem-system-symbolic"},
        {"camera.viewfinder", "camera-photo-symbolic"},
        {"keyboard", "input-keyboard-symbolic"},
        {"paintbrush", "applications-graphics-symbolic"},
        {"clock.arrow.circlepath", "document-open-recent-symbolic"},
        {"globe", "preferences-desktop-locale-symbolic"},
        {"power", "system-shutdown-symbolic"},
        {"arrow.clockwise", "view-refresh-symbolic"},
        {"calendar", "x-office-calendar-symbolic"},
        {"internaldrive", "drive-harddisk-symbolic"},
        {"paintpalette", "preferences-color-symbolic"},
        {"snowflake", "weather-snow-symbolic"},
        {"timer", "alarm-symbolic"},
        {"dock.rectangle", "video-display-symbolic"},
        {"menubar.rectangle", "preferences-system-notifications-symbolic"},
        {"folder.badge.gearshape", "folder-saved-search-symbolic"},
        {"camera.on.rectangle", "folder-pictures-symbolic"},
        {"eye.slash", "view-reveal-symbolic"},
        {"hand.wave", "face-wink-symbolic"},
        {"xmark.circle.fill", "edit-clear-symbolic"},
        {"macwindow.badge.plus", "window-new-symbolic"},
    };
    return table;
}

// The ink of an icon painted in `mode`: the palette's text colour, as our glyphs use.
QColor inkFor(QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    QColor color =
        palette.color(mode == QIcon::Selected ? QPalette::HighlightedText : QPalette::WindowText);
    if (mode == QIcon::Disabled) color.setAlphaF(0.4f);
    return color;
}

// A themed monochrome ("symbolic") icon, repainted in the palette's text colour when drawn:
// the theme draws them in a fixed dark grey that vanishes on a dark palette.
class TintedIconEngine : public QIconEngine {
public:
    explicit TintedIconEngine(QIcon icon) : m_icon(std::move(icon)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, dpr));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        const QSize pixels = size * scale;
        QImage image = m_icon.pixmap(pixels, QIcon::Normal, state)
                           .toImage()
                           .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return {};
        {
            QPainter painter(&image);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), inkFor(mode));
        }
        QPixmap result = QPixmap::fromImage(std::move(image));
        result.setDevicePixelRatio(scale);
        return result;
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.actualSize(size, mode, state);
    }
    QIconEngine* clone() const override { return new TintedIconEngine(m_icon); }
    QString key() const override { return QStringLiteral("snapkin-tinted"); }

private:
    QIcon m_icon;
};

// Draws our glyph at whatever size and pixel ratio the icon is asked for, in the palette's
// text colour, so it stays crisp on HiDPI screens and follows the theme's light or dark look.
class GlyphIconEngine : public QIconEngine {
public:
    explicit GlyphIconEngine(QString name) : m_name(std::move(name)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const auto glyph = Symbols::path(m_name);
        if (!glyph) return;
        const QColor color = inkFor(mode);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / Symbols::gridSize, rect.height() / Symbols::gridSize);
        painter->fillPath(*glyph, color);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new GlyphIconEngine(m_name); }
    QString key() const override { return QStringLiteral("snapkin-glyph"); }

private:
    QString m_name;
};

// Without a desktop's platform theme (a bare X session, offscreen) Qt knows no icon theme and
// looks only in its resources; point it at the installed themes, with Adwaita as the default.
void ensureIconTheme()
{
    static const bool done = [] {
        QStringList paths = QIcon::themeSearchPaths();
        const QStringList installed = QStandardPaths::locateAll(
            QStandardPaths::GenericDataLocation, "icons", QStandardPaths::LocateDirectory);
        for (const QString& dir : installed) {
            if (!paths.contains(dir)) paths.append(dir);
        }
        if (!paths.contains("/usr/share/icons")) paths.append("/usr/share/icons");
        QIcon::setThemeSearchPaths(paths);
        // Without a desktop the theme is often bare "hicolor", which has no symbolic icons.
        const QString fallback = QIcon::fallbackThemeName();
        if (fallback.isEmpty() || fallback == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName("Adwaita");
        if (QIcon::themeName().isEmpty()) QIcon::setThemeName("Adwaita");
        return true;
    }();
    (void)done;
}

} // namespace

std::optional<QPainterPath> Symbols::path(const QString& name)
{
    static QMutex mutex;
    static QHash<QString, QPainterPath> cache;
    QMutexLocker lock(&mutex);
    if (auto it = cache.constFind(name); it != cache.constEnd()) return *it;
    auto builder = builders().constFind(name);
    if (builder == builders().constEnd()) return std::nullopt;
    // Flattened to one outline without crossings, holes included, whatever fill rule the
    // parts came with: strokes need the winding rule, while the result of a subtraction marks
    // its cut-outs by parity and a winding fill would fill them in again.
    const QPainterPath glyph = (*builder)().simplified();
    cache.insert(name, glyph);
    return glyph;
}

QImage Symbols::image(const QString& name, double pointSize, const QColor& color, qreal dpr)
{
    const auto glyph = path(name);
    if (!glyph || !(pointSize > 0) || !(dpr > 0)) return {};
    const QRectF bounds = glyph->boundingRect();
    const double longer = std::max(bounds.width(), bounds.height());
    if (!(longer > 0)) return {};
    const double scale = pointSize / longer;
    const QSize pixels(std::max(1, int(std::ceil(bounds.width() * scale * dpr))),
                       std::max(1, int(std::ceil(bounds.height() * scale * dpr))));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(dpr);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.translate(-bounds.topLeft());
    painter.fillPath(*glyph, color);
    return image;
}

QIcon Symbols::icon(const QString& name)
{
    const QString themed = themeIconName(name);
    if (!themed.isEmpty()) {
        ensureIconTheme();
        if (QIcon::hasThemeIcon(themed))
            return QIcon(new TintedIconEngine(QIcon::fromTheme(themed)));
    }
    if (!path(name)) return {};
    return QIcon(new GlyphIconEngine(name));
}

QString Symbols::themeIconName(const QString& name)
{
    return themeNames().value(name);
}

QStringList Symbols::knownNames()
{
    QStringList names = builders().keys();
    names.sort();
    return names;
}

} // namespace snapkin::platform
