#include "text/LinkToast.h"

#include "editor/SheetStyle.h"
#include "platform/DesktopWindows.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "ui/platform/Announcer.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace snapkin {

namespace {

QPointer<LinkToast> g_current;
// Bumped by every show and dismissal: a timer acts only while it still holds its number.
quint64 g_generation = 0;
int g_dismissMs = LinkToast::defaultDismissMs;

constexpr double cornerRadius = 14.0;

QPainterPath plate(const QRect& rect)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), cornerRadius, cornerRadius);
    return path;
}

} // namespace

void DesktopLinkOpening::open(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

LinkToast::LinkToast(const QString& message, const QUrl& url, LinkOpening& links)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      m_message(message), m_url(url)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose);
    m_translucent = platform::DesktopWindows::compositingManagerRunning();
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    setAccessibleName(message);

    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    setPalette(palette);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(12);

    auto* glyph = new QLabel;
    glyph->setPixmap(QPixmap::fromImage(platform::Symbols::image(
        QStringLiteral("qrcode.viewfinder"), 22, QColor(255, 255, 255, 170), devicePixelRatioF())));
    row->addWidget(glyph);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* title = new QLabel(message);
    QFont titleFont = font();
    titleFont.setPixelSize(13);
    titleFont.setWeight(QFont::Medium);
    title->setFont(titleFont);
    texts->addWidget(title);
    m_host = new QLabel;
    QFont hostFont = font();
    hostFont.setPixelSize(11);
    m_host->setFont(hostFont);
    sheetstyle::setTextColor(m_host, QColor(255, 255, 255, 170));
    // One line; a long host is cut with an ellipsis once the toast has its width.
    m_host->setText(hostText(url));
    m_host->setMinimumWidth(40);
    m_host->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    texts->addWidget(m_host);
    row->addLayout(texts, 1);

    m_open = new QPushButton(platform::L10n::text("Open Link"));
    m_open->setDefault(true);
    m_open->setFocusPolicy(Qt::NoFocus);
    // The prominent action: filled with the accent colour, as on the desktop's dark plates.
    const QColor accent = QPalette().color(QPalette::Highlight);
    m_open->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: none;"
                                         " border-radius: 6px; padding: 4px 12px; }"
                                         " QPushButton:pressed { background: %3; }")
                              .arg(accent.name(),
                                   QPalette().color(QPalette::HighlightedText).name(),
                                   accent.darker(120).name()));
    row->addWidget(m_open);
    connect(m_open, &QPushButton::clicked, this, [url = m_url, &links] {
        links.open(url);
        LinkToast::dismiss();
    });

    m_close = new QToolButton;
    m_close->setIcon(QIcon(QPixmap::fromImage(platform::Symbols::image(
        QStringLiteral("xmark"), 12, QColor(255, 255, 255, 200), devicePixelRatioF()))));
    m_close->setAutoRaise(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setToolTip(platform::L10n::text("Close"));
    m_close->setAccessibleName(platform::L10n::text("Close"));
    row->addWidget(m_close);
    connect(m_close, &QToolButton::clicked, this, [] { LinkToast::dismiss(); });

    // The host label takes what is left once the rest fits; the whole row at most 520 wide.
    const int natural =
        sizeHint().width() + QFontMetrics(hostFont).horizontalAdvance(m_host->text());
    resize(std::min(natural, maxWidth), sizeHint().height());
    layout()->activate(); // gives the label its share of that width
    m_host->setText(QFontMetrics(hostFont).elidedText(hostText(url), Qt::ElideMiddle,
                                                      std::max(40, m_host->width())));
}

QString LinkToast::hostText(const QUrl& url)
{
    const QString host = url.host(QUrl::FullyEncoded);
    return host.isEmpty() ? url.toString(QUrl::FullyEncoded) : host;
}

QRect LinkToast::geometryFor(QSize size, const QRect& screen)
{
    const int width = std::min(size.width(), maxWidth);
    const int x = screen.x() + qRound(screen.width() * 0.5 - width * 0.5);
    const int y = screen.y() + screen.height() - bottomOffset - size.height();
    return QRect(x, y, width, size.height());
}

void LinkToast::setDismissDelay(int ms)
{
    g_dismissMs = ms;
}

void LinkToast::show(const QString& message, const QUrl& url, LinkOpening& links)
{
    QScreen* screen = platform::DesktopWindows::workScreen();
    if (!screen) return;
    dismiss();
    auto* toast = new LinkToast(message, url, links);
    toast->layout()->activate();
    toast->setGeometry(geometryFor(toast->size(), screen->geometry()));
    toast->QWidget::show();
    g_current = toast;
    platform::Announcer::shared().announce(message + QStringLiteral(". ") +
                                           url.host(QUrl::FullyEncoded));
    const quint64 generation = ++g_generation;
    QTimer::singleShot(g_dismissMs, toast, [generation] {
        if (generation == g_generation) dismiss();
    });
}

void LinkToast::dismiss()
{
    ++g_generation;
    if (LinkToast* toast = g_current) {
        g_current = nullptr;
        toast->close();
    }
}

LinkToast* LinkToast::current()
{
    return g_current;
}

void LinkToast::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_translucent) return;
    // Without blending, clear corners would show black: cut the window to the plate.
    setMask(QRegion(plate(rect()).toFillPolygon().toPolygon()));
}

void LinkToast::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_translucent) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.fillPath(plate(rect()),
               m_translucent ? QColor(0, 0, 0, qRound(0.82 * 255)) : QColor(23, 23, 23));
}

} // namespace snapkin
