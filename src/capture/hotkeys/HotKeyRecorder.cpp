#include "capture/hotkeys/HotKeyRecorder.h"

#include "capture/hotkeys/HotkeyService.h"
#include "model/Color.h"
#include "platform/L10n.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace snapkin {

using platform::L10n;

namespace {

constexpr int minimumFieldWidth = 72;
constexpr int horizontalPadding = 8;
constexpr int verticalPadding = 3;
constexpr int messageSpacing = 3;
constexpr qreal cornerRadius = 5;

} // namespace

HotKeyRecorder::HotKeyRecorder(CaptureAction action, HotkeyService& service, QWidget* parent)
    : QPushButton(parent), m_action(action), m_service(service),
      m_hotKey(CaptureHotKey::load(action))
{
    setToolTip(L10n::text("Click and press the new shortcut"));
    setAccessibleName(label(action));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QPushButton::clicked, this, [this] { m_recording ? stop() : start(); });
    connect(&m_service, &HotkeyService::statusChanged, this, [this](CaptureAction changed) {
        if (changed == m_action) refresh();
    });
    refresh();
}

HotKeyRecorder::~HotKeyRecorder()
{
    if (m_recording) {
        releaseKeyboard();
        m_service.resume();
    }
}

void HotKeyRecorder::setHotKey(const CaptureHotKey& hotKey)
{
    m_hotKey = hotKey;
    refresh();
}

void HotKeyRecorder::showConflict(CaptureAction other)
{
    m_conflict = other;
    refresh();
}

void HotKeyRecorder::clearConflict()
{
    m_conflict.reset();
    refresh();
}

QString HotKeyRecorder::message() const
{
    if (m_conflict) return L10n::format("Already used by %@", label(*m_conflict));
    if (m_recording) return {};
    return m_service.status(m_action).userMessage();
}

void HotKeyRecorder::start()
{
    m_recording = true;
    m_conflict.reset();
    // The grabs go first: a press of another action's combination must reach this field.
    m_service.suspend();
    setFocus(Qt::OtherFocusReason);
    grabKeyboard();
    refresh();
}

void HotKeyRecorder::stop()
{
    if (!m_recording) return;
    m_recording = false;
    releaseKeyboard();
    m_service.resume();
    refresh();
}

bool HotKeyRecorder::event(QEvent* event)
{
    if (m_recording) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // No menu or window shortcut takes the press away while recording.
            event->accept();
            return true;
        case QEvent::KeyPress:
            // Before QWidget's own handling, which would move the focus on Tab.
            record(static_cast<QKeyEvent*>(event));
            return true;
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    return QPushButton::event(event);
}

void HotKeyRecorder::record(QKeyEvent* event)
{
    event->accept();
    if (event->isAutoRepeat()) return;
    if (event->key() == Qt::Key_Escape) {
        stop();
        return;
    }
    const auto pressed = CaptureHotKey::from(*event);
    if (!pressed) return;
    if (const auto other = CaptureHotKey::conflict(*pressed, m_action)) {
        m_conflict = other;
        stop();
        return;
    }
    m_conflict.reset();
    m_hotKey = *pressed;
    m_hotKey.save(m_action);
    if (m_onChange) m_onChange(m_hotKey);
    stop();
}

void HotKeyRecorder::hideEvent(QHideEvent* event)
{
    stop();
    QPushButton::hideEvent(event);
}

void HotKeyRecorder::focusOutEvent(QFocusEvent* event)
{
    stop();
    QPushButton::focusOutEvent(event);
}

bool HotKeyRecorder::hitButton(const QPoint& position) const
{
    return fieldRect().contains(position);
}

QString HotKeyRecorder::fieldText() const
{
    return m_recording ? L10n::text("Press shortcut…") : m_hotKey.displayString();
}

QFont HotKeyRecorder::fieldFont() const
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSizeF(std::max(6.0, font().pointSizeF() - 1));
    return f;
}

QFont HotKeyRecorder::messageFont() const
{
    QFont f = font();
    f.setPointSizeF(std::max(6.0, font().pointSizeF() - 2));
    return f;
}

QSize HotKeyRecorder::fieldSize() const
{
    const QFontMetrics metrics(fieldFont());
    // Wide enough for either text, so the field keeps its size when recording starts.
    const int text = std::max(metrics.horizontalAdvance(L10n::text("Press shortcut…")),
                              metrics.horizontalAdvance(m_hotKey.displayString()));
    return {std::max(minimumFieldWidth, text + 2 * horizontalPadding),
            metrics.height() + 2 * verticalPadding};
}

QRect HotKeyRecorder::fieldRect() const
{
    const QSize size = fieldSize();
    const int x = layoutDirection() == Qt::RightToLeft ? 0 : width() - size.width();
    return QRect(QPoint(x, 0), size);
}

QSize HotKeyRecorder::sizeHint() const
{
    QSize size = fieldSize();
    const QString text = message();
    if (!text.isEmpty()) {
        const QFontMetrics metrics(messageFont());
        size.setWidth(std::max(size.width(), metrics.horizontalAdvance(text)));
        size.setHeight(size.height() + messageSpacing + metrics.height());
    }
    return size;
}

void HotKeyRecorder::refresh()
{
    setText(fieldText());
    setAccessibleDescription(m_hotKey.displayString());
    updateGeometry();
    update();
}

void HotKeyRecorder::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF field = QRectF(fieldRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(field, cornerRadius, cornerRadius);

    const QColor brand = Color::brand();
    QColor fill = m_recording ? brand : palette().color(QPalette::WindowText);
    fill.setAlphaF(m_recording ? 0.16f : 0.12f);
    painter.fillPath(shape, fill);
    if (m_recording) {
        painter.setPen(QPen(brand, 1));
        painter.drawPath(shape);
    } else if (hasFocus()) {
        // Keyboard users see where the focus is; a click or Space starts recording.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.drawPath(shape);
    }

    painter.setFont(fieldFont());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(fieldRect(), Qt::AlignCenter, fieldText());

    const QString text = message();
    if (!text.isEmpty()) {
        painter.setFont(messageFont());
        painter.setPen(QColor(Qt::red));
        const QRect below(0, fieldRect().bottom() + 1 + messageSpacing, width(),
                          height() - fieldRect().height() - messageSpacing);
        painter.drawText(below, Qt::AlignTop | Qt::AlignTrailing, text);
    }
}

} // namespace snapkin
