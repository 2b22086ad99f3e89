#include "settings/OnboardingView.h"

#include "capture/hotkeys/CaptureHotKey.h"
#include "editor/SheetStyle.h"
#include "grab/CaptureEngineError.h"
#include "platform/L10n.h"
#include "settings/InfoGlyphs.h"
#include "settings/InfoWindowSupport.h"
#include "settings/SettingsHooks.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

class PageDots : public QWidget {
public:
    explicit PageDots(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(OnboardingView::pageCount * 7 + (OnboardingView::pageCount - 1) * 7, 7);
    }
    void setCurrent(int current)
    {
        m_current = current;
        setAccessibleName(
            L10n::format("Step %lld of %lld", current + 1, OnboardingView::pageCount));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < OnboardingView::pageCount; ++i) {
            QColor fill = palette().color(QPalette::Highlight);
            if (i != m_current) {
                fill = palette().color(QPalette::WindowText);
                fill.setAlphaF(0.35 * 0.62);
            }
            painter.setBrush(fill);
            painter.drawEllipse(QRectF(i * 14, 0, 7, 7));
        }
    }

private:
    int m_current = 0;
};

namespace {

// A line of symbol and text; the symbol is decoration, the text says it all.
QWidget* row(const QString& symbol, QLabel* text, bool secondary = false)
{
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(glyphColumn(symbol, 20, &sheetstyle::secondaryColor, 28), 0, Qt::AlignTop);
    if (secondary) makeSecondary(text);
    layout->addWidget(text, 1);
    return line;
}

constexpr QSize largeButton(88, 32);

} // namespace

StatusBadge::StatusBadge(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 7, 12, 7);
    layout->setSpacing(6);
    m_glyph = new GlyphView(QStringLiteral("ellipsis.circle"), 16, Qt::gray);
    m_text = makeLabel({}, 1.0, QFont::Medium);
    m_text->setWordWrap(false);
    layout->addWidget(m_glyph);
    layout->addWidget(m_text);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void StatusBadge::set(const QString& symbol, const QString& text, const QColor& color)
{
    m_color = color;
    m_glyph->setGlyph(symbol, color);
    m_text->setText(text);
    sheetstyle::setTextColor(m_text, color);
    setAccessibleName(text);
    update();
}

QString StatusBadge::text() const
{
    return m_text->text();
}

void StatusBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = m_color;
    fill.setAlphaF(0.14);
    const double radius = height() / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
}

OnboardingView::OnboardingView(AccessCheck check, QKeySequence pasteKeys, SettingsHooks shell,
                               QWidget* parent)
    : QWidget(parent), m_check(std::move(check))
{
    setFixedWidth(500);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = buildHeader();
    header->setContentsMargins(0, 34, 0, 22);
    column->addWidget(header);

    m_pages = new QStackedWidget;
    buildAccessPage(addPage(m_pages, 16), pasteKeys);
    buildCapturePage(addPage(m_pages, 16), shell);
    auto* pagesHolder = new QWidget;
    auto* pagesLayout = new QVBoxLayout(pagesHolder);
    pagesLayout->setContentsMargins(36, 0, 36, 0);
    pagesLayout->addWidget(m_pages);
    column->addWidget(pagesHolder);

    auto* footer = buildFooter();
    footer->setContentsMargins(24, 18, 24, 18);
    column->addWidget(footer);

    m_timer = new QTimer(this);
    m_timer->setInterval(recheckIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &OnboardingView::tick);

    setAccess(Access::checking);
    updatePage();
}

void OnboardingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer->start();
}

void OnboardingView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}

QWidget* OnboardingView::buildHeader()
{
    auto* header = new QWidget;
    auto* layout = new QVBoxLayout(header);
    layout->setSpacing(12);
    layout->addWidget(new AppMarkView(80, 18), 0, Qt::AlignHCenter);
    auto* titleLayout = new QVBoxLayout;
    titleLayout->setSpacing(4);
    titleLayout->addWidget(centred(makeLabel(L10n::text("Welcome to Snapkin"), 1.6, QFont::Bold)));
    titleLayout->addWidget(
        centred(makeSecondary(makeLabel(L10n::text("Capture · annotate · share")))));
    layout->addLayout(titleLayout);
    return header;
}

void OnboardingView::buildAccessPage(QVBoxLayout* layout, const QKeySequence& pasteKeys)
{
    layout->addWidget(makeLabel(L10n::text("Screen capture"), 1.25, QFont::DemiBold));
    layout->addWidget(makeSecondary(makeLabel(L10n::text(
        "Snapkin reads the screen of your X11 session. Your screenshots never leave your "
        "computer."))));
    m_badge = new StatusBadge;
    layout->addWidget(m_badge, 0, Qt::AlignLeft);

    m_advice = makeLabel(x11SessionAdvice());
    layout->addWidget(m_advice);
    m_recheck = windowButton(L10n::text("Re-check"));
    setGlyphIcon(m_recheck, QStringLiteral("arrow.clockwise"), paletteColor(QPalette::ButtonText));
    connect(m_recheck, &QPushButton::clicked, this, &OnboardingView::recheck);
    layout->addWidget(m_recheck, 0, Qt::AlignLeft);

    auto* alternative = makeLabel(
        L10n::format("Can't capture here? Keep using your desktop's screenshot tool and turn on "
                     "“Open editor after a system screenshot” in Settings, or paste a screenshot "
                     "with %@.",
                     pasteKeys.toString(QKeySequence::NativeText)));
    m_alternative = row(QStringLiteral("square.and.arrow.down"), alternative, true);
    layout->addWidget(m_alternative);
    layout->addStretch();
}

void OnboardingView::buildCapturePage(QVBoxLayout* layout, const SettingsHooks& shell)
{
    layout->addWidget(makeLabel(L10n::text("Take your first screenshot"), 1.25, QFont::DemiBold));
    m_pressHint = makeLabel({});
    layout->addWidget(row(QStringLiteral("keyboard"), m_pressHint));
    layout->addWidget(row(QStringLiteral("macwindow"),
                          makeLabel(L10n::text("Drag over what you want to capture and the "
                                               "editor opens with it, ready to annotate."))));
    m_try = windowButton(L10n::text("Try it now"), {largeButton.width(), 38});
    setGlyphIcon(m_try, QStringLiteral("camera.viewfinder"), paletteColor(QPalette::ButtonText));
    connect(m_try, &QPushButton::clicked, this, &OnboardingView::firstCaptureRequested);
    layout->addSpacing(4);
    layout->addWidget(m_try, 0, Qt::AlignHCenter);
    if (QLabel* link = startWindowLink(shell)) {
        // Where every capture is kept afterwards.
        auto* history = makeLabel(L10n::text("Every capture is kept in the Start Window, so you "
                                             "can find it again and keep editing."));
        layout->addWidget(row(QStringLiteral("clock.arrow.circlepath"), history));
        layout->addWidget(link, 0, Qt::AlignHCenter);
    }
    layout->addStretch();
}

QWidget* OnboardingView::buildFooter()
{
    auto* footer = new QWidget;
    auto* grid = new QGridLayout(footer);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    m_back = windowButton(L10n::text("Back"), largeButton);
    m_next = windowButton(L10n::text("Next"), largeButton);
    m_start = windowButton(L10n::text("Start"), largeButton);
    m_dots = new PageDots(footer);
    grid->addWidget(m_back, 0, 0, Qt::AlignLeft);
    grid->addWidget(m_dots, 0, 1, Qt::AlignCenter);
    grid->addWidget(m_next, 0, 2, Qt::AlignRight);
    grid->addWidget(m_start, 0, 2, Qt::AlignRight);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    footer->setMinimumHeight(32);
    connect(m_back, &QPushButton::clicked, this, [this] { setStep(m_step - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { setStep(m_step + 1); });
    connect(m_start, &QPushButton::clicked, this, &OnboardingView::finishRequested);
    return footer;
}

QWidget* OnboardingView::pageDots() const
{
    return m_dots;
}

void OnboardingView::setStep(int step)
{
    m_step = std::clamp(step, 0, pageCount - 1);
    updatePage();
}

void OnboardingView::updatePage()
{
    m_pages->setCurrentIndex(m_step);
    const bool last = m_step == pageCount - 1;
    m_back->setVisible(m_step > 0);
    m_next->setVisible(!last);
    m_start->setVisible(last);
    // One default button at a time, and only on the page that is shown.
    m_next->setDefault(!last);
    m_try->setDefault(m_step == 1);
    m_dots->setCurrent(m_step);
    if (m_step == 1) {
        m_pressHint->setText(
            L10n::format("Press %@ anywhere to capture a region.",
                         CaptureHotKey::load(CaptureAction::region).displayString()));
    }
    if (m_step == 0) probeOnce();
}

void OnboardingView::probeOnce()
{
    if (m_probedForReal) return;
    m_probedForReal = true;
    recheck();
}

void OnboardingView::recheck()
{
    setAccess(Access::checking);
    m_check().then(
        this, [this](bool readable) { setAccess(readable ? Access::ready : Access::unavailable); });
}

void OnboardingView::tick()
{
    // Only a readable screen is watched: losing access shows at once, while getting it back
    // waits for "Re-check".
    if (m_access != Access::ready || m_tickProbing) return;
    m_tickProbing = true;
    m_check().then(this, [this](bool readable) {
        m_tickProbing = false;
        if (!readable && m_access == Access::ready) setAccess(Access::unavailable);
    });
}

void OnboardingView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_alternative && m_access == Access::checking)
        setAccess(Access::checking);
}

void OnboardingView::setAccess(Access access)
{
    m_access = access;
    switch (access) {
    case Access::checking:
        m_badge->set(QStringLiteral("ellipsis.circle"), L10n::text("Checking screen capture…"),
                     sheetstyle::secondaryColor(this));
        break;
    case Access::ready:
        m_badge->set(QStringLiteral("checkmark.circle.fill"),
                     L10n::text("Ready to capture your screen"), QColor(0x28, 0xA7, 0x45));
        break;
    case Access::unavailable:
        m_badge->set(QStringLiteral("exclamationmark.triangle.fill"),
                     L10n::text("Screen capture not available"), QColor(0xE6, 0x7E, 0x00));
        break;
    }
    const bool unavailable = access == Access::unavailable;
    m_advice->setVisible(unavailable);
    m_recheck->setVisible(unavailable);
    m_alternative->setVisible(unavailable);
}

} // namespace snapkin
