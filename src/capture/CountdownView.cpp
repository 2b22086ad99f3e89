#include "capture/CountdownView.h"

#include "platform/DesktopWindows.h"
#include "platform/L10n.h"

#include <QFontMetricsF>
#include <QHash>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <limits>

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

constexpr int numberPixelSize = 64;
constexpr int smallestNumberPixelSize = 8;
// The figures' ink keeps this far inside the circle's edge.
constexpr double figureMargin = 4;

QFont numberFontOfSize(const QFont& base, int pixelSize)
{
    QFont f = base;
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::DemiBold);
    return f;
}

// The box numberRect places `advance` wide in a font of `metrics`.
QRectF numberBox(const QSizeF& size, const QFontMetricsF& metrics, double advance)
{
    const double h = metrics.height();
    return QRectF(size.width() * 0.5 - advance * 0.5, size.height() * 0.5 - h * 0.5 - 6, advance,
                  h);
}

// A rectangle holding the ink of every number of `figures` figures as it is placed in the
// view: the widest advance for each figure, the ink reaching as far out on either side and as
// high and low as any figure's does.
QRectF inkOfAnyNumber(const QSizeF& size, const QFontMetricsF& metrics, int figures)
{
    double widest = 0;
    double left = std::numeric_limits<double>::max();
    double overhang = std::numeric_limits<double>::lowest();
    double top = std::numeric_limits<double>::max();
    double bottom = std::numeric_limits<double>::lowest();
    for (char figure = '0'; figure <= '9'; ++figure) {
        const QString text(QChar::fromLatin1(figure));
        const double advance = metrics.horizontalAdvance(text);
        const QRectF ink = metrics.tightBoundingRect(text);
        widest = std::max(widest, advance);
        left = std::min(left, ink.left());
        overhang = std::max(overhang, ink.right() - advance);
        top = std::min(top, ink.top());
        bottom = std::max(bottom, ink.bottom());
    }
    const QRectF box = numberBox(size, metrics, widest * figures);
    const double baseline = box.top() + metrics.ascent();
    return QRectF(QPointF(box.left() + left, baseline + top),
                  QPointF(box.right() + overhang, baseline + bottom));
}

bool insideCircle(const QRectF& rect, const QSizeF& size, double margin)
{
    const QRectF circle = circleRect(size);
    const double radius = circle.width() * 0.5 - margin;
    for (const QPointF& corner :
         {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
        if (QLineF(circle.center(), corner).length() > radius) return false;
    }
    return true;
}

// The largest size up to 64 px at which every number of `figures` figures fits the circle.
int numberPixelSizeFor(const QFont& base, int figures)
{
    const QSizeF size(CountdownView::side, CountdownView::side);
    int pixelSize = numberPixelSize;
    for (; pixelSize > smallestNumberPixelSize; --pixelSize) {
        const QFontMetricsF metrics(numberFontOfSize(base, pixelSize));
        if (insideCircle(inkOfAnyNumber(size, metrics, figures), size, figureMargin)) break;
    }
    return pixelSize;
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

QFont CountdownView::numberFont(const QString& text)
{
    // Measured once per font and count of figures: the view paints every second.
    static QHash<QString, int> sizes;
    const QFont base = QWidget().font();
    const int figures = std::max<int>(1, int(text.size()));
    const QString key = base.key() + '/' + QString::number(figures);
    auto found = sizes.constFind(key);
    if (found == sizes.constEnd()) found = sizes.insert(key, numberPixelSizeFor(base, figures));
    return numberFontOfSize(base, *found);
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
    const QFontMetricsF m(numberFont(text));
    return numberBox(size, m, m.horizontalAdvance(text));
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
    const QFont figures = numberFont(number);
    const QRectF box = numberRect(QSizeF(size()), number);
    p.setFont(figures);
    p.setPen(Qt::white);
    p.drawText(QPointF(box.left(), box.top() + QFontMetricsF(figures).ascent()), number);

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
