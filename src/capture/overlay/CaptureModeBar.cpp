#include "capture/overlay/CaptureModeBar.h"

#include "platform/L10n.h"
#include "platform/Symbols.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>

namespace snapkin {

using platform::L10n;

namespace {

// The glyph in white, drawn at twice the size needed so it stays sharp on HiDPI screens.
QIcon whiteGlyph(const char* symbol)
{
    QIcon icon;
    for (qreal dpr : {1.0, 2.0}) {
        QImage image = platform::Symbols::image(QString::fromLatin1(symbol), 16, Qt::white, dpr);
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QString barStyleSheet()
{
    // The bar is dark whatever the desktop's palette says, as the dimmed screen around it is.
    const QColor accent = QApplication::palette().color(QPalette::Highlight);
    return QStringLiteral(R"(
        QToolButton, QPushButton {
            color: white; background: rgba(255, 255, 255, 20); border: none;
            border-radius: 7px; padding: 6px 12px; font-size: 13px;
        }
        QToolButton:hover, QPushButton:hover { background: rgba(255, 255, 255, 46); }
        QToolButton:checked { background: rgba(255, 255, 255, 72); }
        QPushButton#captureButton { background: %1; font-weight: 600; }
        QPushButton#captureButton:hover { background: %2; }
    )")
        .arg(accent.name(), accent.lighter(115).name());
}

} // namespace

CaptureModeBar::CaptureModeBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("captureModeBar"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_StyledBackground, false);
    // Presses on the bar's background stop here: no selection starts under the bar.
    setAttribute(Qt::WA_NoMousePropagation);
    setStyleSheet(barStyleSheet());

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(12);
    row->setSizeConstraint(QLayout::SetFixedSize);

    // The segments sit close together, as one control.
    auto* segments = new QWidget(this);
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(2);
    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    struct Segment {
        const char* label;
        const char* symbol;
    };
    const Segment table[] = {{"Region", "selection.pin.in.out"},
                             {"Window", "macwindow"},
                             {"Full Screen", "rectangle.inset.filled"}};
    int id = 0;
    for (const Segment& s : table) {
        auto* button = new QToolButton(segments);
        const QString label = L10n::text(s.label);
        // A thin space keeps the label off its glyph; the style sets no gap of its own.
        button->setText(QStringLiteral("\u2009") + label);
        button->setAccessibleName(label);
        button->setIcon(whiteGlyph(s.symbol));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        m_segments->addButton(button, id++);
        segmentRow->addWidget(button);
    }
    m_segments->button(0)->setChecked(true);
    connect(m_segments, &QButtonGroup::idClicked, this, [this](int index) {
        if (index == 2) {
            if (onFullScreen) onFullScreen();
        } else if (onSelect) {
            onSelect(index == 0 ? OverlayMode::region : OverlayMode::window);
        }
    });

    m_cancel = new QPushButton(L10n::text("Cancel"), this);
    m_cancel->setFocusPolicy(Qt::NoFocus);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (onCancel) onCancel();
    });

    // Button in the capture overlay that takes the screenshot of the selected area: a verb.
    m_capture = new QPushButton(L10n::text("overlay.capture", "Capture"), this);
    m_capture->setObjectName(QStringLiteral("captureButton"));
    m_capture->setFocusPolicy(Qt::NoFocus);
    m_capture->hide();
    connect(m_capture, &QPushButton::clicked, this, [this] {
        if (onCapture) onCapture();
    });

    row->addWidget(segments);
    row->addWidget(m_cancel);
    row->addWidget(m_capture);
    adjustSize();
}

void CaptureModeBar::setMode(OverlayMode mode)
{
    m_segments->button(mode == OverlayMode::window ? 1 : 0)->setChecked(true);
}

void CaptureModeBar::setCaptureVisible(bool visible)
{
    m_capture->setVisible(visible);
    // A hidden button takes no room: the fixed-size layout shrinks or grows the bar now.
    layout()->activate();
    adjustSize();
}

void CaptureModeBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = r.height() / 2;
    QPainterPath capsule;
    capsule.addRoundedRect(r, radius, radius);
    p.fillPath(capsule, QColor(28, 28, 30, 235));
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.drawPath(capsule);
}

} // namespace snapkin
