#include "settings/NewsletterWindow.h"

#include "editor/SheetStyle.h"
#include "model/Color.h"
#include "platform/BuildInfo.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "settings/InfoGlyphs.h"
#include "settings/LinkLabel.h"
#include "settings/NewsletterPrompt.h"
#include "settings/NewsletterService.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

namespace {

constexpr int windowWidth = 360;
constexpr int margin = 22;
constexpr int spacing = 14;

} // namespace

bool NewsletterWindow::emailLooksValid(const QString& text)
{
    const QStringList pieces = text.split(u'@', Qt::SkipEmptyParts);
    return pieces.size() == 2 && pieces[1].contains(u'.') && !text.endsWith(u'.');
}

NewsletterWindow::NewsletterWindow(QWidget* parent)
    : InfoWindow(L10n::text("Snapkin news"), parent), m_timeoutMs(NewsletterService::timeoutMs)
{
    setFixedWidth(windowWidth);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(margin, margin + 4, margin, margin);
    outer->setSpacing(spacing);
    m_symbol = new GlyphView(QStringLiteral("envelope"), 34, Color::brand(), this);
    outer->addWidget(m_symbol, 0, Qt::AlignHCenter);
    m_pages = new QStackedWidget(this);
    outer->addWidget(m_pages);

    // The form.
    QVBoxLayout* column = addPage(m_pages, spacing);
    column->addWidget(
        centred(makeLabel(L10n::text("Find out what's coming"), 1.25, QFont::DemiBold)));
    column->addWidget(makeSecondary(
        centred(makeLabel(L10n::text("New tools, fixes and tips for Snapkin. No spam, no "
                                     "account, and you can unsubscribe whenever you want.")))));

    m_email = new QLineEdit;
    m_email->setPlaceholderText(QStringLiteral("name@example.com"));
    m_email->setAccessibleName(L10n::text("Email"));
    QFont fieldFont = m_email->font();
    fieldFont.setPointSizeF(fieldFont.pointSizeF() * 1.25);
    m_email->setFont(fieldFont);
    column->addWidget(m_email);

    auto* consent = new QVBoxLayout;
    consent->setSpacing(4);
    m_consent = new QCheckBox(L10n::text("I accept the privacy policy"));
    consent->addWidget(m_consent);
    const QString site = platform::BuildInfo::siteRoot();
    auto* privacy =
        new LinkLabel(site + QStringLiteral("privacy/"), L10n::text("Read the privacy policy"));
    privacy->setOpenExternalLinks(true);
    privacy->setContentsMargins(20, 0, 0, 0);
    QFont caption = privacy->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    privacy->setFont(caption);
    // Without a configured site there is no page to show.
    privacy->setVisible(!site.isEmpty());
    consent->addWidget(privacy);
    column->addLayout(consent);

    m_error = centred(makeLabel({}, 0.85));
    sheetstyle::setTextColor(m_error, QColor(0xD7, 0x00, 0x15));
    m_error->hide();
    column->addWidget(m_error);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->setContentsMargins(0, 2, 0, 0);
    m_notNow = windowButton(L10n::text("Not now"));
    m_subscribe = windowButton(L10n::text("Subscribe"));
    m_spinner = new BusySpinner(16, m_subscribe);
    m_spinner->hide();
    buttons->addWidget(m_notNow);
    buttons->addWidget(m_subscribe);
    m_subscribe->setDefault(true);
    column->addLayout(buttons);

    column->addWidget(makeSecondary(centred(makeLabel(
        L10n::format("Your email goes to %@ and nowhere else. Your screenshots never leave your "
                     "computer.",
                     NewsletterService::host()),
        0.8))));

    // The thank-you state.
    QVBoxLayout* thanks = addPage(m_pages, spacing);
    thanks->addWidget(centred(makeLabel(L10n::text("You're on the list"), 1.25, QFont::DemiBold)));
    thanks->addWidget(makeSecondary(centred(makeLabel(
        L10n::text("Thanks. You'll hear from us when there's something worth telling.")))));
    m_close = windowButton(L10n::text("Close"));
    thanks->addSpacing(4);
    thanks->addWidget(m_close, 0, Qt::AlignHCenter);
    thanks->addStretch();

    connect(m_email, &QLineEdit::textChanged, this, &NewsletterWindow::updateControls);
    connect(m_consent, &QCheckBox::toggled, this, &NewsletterWindow::updateControls);
    connect(m_subscribe, &QPushButton::clicked, this, &NewsletterWindow::subscribe);
    connect(m_notNow, &QPushButton::clicked, this, &NewsletterWindow::notNow);
    connect(m_close, &QPushButton::clicked, this, &NewsletterWindow::finished);
    updateControls();
}

QString NewsletterWindow::errorText() const
{
    return m_error->isHidden() ? QString() : m_error->text();
}

void NewsletterWindow::updateControls()
{
    const bool valid = emailLooksValid(m_email->text());
    m_email->setEnabled(!m_sending);
    m_consent->setEnabled(!m_sending);
    m_notNow->setEnabled(!m_sending);
    m_subscribe->setEnabled(!m_sending && valid && m_consent->isChecked());
    m_subscribe->setText(m_sending ? QString() : L10n::text("Subscribe"));
    m_spinner->move((m_subscribe->width() - m_spinner->width()) / 2,
                    (m_subscribe->height() - m_spinner->height()) / 2);
    m_spinner->setVisible(m_sending);
    styleField(valid);
    if (m_done) {
        m_pages->setCurrentIndex(1);
        m_symbol->setGlyph(QStringLiteral("checkmark.circle.fill"), QColor(0x34, 0xC7, 0x59));
        m_subscribe->setDefault(false);
        m_close->setDefault(true);
        m_close->setFocus();
    }
}

void NewsletterWindow::changeEvent(QEvent* event)
{
    InfoWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_email)
        styleField(emailLooksValid(m_email->text()));
}

// A style sheet keeps the colours it was given, so they are written out from the palette and
// written again when it changes.
void NewsletterWindow::styleField(bool valid)
{
    const QPalette colors = palette();
    QColor border = valid ? Color::brand() : colors.color(QPalette::WindowText);
    border.setAlphaF(valid ? 0.75 : 0.35);
    const QString sheet =
        QStringLiteral("QLineEdit { padding: 10px 12px; border-radius: 8px; "
                       "border: %1px solid %2; background: %3; color: %4; }")
            .arg(valid ? QStringLiteral("1.5") : QStringLiteral("1"), border.name(QColor::HexArgb),
                 colors.color(QPalette::Base).name(), colors.color(QPalette::Text).name());
    if (m_email->styleSheet() != sheet) m_email->setStyleSheet(sheet);
}

void NewsletterWindow::subscribe()
{
    if (m_sending || m_done || !m_subscribe->isEnabled()) return;
    m_error->clear();
    m_error->hide();
    m_sending = true;
    updateControls();
    // The field keeps what was typed; the request gets the address without surrounding space.
    const QString address = m_email->text().trimmed();
    NewsletterService::subscribe(
        address, m_consent->isChecked(), this,
        [this](NewsletterService::Result result) {
            m_sending = false;
            if (result) {
                NewsletterPrompt::markSubscribed();
                m_done = true;
            } else {
                m_error->setText(result.error().userMessage());
                m_error->show();
            }
            updateControls();
            adjustSize();
        },
        m_timeoutMs);
}

void NewsletterWindow::notNow()
{
    if (m_sending) return;
    NewsletterPrompt::postpone();
    emit finished();
}

void NewsletterWindow::reject()
{
    if (m_done)
        emit finished();
    else if (m_notNow->isEnabled())
        m_notNow->click();
}

void NewsletterWindowController::show()
{
    showSingleWindow(m_window, [this] {
        auto* window = new NewsletterWindow;
        QObject::connect(window, &NewsletterWindow::finished, window, [this] { close(); });
        return window;
    });
}

void NewsletterWindowController::close()
{
    if (!platform::Defaults::standard().get(keys::newsletterSubscribed))
        NewsletterPrompt::postpone();
    dismissWindow(m_window);
}

} // namespace snapkin
