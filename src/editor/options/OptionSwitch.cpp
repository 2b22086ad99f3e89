#include "editor/options/OptionSwitch.h"

#include "model/Color.h"

#include <QPainter>

namespace snapkin {

OptionSwitch::OptionSwitch(const QString& label, bool labelShown, QWidget* parent)
    : QAbstractButton(parent), m_labelShown(labelShown)
{
    setCheckable(true);
    setText(label);
    setAccessibleName(label);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize OptionSwitch::sizeHint() const
{
    QSize size = trackSize + QSize(4, 4); // room for the focus ring
    if (m_labelShown && !text().isEmpty()) {
        const QFontMetrics metrics(font());
        size.rwidth() += labelSpacing + metrics.horizontalAdvance(text());
        size.setHeight(std::max(size.height(), metrics.height()));
    }
    return size;
}

void OptionSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(2, (height() - trackSize.height()) / 2.0, trackSize.width(),
                       trackSize.height());
    const double radius = track.height() / 2;
    const bool on = isChecked();
    QColor fill = on ? Color::brand() : palette().color(QPalette::Mid);
    if (!isEnabled()) fill.setAlphaF(0.4f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const double inset = 1.5;
    const double knob = track.height() - 2 * inset;
    const double x = on ? track.right() - inset - knob : track.left() + inset;
    painter.setBrush(isEnabled() ? QColor(Qt::white) : QColor(245, 245, 245));
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + inset, knob, knob));

    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1.5, radius + 1.5);
    }

    if (m_labelShown && !text().isEmpty()) {
        QColor color = palette().color(QPalette::WindowText);
        if (!isEnabled()) color.setAlphaF(0.4f);
        painter.setPen(color);
        const QRectF label(track.right() + labelSpacing, 0, width() - track.right() - labelSpacing,
                           height());
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
}

} // namespace snapkin
