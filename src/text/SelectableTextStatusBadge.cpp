#include "text/SelectableTextStatusBadge.h"

#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "ui/platform/Announcer.h"

#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTimer>
#include <QTimerEvent>

namespace snapkin {

namespace {

constexpr int padX = 14;
constexpr int padY = 7;
constexpr int spacing = 8;
constexpr int iconSize = 14;

QFont calloutFont(QFont font)
{
    font.setPixelSize(12);
    return font;
}

} // namespace

SelectableTextStatusBadge::SelectableTextStatusBadge(SelectableTextModel::Status status,
                                                     QWidget* parent)
    : QWidget(parent), m_status(status)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    m_opacity = new QGraphicsOpacityEffect(this);
    m_opacity->setOpacity(0.0);
    setGraphicsEffect(m_opacity);
    m_fade = new QPropertyAnimation(m_opacity, "opacity", this);
    m_fade->setDuration(fadeMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_opacity->opacity() == 0.0) hide();
    });
    hide();
    refresh();
}

void SelectableTextStatusBadge::setStatus(SelectableTextModel::Status status)
{
    if (status == m_status) return;
    m_status = status;
    const bool noText = status == SelectableTextModel::Status::ready(false);
    m_showNoText = noText;
    if (noText) {
        const QString message = platform::L10n::text("No text in this image");
        platform::Announcer::shared().announce(message);
        // Clears the note at its own mark, whatever came in between.
        QTimer::singleShot(noTextMs, Qt::PreciseTimer, this, [this] {
            m_showNoText = false;
            refresh();
        });
    }
    refresh();
}

QRect SelectableTextStatusBadge::placement(const QRect& area) const
{
    const QSize size = this->size();
    return QRect(area.x() + (area.width() - size.width()) / 2,
                 area.bottom() + 1 - bottomPadding - size.height(), size.width(), size.height());
}

void SelectableTextStatusBadge::refresh()
{
    using Kind = SelectableTextModel::Status::Kind;
    QString text;
    QString glyph;
    bool spinning = false;
    switch (m_status.kind) {
    case Kind::off:
        break;
    case Kind::analyzing:
        text = platform::L10n::text("Analyzing text…");
        spinning = true;
        break;
    case Kind::unsupported:
        text = platform::L10n::text("Selectable Text isn't available: no text-recognition "
                                    "languages are installed");
        glyph = QStringLiteral("exclamationmark.triangle");
        break;
    case Kind::ready:
        if (!m_status.hasText && m_showNoText) {
            text = platform::L10n::text("No text in this image");
            glyph = QStringLiteral("text.viewfinder");
        }
        break;
    }

    m_shown = text;
    setAccessibleName(text);
    if (spinning && !m_spinTimer) m_spinTimer = startTimer(80);
    if (!spinning && m_spinTimer) {
        killTimer(m_spinTimer);
        m_spinTimer = 0;
    }
    // A capsule fading out keeps its symbol.
    if (!text.isEmpty()) {
        m_glyph = glyph;
        m_spinning = spinning;
        const QFontMetrics metrics(calloutFont(font()));
        resize(padX * 2 + iconSize + spacing + metrics.horizontalAdvance(text),
               padY * 2 + std::max(iconSize, metrics.height()));
        show();
        raise();
    }
    m_fade->stop();
    m_fade->setStartValue(m_opacity->opacity());
    m_fade->setEndValue(text.isEmpty() ? 0.0 : 1.0);
    m_fade->start();
    update();
}

void SelectableTextStatusBadge::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_spinTimer) {
        QWidget::timerEvent(event);
        return;
    }
    m_spinAngle = (m_spinAngle + 30) % 360;
    update();
}

void SelectableTextStatusBadge::paintEvent(QPaintEvent*)
{
    if (m_shown.isEmpty() && m_opacity->opacity() == 0.0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    capsule.addRoundedRect(r, r.height() / 2, r.height() / 2);
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    p.fillPath(capsule, dark ? QColor(50, 50, 52, 235) : QColor(250, 250, 250, 240));
    p.setPen(QPen(dark ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 35), 1));
    p.drawPath(capsule);

    const QColor ink = palette().color(QPalette::WindowText);
    const QRectF icon(padX, (height() - iconSize) / 2.0, iconSize, iconSize);
    if (m_spinning) {
        // Twelve spokes, the leading one darkest.
        p.save();
        p.translate(icon.center());
        for (int i = 0; i < 12; ++i) {
            QColor spoke = ink;
            spoke.setAlphaF(0.15 + 0.85 * (((12 - i) % 12) / 12.0));
            p.setPen(QPen(spoke, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.save();
            p.rotate(m_spinAngle - i * 30);
            p.drawLine(QPointF(0, -iconSize * 0.25), QPointF(0, -iconSize * 0.48));
            p.restore();
        }
        p.restore();
    } else if (!m_glyph.isEmpty()) {
        p.drawImage(icon, platform::Symbols::image(m_glyph, iconSize, ink, devicePixelRatioF()));
    }
    p.setFont(calloutFont(font()));
    p.setPen(ink);
    p.drawText(QRectF(icon.right() + spacing, 0, width() - icon.right() - spacing, height()),
               Qt::AlignVCenter | Qt::AlignLeft, m_shown);
}

} // namespace snapkin
