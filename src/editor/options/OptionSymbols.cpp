#include "editor/options/OptionSymbols.h"

#include "editor/options/OptionGlyphs.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace snapkin {

QIcon tintedSymbol(const QString& name, double points, const QColor& color)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0, 3.0}) {
        QImage image = OptionGlyphs::image(name, points, color, ratio);
        if (image.isNull()) continue;
        image.setDevicePixelRatio(ratio);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

SymbolView::SymbolView(const QString& name, double points, QWidget* parent)
    : QWidget(parent), m_name(name), m_points(points)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(QString());
}

QSize SymbolView::sizeHint() const
{
    const int side = int(std::ceil(m_points));
    return {side, side};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(isEnabled() ? 0.55f : 0.3f);
    const qreal ratio = devicePixelRatioF();
    // The options bar's own glyphs first, then the application's symbols.
    QImage image = OptionGlyphs::image(m_name, m_points, color, ratio);
    if (image.isNull()) return;
    image.setDevicePixelRatio(ratio);
    const QSizeF size = QSizeF(image.size()) / ratio;
    QPainter painter(this);
    painter.drawImage(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), image);
}

} // namespace snapkin
