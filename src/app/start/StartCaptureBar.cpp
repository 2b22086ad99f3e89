#include "app/start/StartCaptureBar.h"

#include "app/AppCommands.h"
#include "app/TrayMenu.h"
#include "capture/CaptureService.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"

#include <QActionGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace snapkin {

using platform::L10n;

namespace {

struct CaptureButton {
    const char* identifier;
    const char* symbol;
    CaptureAction action;
};

constexpr CaptureButton captureButtons[] = {
    {"captureRegion", "camera.viewfinder", CaptureAction::region},
    {"captureWindow", "macwindow", CaptureAction::window},
    {"captureFullScreen", "rectangle.inset.filled", CaptureAction::fullScreen},
    {"recaptureLastRegion", "arrow.clockwise", CaptureAction::lastRegion},
    {"copyTextFromRegion", "text.viewfinder", CaptureAction::copyText},
};

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

    for (const CaptureButton& capture : captureButtons) {
        QToolButton* button =
            addButton(QString::fromLatin1(capture.identifier), QString::fromLatin1(capture.symbol));
        const CaptureAction action = capture.action;
        connect(button, &QToolButton::clicked, this, [this, action] {
            switch (action) {
            case CaptureAction::region:
                emit commandRequested(AppCommand::captureRegion);
                break;
            case CaptureAction::window:
                emit commandRequested(AppCommand::captureWindow);
                break;
            case CaptureAction::fullScreen:
                emit commandRequested(AppCommand::captureFullScreen);
                break;
            case CaptureAction::lastRegion:
                emit commandRequested(AppCommand::recaptureLastRegion);
                break;
            case CaptureAction::copyText:
                emit commandRequested(AppCommand::copyTextFromRegion);
                break;
            case CaptureAction::frontWindow:
                break;
            }
        });
        row->addWidget(button);
    }
    QToolButton* timer = addButton(QStringLiteral("timer"), QStringLiteral("timer"));
    timer->setPopupMode(QToolButton::InstantPopup);
    timer->setMenu(new QMenu(timer));
    connect(timer->menu(), &QMenu::aboutToShow, this, &StartCaptureBar::fillTimerMenu);
    row->addWidget(timer);

    row->addStretch(1);
    row->addWidget(divider());
    const struct {
        AppCommand command;
        const char* symbol;
    } files[] = {{AppCommand::open, "folder"},
                 {AppCommand::newFromClipboard, "doc.on.clipboard"},
                 {AppCommand::newBlankCanvas, "macwindow.badge.plus"}};
    for (const auto& file : files) {
        QToolButton* button = addButton(QString::fromLatin1(commandInfo(file.command).identifier),
                                        QString::fromLatin1(file.symbol));
        const AppCommand command = file.command;
        connect(button, &QToolButton::clicked, this,
                [this, command] { emit commandRequested(command); });
        row->addWidget(button);
    }

    connect(&platform::Defaults::standard(), &platform::Defaults::valueChanged, this,
            [this](const QString& key) {
                if (keys::isCaptureHotKey(key) || key == keys::captureDelay) refresh();
            });
    refresh();
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
        QToolButton* b = button(QString::fromLatin1(capture.identifier));
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

    for (const AppCommand command :
         {AppCommand::open, AppCommand::newFromClipboard, AppCommand::newBlankCanvas}) {
        QToolButton* b = button(QString::fromLatin1(commandInfo(command).identifier));
        // The bar's own short title for a blank canvas; the others as the menus say them.
        const QString title = command == AppCommand::newBlankCanvas ? L10n::text("Blank Canvas")
                                                                    : commandTitle(command);
        b->setText(twoLines(title, keyText(command)));
        b->setAccessibleName(commandTitle(command));
    }
}

void StartCaptureBar::fillTimerMenu()
{
    QMenu* menu = button(QStringLiteral("timer"))->menu();
    menu->clear();
    auto* group = new QActionGroup(menu);
    const qint64 delay = platform::Defaults::standard().get(keys::captureDelay);
    for (const int seconds : TrayMenu::timerChoices) {
        QAction* item = menu->addAction(CaptureService::captureDelayTitle(seconds));
        item->setCheckable(true);
        item->setChecked(delay == seconds);
        item->setActionGroup(group);
        connect(item, &QAction::triggered, this,
                [seconds] { platform::Defaults::standard().set(keys::captureDelay, seconds); });
    }
}

void StartCaptureBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

} // namespace snapkin
