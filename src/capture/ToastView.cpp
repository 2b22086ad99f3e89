#include "capture/ToastView.h"

#include "platform/DesktopWindows.h"

#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>

namespace snapkin {

ToastView::ToastView(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                          Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    m_translucent = platform::DesktopWindows::compositingManagerRunning();
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    }
}

void ToastView::setMessage(const QString& message)
{
    m_message = message;
    setAccessibleName(message);
    update();
}

QFont ToastView::font()
{
    QFont f = QWidget().font();
    // Points as the desktop means them for interface text: logical pixels.
    f.setPixelSize(13);
    f.setWeight(QFont::Medium);
    return f;
}

void ToastView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_translucent) return;
    // Without blending, clear corners would show black: cut the window to the plate.
    QPainterPath plate;
    plate.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(event->size())), cornerRadius, cornerRadius);
    setMask(QRegion(plate.toFillPolygon().toPolygon()));
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_translucent) p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    // Without blending the plate is drawn opaque in the colour it has over a mid-grey desktop.
    p.fillPath(plate, m_translucent ? QColor(0, 0, 0, qRound(0.82 * 255)) : QColor(23, 23, 23));

    // Centred in both directions; a message wider than the plate overflows both sides alike.
    const QFont f = font();
    const QFontMetricsF metrics(f);
    const double width = metrics.horizontalAdvance(m_message);
    const double height = metrics.height();
    const QRectF box(rect().width() * 0.5 - width * 0.5, rect().height() * 0.5 - height * 0.5,
                     width, height);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QPointF(box.left(), box.top() + metrics.ascent()), m_message);
}

} // namespace snapkin
