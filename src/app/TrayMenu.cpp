#include "app/TrayMenu.h"

#include "app/AppCommands.h"
#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "capture/CaptureService.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/ScreenCapture.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

namespace snapkin {

using platform::L10n;

namespace {

QAction* add(QMenu* menu, MenuActions& actions, AppCommand command)
{
    // Keys are shown for reference; the capture keys work through the global shortcuts.
    QAction* action = makeCommandAction(command, actions, menu, false);
    menu->addAction(action);
    return action;
}

// Groups whose items are all left out leave no separator behind.
void dropEmptyGroups(QMenu* menu)
{
    bool previousWasSeparator = true;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() && previousWasSeparator) {
            menu->removeAction(action);
            delete action;
            continue;
        }
        previousWasSeparator = action->isSeparator();
    }
}

} // namespace

TrayMenu::TrayMenu(MenuActions& actions, const PinnedScreenshotController& pins, QObject* parent)
    : QObject(parent), m_menu(new QMenu)
{
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    connect(m_menu, &QMenu::aboutToShow, m_menu,
            [menu = m_menu, &actions, &pins] { fill(menu, actions, pins); });
    fill(m_menu, actions, pins);

    m_icon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/snapkin.svg")), this);
    m_icon->setToolTip(QStringLiteral("Snapkin"));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) m_menu->popup(QCursor::pos());
    });
}

TrayMenu::~TrayMenu()
{
    delete m_menu;
}

void TrayMenu::setVisible(bool visible)
{
    m_icon->setVisible(visible);
}

bool TrayMenu::isVisible() const
{
    return m_icon->isVisible();
}

QString TrayMenu::displayLabel(int index, QSize pointSize, double pixelRatio)
{
    // Pixels, with any fraction dropped. Only the word is translated: the numbers, the dash and
    // the multiplication sign read the same in every language.
    const auto width = static_cast<qint64>(pointSize.width() * pixelRatio);
    const auto height = static_cast<qint64>(pointSize.height() * pixelRatio);
    return L10n::text("Display") + QLatin1Char(' ') + QString::number(index + 1) +
           QStringLiteral(" \u2014 ") + QString::number(width) + QChar(0x00d7) +
           QString::number(height);
}

void TrayMenu::addDisplayItems(QMenu* menu, MenuActions& actions)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size(); ++i) {
        const std::optional<std::uint32_t> id = platform::ScreenCapture::displayID(screens[i]);
        menu->addAction(
            displayLabel(i, screens[i]->geometry().size(), screens[i]->devicePixelRatio()), menu,
            [&actions, id] { actions.captureDisplay(id); });
    }
}

void TrayMenu::fillTimerMenu(QMenu* menu)
{
    menu->clear();
    auto* group = new QActionGroup(menu);
    const qint64 delay = platform::Defaults::standard().get(keys::captureDelay);
    for (const int seconds : timerChoices) {
        QAction* item = menu->addAction(CaptureService::captureDelayTitle(seconds));
        item->setCheckable(true);
        item->setChecked(delay == seconds);
        item->setActionGroup(group);
        connect(item, &QAction::triggered, menu,
                [seconds] { platform::Defaults::standard().set(keys::captureDelay, seconds); });
    }
}

void TrayMenu::fill(QMenu* menu, MenuActions& actions, const PinnedScreenshotController& pins)
{
    // The submenus of the last filling go with their items.
    for (QMenu* submenu : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        submenu->deleteLater();
    menu->clear();
    using H = MenuActions::Handler;

    add(menu, actions, AppCommand::openSnapkin);
    add(menu, actions, AppCommand::startWindow)->setShortcuts({}); // the tray shows no key for it
    menu->addSeparator();
    add(menu, actions, AppCommand::captureRegion);
    add(menu, actions, AppCommand::captureWindow);
    add(menu, actions, AppCommand::captureFrontWindow)->setShortcuts({}); // no key shown either
    add(menu, actions, AppCommand::trayFullScreen);

    if (QGuiApplication::screens().size() >= 2)
        addDisplayItems(menu->addMenu(L10n::text("Full Screen on\u2026")), actions);

    QAction* recapture = add(menu, actions, AppCommand::recaptureLastRegion);
    // Read each time the menu opens, so a region stored since the last time counts.
    recapture->setEnabled(actions.capture().loadLastRegion().has_value());
    add(menu, actions, AppCommand::copyTextFromRegion);

    QMenu* quick = menu->addMenu(L10n::text("Quick Capture"));
    add(quick, actions, AppCommand::regionToClipboard);
    add(quick, actions, AppCommand::regionToFile);
    add(quick, actions, AppCommand::fullScreenToClipboard);
    add(quick, actions, AppCommand::fullScreenToFile);

    fillTimerMenu(menu->addMenu(L10n::text("Capture Timer")));

    add(menu, actions, AppCommand::openImage);
    add(menu, actions, AppCommand::newFromClipboard)->setShortcuts({});
    if (actions.hasHandler(H::collageSideBySide) && actions.hasHandler(H::collageStacked)) {
        QMenu* collage = menu->addMenu(L10n::text("New Collage\u2026"));
        add(collage, actions, AppCommand::collageSideBySideShort);
        add(collage, actions, AppCommand::collageStackedShort);
    }

    if (pins.count() > 0) {
        menu->addSeparator();
        if (pins.lockedCount() > 0) add(menu, actions, AppCommand::unlockPins)->setShortcuts({});
        add(menu, actions, AppCommand::closePins);
    }

    menu->addSeparator();
    if (actions.hasHandler(H::settings)) add(menu, actions, AppCommand::settings);
    if (actions.hasHandler(H::about)) add(menu, actions, AppCommand::about);
    menu->addSeparator();
    if (actions.hasHandler(H::newsletter)) add(menu, actions, AppCommand::newsletter);
    if (actions.hasHandler(H::welcome)) add(menu, actions, AppCommand::welcome);
    menu->addSeparator();
    add(menu, actions, AppCommand::quit);
    dropEmptyGroups(menu);
}

} // namespace snapkin
