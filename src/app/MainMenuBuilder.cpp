#include "app/MainMenuBuilder.h"

#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "app/TrayMenu.h"
#include "editor/EditorPage.h"
#include "editor/EditorShortcuts.h"
#include "editor/EditorWindowController.h"
#include "editor/RecentDocuments.h"
#include "model/Tool.h"
#include "platform/ClipboardOffer.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/ScreenCapture.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>

namespace snapkin {

using platform::L10n;
using C = AppCommand;
using H = MenuActions::Handler;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

bool showsOptionsBar()
{
    return settings().getOrDefault(keys::showOptionsBar);
}

} // namespace

MainMenuBuilder::MainMenuBuilder(MenuActions& actions, PinnedScreenshotController& pins,
                                 QObject* parent)
    : QObject(parent), m_menuActions(actions), m_pins(pins)
{
}

QAction* MainMenuBuilder::action(AppCommand command)
{
    auto found = m_actions.find(command);
    if (found != m_actions.end()) return found->second;
    QAction* made = makeCommandAction(command, m_menuActions, this);
    m_actions.emplace(command, made);

    // The pin items are the ones that follow what they can act on.
    auto& pins = m_pins;
    if (command == C::unlockPins) {
        made->setEnabled(pins.lockedCount() > 0);
        connect(&pins, &PinnedScreenshotController::lockedCountChanged, made,
                [made](int locked) { made->setEnabled(locked > 0); });
    } else if (command == C::closePins) {
        made->setEnabled(pins.count() > 0);
        connect(&pins, &PinnedScreenshotController::countChanged, made,
                [made](int count) { made->setEnabled(count > 0); });
    }
    return made;
}

QString MainMenuBuilder::optionsBarTitle()
{
    return L10n::text(showsOptionsBar() ? "Hide Options Bar" : "Show Options Bar");
}

QString MainMenuBuilder::selectableTextTitle()
{
    return L10n::text(settings().get(keys::selectableTextEnabled) ? "Hide Selectable Text"
                                                                  : "Show Selectable Text");
}

void MainMenuBuilder::install(QMainWindow& window)
{
    window.setMenuBar(makeMenuBar(&window));
}

QMenuBar* MainMenuBuilder::makeMenuBar(QWidget* parent)
{
    auto* bar = new QMenuBar(parent);
    const auto menu = [&](const char* title, void (MainMenuBuilder::*fill)(QMenu*)) {
        QMenu* m = bar->addMenu(L10n::text(title));
        (this->*fill)(m);
        // Items whose work the application hands in (settings, About, collage …) and the
        // toggles' titles are brought up to date whenever a menu opens.
        connect(m, &QMenu::aboutToShow, this, &MainMenuBuilder::refreshHandlerItems);
    };
    menu("&File", &MainMenuBuilder::fillFile);
    menu("&Edit", &MainMenuBuilder::fillEdit);
    menu("&View", &MainMenuBuilder::fillView);
    menu("&Capture", &MainMenuBuilder::fillCapture);
    menu("&Image", &MainMenuBuilder::fillImage);
    menu("&Tools", &MainMenuBuilder::fillTools);
    menu("&Window", &MainMenuBuilder::fillWindow);
    menu("&Help", &MainMenuBuilder::fillHelp);
    refreshHandlerItems();
    return bar;
}

void MainMenuBuilder::refreshHandlerItems()
{
    const MenuActions& actions = m_menuActions;
    action(C::settings)->setVisible(actions.hasHandler(H::settings));
    action(C::about)->setVisible(actions.hasHandler(H::about));
    action(C::whatsNew)->setVisible(actions.hasHandler(H::whatsNew));
    action(C::help)->setVisible(!m_menuActions.siteRoot().isEmpty());
    const bool collage =
        actions.hasHandler(H::collageSideBySide) && actions.hasHandler(H::collageStacked);
    action(C::collageSideBySide)->setVisible(collage);
    action(C::collageStacked)->setVisible(collage);
    if (m_optionsBar) m_optionsBar->setText(optionsBarTitle());
    if (m_selectableText) m_selectableText->setText(selectableTextTitle());
}

void MainMenuBuilder::fillFile(QMenu* menu)
{
    menu->addAction(action(C::newBlankCanvas));
    menu->addAction(action(C::newFromClipboard));
    menu->addAction(action(C::open));
    QMenu* recent = menu->addMenu(L10n::text("Open Recent"));
    connect(recent, &QMenu::aboutToShow, recent, [this, recent] { fillOpenRecent(recent); });
    fillOpenRecent(recent);
    menu->addAction(action(C::newTab));
    menu->addSeparator();
    menu->addAction(action(C::save));
    menu->addAction(action(C::saveAsDocument));
    menu->addAction(action(C::exportAs));
    menu->addSeparator();
    menu->addAction(action(C::closeWindow));
    menu->addAction(action(C::quit));
}

void MainMenuBuilder::fillOpenRecent(QMenu* menu)
{
    menu->clear();
    // Read as the menu opens: what was opened or written since, by any window, is there.
    const RecentDocuments recents;
    for (const QUrl& url : recents.urls()) {
        const QString path = url.toLocalFile();
        menu->addAction(recents.title(url), menu,
                        [&editors = m_menuActions.editors(), path] { editors.openFile(path); });
    }
    if (!recents.urls().isEmpty()) menu->addSeparator();
    QAction* clear = menu->addAction(commandTitle(C::clearRecent), menu,
                                     [this] { m_menuActions.clearRecentDocuments(); });
    clear->setObjectName(QStringLiteral("clearRecent"));
    clear->setEnabled(!recents.urls().isEmpty());
}

void MainMenuBuilder::fillEdit(QMenu* menu)
{
    menu->addAction(action(C::undo));
    menu->addAction(action(C::redo));
    menu->addSeparator();
    menu->addAction(action(C::cut));
    menu->addAction(action(C::copy));
    menu->addAction(action(C::paste));
    menu->addAction(action(C::deleteSelection));
    menu->addSeparator();
    menu->addAction(action(C::copyImage));
    menu->addAction(action(C::share));
    menu->addAction(action(C::copyTextFromImage));
    menu->addSeparator();
    menu->addAction(action(C::settings));
    // While the menu is open its Copy, Paste and Delete say whether they would act; closed,
    // they stay enabled so their keys always reach the command, which then decides.
    connect(menu, &QMenu::aboutToShow, this, [this] {
        const MenuActions& actions = m_menuActions;
        action(C::copy)->setEnabled(actions.canCopy());
        action(C::paste)->setEnabled(actions.canPaste());
        action(C::deleteSelection)->setEnabled(actions.canDeleteSelection());
    });
    // The clipboard may change hands, or its owner answer, while the menu is open.
    connect(&platform::ClipboardOffer::shared(), &platform::ClipboardOffer::targetsChanged, menu,
            [this, menu] {
                if (menu->isVisible()) action(C::paste)->setEnabled(m_menuActions.canPaste());
            });
    connect(menu, &QMenu::aboutToHide, this, [this] {
        for (const C command : {C::copy, C::paste, C::deleteSelection})
            action(command)->setEnabled(true);
    });
}

void MainMenuBuilder::fillView(QMenu* menu)
{
    menu->addAction(action(C::zoomIn));
    menu->addAction(action(C::zoomOut));
    menu->addAction(action(C::actualSize));
    menu->addAction(action(C::zoomToFit));
    menu->addSeparator();
    if (!m_optionsBar) {
        m_optionsBar = new QAction(optionsBarTitle(), this);
        m_optionsBar->setObjectName(QStringLiteral("toggleOptionsBar"));
        connect(m_optionsBar, &QAction::triggered, &m_menuActions, &MenuActions::toggleOptionsBar);
        m_selectableText = new QAction(selectableTextTitle(), this);
        m_selectableText->setObjectName(QStringLiteral("toggleSelectableText"));
        connect(m_selectableText, &QAction::triggered, &m_menuActions,
                &MenuActions::toggleSelectableText);
    }
    menu->addAction(m_optionsBar);
    menu->addAction(m_selectableText);
    menu->addAction(action(C::customizeToolbar));
}

void MainMenuBuilder::fillCapture(QMenu* menu)
{
    menu->addAction(action(C::captureRegion));
    menu->addAction(action(C::captureWindow));
    menu->addAction(action(C::captureFrontWindow));
    menu->addAction(action(C::captureFullScreen));
    QMenu* displays = menu->addMenu(L10n::text("Full Screen on\u2026"));
    // The screens are read each time the menu opens: only with two or more is the list shown.
    const auto listDisplays = [this, displays] {
        displays->clear();
        const QList<QScreen*> screens = QGuiApplication::screens();
        displays->menuAction()->setVisible(screens.size() >= 2);
        for (int i = 0; i < screens.size(); ++i) {
            const std::optional<std::uint32_t> id = platform::ScreenCapture::displayID(screens[i]);
            displays->addAction(TrayMenu::displayLabel(i, screens[i]->geometry().size(),
                                                       screens[i]->devicePixelRatio()),
                                displays, [this, id] { m_menuActions.captureDisplay(id); });
        }
    };
    connect(menu, &QMenu::aboutToShow, displays, listDisplays);
    listDisplays();
    menu->addAction(action(C::recaptureLastRegion));
    menu->addAction(action(C::copyTextFromRegion));
    menu->addSeparator();
    QMenu* quick = menu->addMenu(L10n::text("Quick Capture"));
    for (const C command :
         {C::regionToClipboard, C::regionToFile, C::fullScreenToClipboard, C::fullScreenToFile})
        quick->addAction(action(command));
    menu->addSeparator();
    menu->addAction(action(C::collageSideBySide));
    menu->addAction(action(C::collageStacked));
}

void MainMenuBuilder::fillImage(QMenu* menu)
{
    menu->addAction(action(C::rotateLeft));
    menu->addAction(action(C::rotateRight));
    menu->addSeparator();
    menu->addAction(action(C::flipHorizontal));
    menu->addAction(action(C::flipVertical));
    menu->addSeparator();
    menu->addAction(action(C::resizeImage));
    menu->addAction(action(C::sharpenImage));
    menu->addAction(action(C::crop));
    menu->addSeparator();
    menu->addAction(action(C::pinToScreen));
}

void MainMenuBuilder::fillTools(QMenu* menu)
{
    if (m_toolActions.isEmpty()) {
        for (const Tool tool : allCases<Tool>) {
            auto* item = new QAction(label(tool), this);
            item->setObjectName(QStringLiteral("tool.") + toRaw(tool));
            item->setShortcut(toolMenuShortcut(tool));
            item->setShortcutVisibleInContextMenu(true);
            connect(item, &QAction::triggered, &m_menuActions,
                    [this, tool] { m_menuActions.selectTool(tool); });
            m_toolActions << item;
        }
    }
    menu->addActions(m_toolActions);
}

void MainMenuBuilder::fillWindow(QMenu* menu)
{
    if (!m_minimize) {
        m_minimize = new QAction(L10n::text("Minimize"), this);
        m_minimize->setObjectName(QStringLiteral("minimize"));
        m_minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
        connect(m_minimize, &QAction::triggered, this, [] {
            if (QWidget* window = QApplication::activeWindow()) window->showMinimized();
        });
    }
    menu->addAction(action(C::startWindow));
    menu->addSeparator();
    menu->addAction(m_minimize);
    menu->addSeparator();
    menu->addAction(action(C::unlockPins));
    menu->addAction(action(C::closePins));
    connect(menu, &QMenu::aboutToShow, menu, [this, menu] { listOpenEditors(menu); });
    listOpenEditors(menu);
}

void MainMenuBuilder::listOpenEditors(QMenu* menu)
{
    // The list of the last opening goes; the items before it stay.
    static const char* const listed = "snapkinEditorListItem";
    for (QAction* item : menu->actions()) {
        if (item->property(listed).toBool()) {
            menu->removeAction(item);
            delete item;
        }
    }
    const QList<EditorPage*> pages = m_menuActions.editors().pages();
    if (pages.isEmpty()) return;
    const QWidget* current = m_menuActions.keyEditorWindow();
    menu->addSeparator()->setProperty(listed, true);
    // Every page, tabs included, oldest first, under its tab's title; the key editor's current
    // page is checked.
    for (EditorPage* page : pages) {
        QPointer<EditorPage> target = page;
        QAction* item = menu->addAction(page->title(), menu, [target] {
            if (target) EditorWindowController::bringForward(target);
        });
        item->setProperty(listed, true);
        item->setCheckable(true);
        item->setChecked(page == current);
    }
}

void MainMenuBuilder::fillHelp(QMenu* menu)
{
    menu->addAction(action(C::help));
    menu->addAction(action(C::keyboardShortcuts));
    menu->addAction(action(C::whatsNew));
    menu->addSeparator();
    menu->addAction(action(C::about));
}

} // namespace snapkin
