#include "settings/AppearanceTile.h"

#include "editor/SheetStyle.h"
#include "settings/SettingsForm.h"

#include <QPainter>
#include <QPainterPath>

namespace snapkin {

AppearanceTile::AppearanceTile(QString value, const QString& title, QWidget* parent)
    : QAbstractButton(parent), m_value(std::move(value))
{
    setText(title);
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(title);
    setCursor(Qt::PointingHandCursor);
    setFont(captionFont(font()));
}

QSize AppearanceTile::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {std::max(previewWidth + 4, metrics.horizontalAdvance(text()) + 4),
            previewHeight + 4 + spacing + metrics.height()};
}

QImage AppearanceTile::preview(qreal dpr) const
{
    QImage image(QSize(previewWidth, previewHeight) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintPreview(painter, QRectF(0, 0, previewWidth, previewHeight));
    return image;
}

void AppearanceTile::paintPreview(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, 6, 6);
    painter.setClipPath(shape);

    const QColor light = QColor::fromRgbF(0.97f, 0.97f, 0.97f);
    const QColor dark = QColor::fromRgbF(0.16f, 0.16f, 0.16f);
    if (m_value == QLatin1String("light")) {
        painter.fillRect(rect, light);
    } else if (m_value == QLatin1String("dark")) {
        painter.fillRect(rect, dark);
    } else {
        const QRectF left(rect.topLeft(), QSizeF(rect.width() / 2, rect.height()));
        painter.fillRect(left, light);
        painter.fillRect(left.translated(rect.width() / 2, 0), dark);
    }

    // Three window buttons 5 points in from the top and the leading edge.
    const QColor dots[] = {QColor::fromRgbF(1.0f, 0.37f, 0.34f),
                           QColor::fromRgbF(1.0f, 0.74f, 0.18f),
                           QColor::fromRgbF(0.16f, 0.78f, 0.25f)};
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(dots[i]);
        painter.drawEllipse(QRectF(rect.left() + 5 + i * 6, rect.top() + 5, 4, 4));
    }

    // Two lines of text 6 points in from the leading edge and 7 up from the bottom.
    QColor bar = m_value == QLatin1String("light")  ? QColor::fromRgbF(0, 0, 0, 0.55f)
                 : m_value == QLatin1String("dark") ? QColor::fromRgbF(1, 1, 1, 0.75f)
                                                    : QColor(0x8e, 0x8e, 0x93);
    const double bottom = rect.bottom() - 7;
    painter.setBrush(bar);
    painter.drawRoundedRect(QRectF(rect.left() + 6, bottom - 2 - 2 - 3, 30, 3), 1, 1);
    bar.setAlphaF(bar.alphaF() * 0.6f);
    painter.setBrush(bar);
    painter.drawRoundedRect(QRectF(rect.left() + 6, bottom - 2, 22, 2), 1, 1);

    // The border: the accent colour when chosen, a faint line otherwise.
    painter.setClipping(false);
    const bool selected = isChecked();
    const double width = selected ? 2.5 : 1.0;
    QColor border =
        selected ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
    if (!selected) border.setAlphaF(0.3f);
    painter.setPen(QPen(border, width));
    painter.setBrush(Qt::NoBrush);
    const double inset = width / 2;
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), 6 - inset, 6 - inset);
    painter.restore();
}

void AppearanceTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF previewRect((width() - previewWidth) / 2.0, 2, previewWidth, previewHeight);
    paintPreview(painter, previewRect);
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        QColor focus = palette().color(QPalette::Highlight);
        focus.setAlphaF(0.5f);
        painter.setPen(QPen(focus, 1, Qt::DashLine));
        painter.drawRoundedRect(previewRect.adjusted(-1.5, -1.5, 1.5, 1.5), 7, 7);
    }
    QColor textColor = palette().color(QPalette::WindowText);
    if (!isChecked()) textColor.setAlphaF(sheetstyle::secondaryOpacity);
    painter.setPen(textColor);
    painter.setFont(font());
    const QRect textRect(0, int(previewRect.bottom()) + spacing, width(),
                         height() - int(previewRect.bottom()) - spacing);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, text());
}

} // namespace snapkin
