#include "app/start/StartCaptureBar.h"

#include "app/TrayMenu.h"
#include "capture/CaptureService.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include <utility>

namespace snapkin {

using platform::L10n;

namespace {

struct CaptureButton {
    AppCommand command;
    const char* symbol;
    CaptureAction action;
};

constexpr CaptureButton captureButtons[] = {
    {AppCommand::captureRegion, "camera.viewfinder", CaptureAction::region},
    {AppCommand::captureWindow, "macwindow", CaptureAction::window},
    {AppCommand::captureFullScreen, "rectangle.inset.filled", CaptureAction::fullScreen},
    {AppCommand::recaptureLastRegion, "arrow.clockwise", CaptureAction::lastRegion},
    {AppCommand::copyTextFromRegion, "text.viewfinder", CaptureAction::copyText},
};

// The commands after the divider: Open…, New from Clipboard and New Blank Canvas.
constexpr std::pair<AppCommand, const char*> fileButtons[] = {
    {AppCommand::open, "folder"},
    {AppCommand::newFromClipboard, "doc.on.clipboard"},
    {AppCommand::newBlankCanvas, "macwindow.badge.plus"},
};

QString identifier(AppCommand command)
{
    return QString::fromLatin1(commandInfo(command).identifier);
}

QString captureTitle(CaptureAction action)
{
    switch (action) {
    case CaptureAction::region:
        return L10n::text("Region");
    case CaptureAction::window:
        return L10n::text("Window");
    case CaptureAction::fullScreen:
        return L10n::text("Full Screen");
    case CaptureAction::lastRegion:
        return L10n::text("Last Region");
    case CaptureAction::copyText:
        return L10n::text("Copy Text");
    case CaptureAction::frontWindow:
        break;
    }
    return label(action);
}

// The title, and below it the key text, or a blank line so the buttons keep one height.
QString twoLines(const QString& title, const QString& keys)
{
    return title + QLatin1Char('\n') + (keys.isEmpty() ? QStringLiteral(" ") : keys);
}

QString keyText(AppCommand command)
{
    const QList<QKeySequence> keys = commandKeys(command);
    return keys.isEmpty() ? QString() : keys.first().toString(QKeySequence::NativeText);
}

QFrame* divider()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

StartCaptureBar::StartCaptureBar(CaptureService& capture, QWidget* parent)
    : QWidget(parent), m_capture(capture)
{
    setObjectName(QStringLiteral("startCaptureBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 6);
    row->setSpacing(4);

    for (const CaptureButton& capture : captureButtons)
        row->addWidget(addButton(capture.command, capture.symbol));
    QToolButton* timer = addButton(QStringLiteral("timer"), QStringLiteral("timer"));
    timer->setPopupMode(QToolButton::InstantPopup);
    timer->setMenu(new QMenu(timer));
    connect(timer->menu(), &QMenu::aboutToShow, timer,
            [menu = timer->menu()] { TrayMenu::fillTimerMenu(menu); });
    row->addWidget(timer);

    row->addStretch(1);
    row->addWidget(divider());
    for (const auto& [command, symbol] : fileButtons)
        row->addWidget(addButton(command, symbol));

    connect(&platform::Defaults::standard(), &platform::Defaults::valueChanged, this,
            [this](const QString& key) {
                if (keys::isCaptureHotKey(key) || key == keys::captureDelay) refresh();
            });
    refresh();
}

QToolButton* StartCaptureBar::addButton(AppCommand command, const char* symbol)
{
    QToolButton* button = addButton(identifier(command), QString::fromLatin1(symbol));
    connect(button, &QToolButton::clicked, this,
            [this, command] { emit commandRequested(command); });
    return button;
}

QToolButton* StartCaptureBar::addButton(const QString& identifier, const QString& symbol)
{
    auto* button = new QToolButton(this);
    button->setObjectName(identifier);
    button->setIcon(platform::Symbols::icon(symbol));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(72);
    m_buttons.append(button);
    return button;
}

QToolButton* StartCaptureBar::button(const QString& identifier) const
{
    for (QToolButton* button : m_buttons)
        if (button->objectName() == identifier) return button;
    return nullptr;
}

void StartCaptureBar::refresh()
{
    for (const CaptureButton& capture : captureButtons) {
        QToolButton* b = button(identifier(capture.command));
        const CaptureHotKey stored = CaptureHotKey::load(capture.action);
        const QString keys = stored.keySequence().isEmpty() ? QString() : stored.displayString();
        b->setText(twoLines(captureTitle(capture.action), keys));
        b->setToolTip(label(capture.action));
        b->setAccessibleName(label(capture.action));
    }
    // Without a stored region there is nothing to capture again.
    button(QStringLiteral("recaptureLastRegion"))
        ->setEnabled(m_capture.loadLastRegion().has_value());

    const qint64 delay = platform::Defaults::standard().get(keys::captureDelay);
    QToolButton* timer = button(QStringLiteral("timer"));
    timer->setText(twoLines(L10n::text("Timer"), CaptureService::captureDelayTitle(delay)));
    timer->setToolTip(L10n::text("Capture Timer"));
    timer->setAccessibleName(L10n::text("Capture Timer"));

    for (const auto& [command, symbol] : fileButtons) {
        QToolButton* b = button(identifier(command));
        // The bar's own short title for a blank canvas; the others as the menus say them.
        const QString title = command == AppCommand::newBlankCanvas ? L10n::text("Blank Canvas")
                                                                    : commandTitle(command);
        b->setText(twoLines(title, keyText(command)));
        b->setAccessibleName(commandTitle(command));
    }
}

void StartCaptureBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

} // namespace snapkin
