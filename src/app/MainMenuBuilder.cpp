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

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace snapkin {

using platform::L10n;
using C = AppCommand;
using H = MenuActions::Handler;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// Ends a group of items in a list given to addItems().
constexpr auto separator = std::nullopt;

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

void MainMenuBuilder::addItems(QMenu* menu, std::initializer_list<std::optional<AppCommand>> items)
{
    for (const std::optional<AppCommand> command : items) {
        if (command)
            menu->addAction(action(*command));
        else
            menu->addSeparator();
    }
}

void MainMenuBuilder::fillFile(QMenu* menu)
{
    addItems(menu, {C::newBlankCanvas, C::newFromClipboard, C::open});
    QMenu* recent = menu->addMenu(L10n::text("Open Recent"));
    connect(recent, &QMenu::aboutToShow, recent, [this, recent] { fillOpenRecent(recent); });
    fillOpenRecent(recent);
    addItems(menu, {C::newTab, separator, C::save, C::saveAsDocument, C::exportAs, separator,
                    C::closeWindow, C::quit});
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
    addItems(menu,
             {C::undo, C::redo, separator, C::cut, C::copy, C::paste, C::deleteSelection, separator,
              C::copyImage, C::share, C::copyTextFromImage, separator, C::settings});
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
    addItems(menu, {C::zoomIn, C::zoomOut, C::actualSize, C::zoomToFit, separator});
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
    addItems(menu,
             {C::captureRegion, C::captureWindow, C::captureFrontWindow, C::captureFullScreen});
    QMenu* displays = menu->addMenu(L10n::text("Full Screen on\u2026"));
    // The screens are read each time the menu opens: only with two or more is the list shown.
    const auto listDisplays = [this, displays] {
        displays->clear();
        displays->menuAction()->setVisible(QGuiApplication::screens().size() >= 2);
        TrayMenu::addDisplayItems(displays, m_menuActions);
    };
    connect(menu, &QMenu::aboutToShow, displays, listDisplays);
    listDisplays();
    addItems(menu, {C::recaptureLastRegion, C::copyTextFromRegion, separator});
    addItems(
        menu->addMenu(L10n::text("Quick Capture")),
        {C::regionToClipboard, C::regionToFile, C::fullScreenToClipboard, C::fullScreenToFile});
    addItems(menu, {separator, C::collageSideBySide, C::collageStacked});
}

void MainMenuBuilder::fillImage(QMenu* menu)
{
    addItems(menu,
             {C::rotateLeft, C::rotateRight, separator, C::flipHorizontal, C::flipVertical,
              separator, C::resizeImage, C::sharpenImage, C::crop, separator, C::pinToScreen});
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
    addItems(menu, {C::startWindow, separator});
    menu->addAction(m_minimize);
    addItems(menu, {separator, C::unlockPins, C::closePins});
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
    const QWidget* current = m_menuActions.keyPage();
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
    addItems(menu, {C::help, C::keyboardShortcuts, C::whatsNew, separator, C::about});
}

} // namespace snapkin
