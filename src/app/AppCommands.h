#pragma once

#include <QKeySequence>
#include <QString>

#include <optional>

class QAction;
class QObject;

namespace snapkin {

class MenuActions;

// Every command of the main menu and the tray menu, with its title and keys, in one table. Both
// menus make their items from it, so a title or a key is written once.
enum class AppCommand {
    // Application.
    about,
    settings,
    quit,
    openSnapkin,
    whatsNew,
    welcome,
    newsletter,
    help,
    // Captures.
    captureRegion,
    captureWindow,
    captureFrontWindow,
    captureFullScreen,
    trayFullScreen, // the tray's shorter title for the same capture
    recaptureLastRegion,
    copyTextFromRegion,
    regionToClipboard,
    regionToFile,
    fullScreenToClipboard,
    fullScreenToFile,
    collageSideBySide,
    collageStacked,
    collageSideBySideShort, // the tray's submenu titles
    collageStackedShort,
    // File.
    newBlankCanvas,
    newFromClipboard,
    open,
    openImage, // the tray's title for Open…
    clearRecent,
    newTab,
    save,
    saveAsDocument,
    exportAs,
    closeWindow,
    // Edit.
    undo,
    redo,
    cut,
    copy,
    paste,
    deleteSelection,
    copyImage,
    share,
    copyTextFromImage,
    // View.
    zoomIn,
    zoomOut,
    actualSize,
    zoomToFit,
    customizeToolbar,
    // Window.
    startWindow,
    unlockPins,
    closePins,
    // Help.
    keyboardShortcuts,
    // Image.
    rotateLeft,
    rotateRight,
    flipHorizontal,
    flipVertical,
    resizeImage,
    sharpenImage,
    crop,
    pinToScreen,
};

struct AppCommandInfo {
    AppCommand command;
    const char* identifier;     // stable, for object names and tests ("captureRegion")
    const char* title;          // localisation key in English
    void (MenuActions::*run)(); // the command's work
    // Its key, when it has one of its own; the editor's and the capture commands' keys come
    // from their own tables (see commandKeys()).
    QKeyCombination key = {};
};

const AppCommandInfo& commandInfo(AppCommand command);
// The localised title.
QString commandTitle(AppCommand command);
// The command's keys, the main one first; empty for none.
QList<QKeySequence> commandKeys(AppCommand command);

// Whether a window binds the command's key, or only shows it: the capture keys are global
// shortcuts, and the editor page handles Delete and its tool keys itself.
bool commandBindsKeys(AppCommand command);

// A new action for `command`: its title, its keys (bound when `bindsKeys`, otherwise only
// shown beside the title) and its work on `actions`.
QAction* makeCommandAction(AppCommand command, MenuActions& actions, QObject* parent,
                           bool bindsKeys = true);
// Runs the work of `command` on `actions`, as its menu item does.
void runCommand(AppCommand command, MenuActions& actions);

} // namespace snapkin
