#include "settings/InfoGlyphs.h"

#include "platform/Symbols.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QVBoxLayout>

#include <functional>

namespace snapkin {

namespace {

QPainterPath stroke(const QPainterPath& path, double width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath polyline(std::initializer_list<QPointF> points, double width = 2.0)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    return stroke(path, width);
}

QPainterPath frame(QRectF rect, double radius, double width = 2.0)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return stroke(path, width);
}

QPainterPath disc(QPointF centre, double radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath ring(QPointF centre, double radius, double width = 2.0)
{
    return stroke(disc(centre, radius), width);
}

QPainterPath arc(QRectF box, double startDegrees, double sweepDegrees, double width = 2.0)
{
    QPainterPath path;
    path.arcMoveTo(box, startDegrees);
    path.arcTo(box, startDegrees, sweepDegrees);
    return stroke(path, width);
}

QPainterPath unite(std::initializer_list<QPainterPath> parts)
{
    QPainterPath all;
    for (const QPainterPath& part : parts)
        all = all.united(part);
    return all;
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

using Builder = std::function<QPainterPath()>;

const QHash<QString, Builder>& builders()
{
    static const QHash<QString, Builder> table{
        {QStringLiteral("envelope"),
         [] {
             return unite({frame({3, 5.5, 18, 13}, 2.5), polyline({{4, 7}, {12, 13}, {20, 7}})});
         }},
        {QStringLiteral("checkmark.circle.fill"),
         [] {
             return disc({12, 12}, 10)
                 .subtracted(polyline({{7.5, 12.5}, {10.5, 15.5}, {16.5, 8.5}}, 2.4));
         }},
        {QStringLiteral("ellipsis.circle"),
         [] {
             return unite({ring({12, 12}, 9.5), disc({8, 12}, 1.4), disc({12, 12}, 1.4),
                           disc({16, 12}, 1.4)});
         }},
        {QStringLiteral("exclamationmark.triangle.fill"),
         [] {
             QPainterPath triangle = polygon({{12, 2.5}, {22.5, 20.5}, {1.5, 20.5}});
             return triangle.subtracted(
                 unite({polyline({{12, 8.5}, {12, 13.5}}, 2.4), disc({12, 17}, 1.4)}));
         }},
        {QStringLiteral("keyboard"),
         [] {
             QPainterPath keys = frame({2, 6, 20, 12}, 2.5);
             for (double x : {6.0, 9.5, 13.0, 16.5})
                 keys = keys.united(disc({x + 0.5, 10}, 1.0));
             return keys.united(polyline({{8, 14.5}, {16, 14.5}}));
         }},
        {QStringLiteral("arrow.clockwise"),
         [] {
             return unite(
                 {arc({4, 4, 16, 16}, 80, -300), polygon({{13, 1.5}, {18, 4.5}, {13, 7.5}})});
         }},
        {QStringLiteral("clock.arrow.circlepath"),
         [] {
             return unite({arc({3, 3, 18, 18}, 200, -320),
                           polyline({{12, 7}, {12, 12}, {15.5, 14}}),
                           polygon({{1.5, 9}, {6.5, 9}, {4, 13.5}})});
         }},
        {QStringLiteral("pin"),
         [] {
             return unite({disc({12, 7}, 5), polygon({{8, 11}, {16, 11}, {13, 15}, {11, 15}}),
                           polyline({{12, 14}, {12, 22}})});
         }},
        {QStringLiteral("lock"),
         [] {
             QPainterPath body;
             body.addRoundedRect(QRectF(5, 11, 14, 10), 2, 2);
             return unite({body, arc({8, 4, 8, 12}, 0, 180), polyline({{8, 10}, {8, 11}}),
                           polyline({{16, 10}, {16, 11}})});
         }},
        {QStringLiteral("arrow.right"),
         [] {
             return unite({polyline({{4, 12}, {19, 12}}), polyline({{13, 6}, {19, 12}, {13, 18}})});
         }},
        {QStringLiteral("bolt"),
         [] {
             return polygon({{13.5, 2}, {5, 13.5}, {11, 13.5}, {9.5, 22}, {19, 9.5}, {13, 9.5}});
         }},
        {QStringLiteral("rectangle.split.2x1"),
         [] {
             return unite({frame({2.5, 5, 19, 14}, 2.5), polyline({{12, 5}, {12, 19}})});
         }},
        {QStringLiteral("pencil"),
         [] {
             return unite({polygon({{16, 3}, {21, 8}, {9, 20}, {4, 20}, {4, 15}}),
                           polyline({{3, 22}, {21, 22}}, 1.5)});
         }},
        {QStringLiteral("menubar.rectangle"),
         [] {
             QPainterPath band;
             band.addRect(QRectF(3, 5, 18, 4));
             return unite({frame({3, 5, 18, 15}, 2.5), band});
         }},
        {QStringLiteral("camera.viewfinder"),
         [] {
             return unite({polyline({{3, 8}, {3, 3}, {8, 3}}),
                           polyline({{16, 3}, {21, 3}, {21, 8}}),
                           polyline({{21, 16}, {21, 21}, {16, 21}}),
                           polyline({{8, 21}, {3, 21}, {3, 16}}), ring({12, 12}, 4)});
         }},
        {QStringLiteral("globe"),
         [] {
             return unite({ring({12, 12}, 9.5), arc({7.5, 2.5, 9, 19}, 0, 360, 1.6),
                           polyline({{2.5, 12}, {21.5, 12}}, 1.6)});
         }},
    };
    return table;
}

} // namespace

std::optional<QPainterPath> infoGlyph(const QString& name)
{
    const auto found = builders().find(name);
    if (found != builders().end()) return (*found)();
    return platform::Symbols::path(name);
}

QIcon glyphIcon(const QString& name, const QColor& color, qreal dpr)
{
    const auto glyph = infoGlyph(name);
    if (!glyph) return {};
    constexpr int side = 32;
    QPixmap pixmap(QSize(side, side) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / platform::Symbols::gridSize, side / platform::Symbols::gridSize);
    painter.fillPath(*glyph, color);
    painter.end();
    return QIcon(pixmap);
}

namespace {

// Draws its button's icon again whenever the button's palette changes.
class GlyphIconFollower final : public QObject {
public:
    GlyphIconFollower(QAbstractButton* button, const QString& name, GlyphColor color)
        : QObject(button), m_button(button), m_name(name), m_color(std::move(color))
    {
        setObjectName(QLatin1String(tag));
        button->installEventFilter(this);
        draw();
    }

    static constexpr const char* tag = "snapkin-glyph-icon";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_button && event->type() == QEvent::PaletteChange) draw();
        return false;
    }

private:
    void draw()
    {
        m_button->setIcon(glyphIcon(m_name, m_color(m_button), m_button->devicePixelRatioF()));
    }

    QAbstractButton* m_button;
    QString m_name;
    GlyphColor m_color;
};

} // namespace

void setGlyphIcon(QAbstractButton* button, const QString& name, GlyphColor color)
{
    delete button->findChild<QObject*>(QLatin1String(GlyphIconFollower::tag),
                                       Qt::FindDirectChildrenOnly);
    new GlyphIconFollower(button, name, std::move(color));
}

GlyphColor paletteColor(QPalette::ColorRole role)
{
    return [role](const QWidget* widget) { return widget->palette().color(role); };
}

QWidget* glyphColumn(const QString& name, double pointSize, GlyphColor color, int width, int top)
{
    auto* column = new QWidget;
    column->setFixedWidth(width);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, top, 0, 0);
    layout->addWidget(new GlyphView(name, pointSize, std::move(color)), 0,
                      Qt::AlignTop | Qt::AlignHCenter);
    return column;
}

GlyphView::GlyphView(const QString& name, double pointSize, const QColor& color, QWidget* parent)
    : GlyphView(name, pointSize, GlyphColor([color](const QWidget*) { return color; }), parent)
{
}

GlyphView::GlyphView(const QString& name, double pointSize, GlyphColor color, QWidget* parent)
    : QWidget(parent), m_name(name), m_pointSize(pointSize), m_color(std::move(color))
{
    // Drawn again whenever the palette changes, which QWidget already asks for.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
    setAccessibleName({});
}

void GlyphView::setGlyph(const QString& name, const QColor& color)
{
    m_name = name;
    m_color = [color](const QWidget*) { return color; };
    update();
}

QSize GlyphView::sizeHint() const
{
    const int side = int(std::ceil(m_pointSize));
    return {side, side};
}

void GlyphView::paintEvent(QPaintEvent*)
{
    const auto glyph = infoGlyph(m_name);
    if (!glyph) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = std::min(width(), height()) / platform::Symbols::gridSize;
    painter.translate((width() - platform::Symbols::gridSize * scale) / 2,
                      (height() - platform::Symbols::gridSize * scale) / 2);
    painter.scale(scale, scale);
    painter.fillPath(*glyph, m_color(this));
}

} // namespace snapkin
