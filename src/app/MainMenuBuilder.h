#pragma once

#include "app/AppCommands.h"

#include <QObject>

#include <initializer_list>
#include <map>
#include <optional>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;

namespace snapkin {

class MenuActions;
class PinnedScreenshotController;

// The main menu of every editor window, built from the command table: File, Edit, View,
// Capture, Image, Tools, Window and Help. The Window menu ends with the open editors, each tab
// an item of its own; choosing one brings it forward. Each command has one action shared by every
// window's menu bar, so a title, key or enabled state is the same everywhere. Lists that change
// (recent documents, displays, pins, the toggles' titles) are read again each time their menu
// opens.
//
// Only "Clear Menu" and the pin items are ever disabled for what they can act on; the Edit
// menu's Copy, Paste and Delete show whether they would act while the menu is open. Every
// other item stays enabled and does nothing when it finds no editor to act on.
class MainMenuBuilder : public QObject {
    Q_OBJECT
public:
    MainMenuBuilder(MenuActions& actions, PinnedScreenshotController& pins,
                    QObject* parent = nullptr);

    // Gives `window` its menu bar.
    void install(QMainWindow& window);
    // A menu bar filled with the menus, owned by the caller (tests walk it).
    QMenuBar* makeMenuBar(QWidget* parent);

    // The one action of `command`.
    QAction* action(AppCommand command);
    // The title of the Options Bar and Selectable Text toggles for the current settings.
    static QString optionsBarTitle();
    static QString selectableTextTitle();

private:
    // Adds the actions of `items` in order; an empty item is a separator.
    void addItems(QMenu* menu, std::initializer_list<std::optional<AppCommand>> items);
    void fillFile(QMenu* menu);
    void fillOpenRecent(QMenu* menu);
    void fillEdit(QMenu* menu);
    void fillView(QMenu* menu);
    void fillCapture(QMenu* menu);
    void fillImage(QMenu* menu);
    void fillTools(QMenu* menu);
    void fillWindow(QMenu* menu);
    void fillHelp(QMenu* menu);
    // The open editor pages at the end of the Window menu, as they are now.
    void listOpenEditors(QMenu* menu);
    void refreshHandlerItems();

    MenuActions& m_menuActions;
    PinnedScreenshotController& m_pins;
    std::map<AppCommand, QAction*> m_actions;
    QAction* m_optionsBar = nullptr;
    QAction* m_selectableText = nullptr;
    QAction* m_minimize = nullptr;
    QList<QAction*> m_toolActions;
};

} // namespace snapkin
