#include "capture/CountdownView.h"

#include "platform/DesktopWindows.h"
#include "platform/L10n.h"

#include <QMouseEvent>
#include <QPainter>

namespace snapkin {

namespace {

QRectF circleRect(const QSizeF& size)
{
    const double d = CountdownView::circleDiameter;
    return QRectF((size.width() - d) * 0.5, (size.height() - d) * 0.5, d, d);
}

QString hintText()
{
    return platform::L10n::text("Esc to cancel");
}

} // namespace

CountdownView::CountdownView(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    resize(side, side);
    m_translucent = platform::DesktopWindows::compositingManagerRunning();
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    } else {
        // Without blending the clear corners would show black: keep only the circle.
        setMask(QRegion(circleRect(QSizeF(side, side)).toRect(), QRegion::Ellipse));
    }
    setAccessibleName(hintText());
}

void CountdownView::setNumber(int number)
{
    m_number = number;
    setAccessibleDescription(QString::number(number));
    update();
}

QFont CountdownView::numberFont()
{
    QFont f = QWidget().font();
    f.setPixelSize(64);
    f.setWeight(QFont::DemiBold);
    return f;
}

QFont CountdownView::hintFont()
{
    QFont f = QWidget().font();
    f.setPixelSize(11);
    f.setWeight(QFont::Medium);
    return f;
}

// The badge is laid out from the bottom up: the number's box sits 6 pt above the centre, the
// hint's box bottom 14 pt above the circle's bottom edge.
QRectF CountdownView::numberRect(const QSizeF& size, const QString& text)
{
    const QFontMetricsF m(numberFont());
    const double w = m.horizontalAdvance(text);
    const double h = m.height();
    return QRectF(size.width() * 0.5 - w * 0.5, size.height() * 0.5 - h * 0.5 - 6, w, h);
}

QRectF CountdownView::hintRect(const QSizeF& size, const QString& text)
{
    const QFontMetricsF m(hintFont());
    const double w = m.horizontalAdvance(text);
    const double h = m.height();
    const double bottom = circleRect(size).bottom() - 14;
    return QRectF(size.width() * 0.5 - w * 0.5, bottom - h, w, h);
}

void CountdownView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (m_translucent) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.setPen(Qt::NoPen);
    // Opaque without blending: 78 % black over a mid-grey desktop.
    p.setBrush(m_translucent ? QColor(0, 0, 0, qRound(0.78 * 255)) : QColor(28, 28, 28));
    p.drawEllipse(circleRect(QSizeF(size())));

    const QString number = QString::number(m_number);
    const QRectF numberBox = numberRect(QSizeF(size()), number);
    p.setFont(numberFont());
    p.setPen(Qt::white);
    p.drawText(QPointF(numberBox.left(), numberBox.top() + QFontMetricsF(numberFont()).ascent()),
               number);

    const QString hint = hintText();
    const QRectF hintBox = hintRect(QSizeF(size()), hint);
    p.setFont(hintFont());
    p.setPen(QColor(255, 255, 255, qRound(0.7 * 255)));
    p.drawText(QPointF(hintBox.left(), hintBox.top() + QFontMetricsF(hintFont()).ascent()), hint);
}

void CountdownView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    // A copy: the click usually tears the countdown down, which clears `onClick`.
    if (const std::function<void()> action = onClick) action();
}

} // namespace snapkin
