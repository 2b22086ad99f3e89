#include "editor/IconButton.h"

#include "model/Color.h"
#include "platform/Symbols.h"

#include <QEnterEvent>
#include <QPainter>

#include <cmath>

namespace snapkin {

IconButton::IconButton(const QString& symbol, const QString& help, QSize size, double cornerRadius,
                       QWidget* parent)
    : QToolButton(parent), m_symbol(symbol), m_size(size), m_cornerRadius(cornerRadius)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(size);
    setAttribute(Qt::WA_Hover);
    setToolTip(help);
    setAccessibleName(help);
}

void IconButton::setSymbol(const QString& symbol)
{
    if (symbol == m_symbol) return;
    m_symbol = symbol;
    update();
}

void IconButton::setSymbolSize(double points)
{
    m_symbolSize = points;
    update();
}

HoverBackground IconButton::background() const
{
    return HoverBackground{isChecked(), m_hovered, m_cornerRadius};
}

QColor IconButton::symbolColor() const
{
    if (m_tintsWhenChecked && isChecked()) return Color::brand();
    QColor color = palette().color(QPalette::WindowText);
    if (!isEnabled()) color.setAlphaF(0.35f);
    return color;
}

void IconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    painter.save();
    background().paint(painter, bounds);
    const qreal dpr = devicePixelRatioF();
    const QColor color = symbolColor();
    if (m_glyph.isNull() || m_glyphKey != std::tuple(m_symbol, m_symbolSize, color.rgba(), dpr)) {
        // Drawn from the symbol's path once per look, not on every repaint.
        m_glyph = platform::Symbols::image(m_symbol, m_symbolSize, color, dpr);
        m_glyphKey = {m_symbol, m_symbolSize, color.rgba(), dpr};
    }
    if (!m_glyph.isNull()) {
        const QSizeF size = QSizeF(m_glyph.size()) / dpr;
        // Whole device pixels, so a glyph's straight edges stay crisp.
        const QPointF at(std::round((bounds.width() - size.width()) / 2 * dpr) / dpr,
                         std::round((bounds.height() - size.height()) / 2 * dpr) / dpr);
        painter.drawImage(at, m_glyph);
    } else if (!icon().isNull()) {
        const int side = int(std::lround(m_symbolSize));
        icon().paint(&painter,
                     QRect((m_size.width() - side) / 2, (m_size.height() - side) / 2, side, side));
    }
    painter.restore();
    if (hasFocus() && focusPolicy() != Qt::NoFocus) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(palette().color(QPalette::Highlight), 1.5);
        painter.setPen(pen);
        painter.drawPath(background().outline(bounds.adjusted(0.75, 0.75, -0.75, -0.75)));
    }
}

void IconButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QToolButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QToolButton::leaveEvent(event);
}

void IconButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) m_hovered = false;
    QToolButton::changeEvent(event);
}

} // namespace snapkin
