#include "app/AppCommands.h"

#include "app/MenuActions.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "editor/EditorShortcuts.h"
#include "platform/L10n.h"

#include <QAction>

#include <array>

namespace snapkin {

namespace {

using C = AppCommand;

constexpr std::array table{
    AppCommandInfo{C::about, "about", "About Snapkin"},
    AppCommandInfo{C::settings, "settings", "Settings\u2026"},
    AppCommandInfo{C::quit, "quit", "Quit Snapkin"},
    AppCommandInfo{C::openSnapkin, "openSnapkin", "Open Snapkin"},
    AppCommandInfo{C::whatsNew, "whatsNew", "What's New in Snapkin 2.0\u2026"},
    AppCommandInfo{C::welcome, "welcome", "Welcome\u2026"},
    AppCommandInfo{C::newsletter, "newsletter", "Snapkin news\u2026"},
    AppCommandInfo{C::help, "help", "Snapkin Help"},
    AppCommandInfo{C::captureRegion, "captureRegion", "Capture Region"},
    AppCommandInfo{C::captureWindow, "captureWindow", "Capture Window"},
    AppCommandInfo{C::captureFrontWindow, "captureFrontWindow", "Capture Front Window"},
    AppCommandInfo{C::captureFullScreen, "captureFullScreen", "Capture Full Screen"},
    AppCommandInfo{C::trayFullScreen, "trayFullScreen", "Full Screen"},
    AppCommandInfo{C::recaptureLastRegion, "recaptureLastRegion", "Recapture Last Region"},
    AppCommandInfo{C::copyTextFromRegion, "copyTextFromRegion", "Copy Text from Region"},
    AppCommandInfo{C::regionToClipboard, "regionToClipboard", "Region to Clipboard"},
    AppCommandInfo{C::regionToFile, "regionToFile", "Region to File"},
    AppCommandInfo{C::fullScreenToClipboard, "fullScreenToClipboard", "Full Screen to Clipboard"},
    AppCommandInfo{C::fullScreenToFile, "fullScreenToFile", "Full Screen to File"},
    AppCommandInfo{C::collageSideBySide, "collageSideBySide", "New Collage \u2014 Side by side"},
    AppCommandInfo{C::collageStacked, "collageStacked", "New Collage \u2014 Stacked"},
    AppCommandInfo{C::collageSideBySideShort, "collageSideBySideShort", "Side by side"},
    AppCommandInfo{C::collageStackedShort, "collageStackedShort", "Stacked"},
    AppCommandInfo{C::newBlankCanvas, "newBlankCanvas", "New Blank Canvas"},
    AppCommandInfo{C::newFromClipboard, "newFromClipboard", "New from Clipboard"},
    AppCommandInfo{C::open, "open", "Open\u2026"},
    AppCommandInfo{C::openImage, "openImage", "Open Image\u2026"},
    AppCommandInfo{C::clearRecent, "clearRecent", "Clear Menu"},
    AppCommandInfo{C::newTab, "newTab", "New Tab"},
    AppCommandInfo{C::save, "save", "Save\u2026"},
    AppCommandInfo{C::saveAsDocument, "saveAsDocument", "Save as Snapkin Document\u2026"},
    AppCommandInfo{C::exportAs, "exportAs", "Export As\u2026"},
    AppCommandInfo{C::closeWindow, "closeWindow", "Close Window"},
    AppCommandInfo{C::undo, "undo", "Undo"},
    AppCommandInfo{C::redo, "redo", "Redo"},
    AppCommandInfo{C::cut, "cut", "Cut"},
    AppCommandInfo{C::copy, "copy", "Copy"},
    AppCommandInfo{C::paste, "paste", "Paste"},
    AppCommandInfo{C::deleteSelection, "deleteSelection", "Delete"},
    AppCommandInfo{C::copyImage, "copyImage", "Copy Image"},
    AppCommandInfo{C::share, "share", "Share\u2026"},
    AppCommandInfo{C::copyTextFromImage, "copyTextFromImage", "Copy Text from Image"},
    AppCommandInfo{C::zoomIn, "zoomIn", "Zoom In"},
    AppCommandInfo{C::zoomOut, "zoomOut", "Zoom Out"},
    AppCommandInfo{C::actualSize, "actualSize", "Actual Size"},
    AppCommandInfo{C::zoomToFit, "zoomToFit", "Zoom to Fit"},
    AppCommandInfo{C::customizeToolbar, "customizeToolbar", "Customize Toolbar\u2026"},
    AppCommandInfo{C::startWindow, "startWindow", "Start Window"},
    AppCommandInfo{C::unlockPins, "unlockPins", "Unlock Pinned Screenshots"},
    AppCommandInfo{C::closePins, "closePins", "Close Pinned Screenshots"},
    AppCommandInfo{C::keyboardShortcuts, "keyboardShortcuts", "Keyboard Shortcuts"},
    AppCommandInfo{C::rotateLeft, "rotateLeft", "Rotate Counterclockwise"},
    AppCommandInfo{C::rotateRight, "rotateRight", "Rotate Clockwise"},
    AppCommandInfo{C::flipHorizontal, "flipHorizontal", "Flip Horizontal"},
    AppCommandInfo{C::flipVertical, "flipVertical", "Flip Vertical"},
    AppCommandInfo{C::resizeImage, "resizeImage", "Resize Image\u2026"},
    AppCommandInfo{C::sharpenImage, "sharpenImage", "Sharpen\u2026"},
    AppCommandInfo{C::crop, "crop", "Crop\u2026"},
    AppCommandInfo{C::pinToScreen, "pinToScreen", "Pin to Screen"},
};

QKeySequence chord(Qt::KeyboardModifiers modifiers, Qt::Key key)
{
    return QKeySequence(QKeyCombination(modifiers, key));
}

// The capture items show the built-in global shortcuts: they stay as they are when the user
// records others.
QKeySequence builtInHotKey(CaptureAction action)
{
    return CaptureHotKey::builtIn(action).keySequence();
}

using Slot = void (MenuActions::*)();

Slot slotFor(AppCommand command)
{
    using M = MenuActions;
    switch (command) {
    case C::about:
        return &M::about;
    case C::settings:
        return &M::settings;
    case C::quit:
        return &M::quit;
    case C::openSnapkin:
        return &M::openSnapkin;
    case C::whatsNew:
        return &M::whatsNew;
    case C::welcome:
        return &M::welcome;
    case C::newsletter:
        return &M::newsletter;
    case C::help:
        return &M::openHelp;
    case C::captureRegion:
        return &M::captureRegion;
    case C::captureWindow:
        return &M::captureWindow;
    case C::captureFrontWindow:
        return &M::captureFrontWindow;
    case C::captureFullScreen:
    case C::trayFullScreen:
        return &M::captureFullScreen;
    case C::recaptureLastRegion:
        return &M::recaptureLastRegion;
    case C::copyTextFromRegion:
        return &M::copyTextFromRegion;
    case C::regionToClipboard:
        return &M::regionToClipboard;
    case C::regionToFile:
        return &M::regionToFile;
    case C::fullScreenToClipboard:
        return &M::fullScreenToClipboard;
    case C::fullScreenToFile:
        return &M::fullScreenToFile;
    case C::collageSideBySide:
    case C::collageSideBySideShort:
        return &M::collageSideBySide;
    case C::collageStacked:
    case C::collageStackedShort:
        return &M::collageStacked;
    case C::newBlankCanvas:
        return &M::newBlankCanvas;
    case C::newFromClipboard:
        return &M::newFromClipboard;
    case C::open:
    case C::openImage:
        return &M::openImage;
    case C::clearRecent:
        return &M::clearRecentDocuments;
    case C::newTab:
        return &M::newTab;
    case C::save:
        return &M::save;
    case C::saveAsDocument:
        return &M::saveAsDocument;
    case C::exportAs:
        return &M::exportImage;
    case C::closeWindow:
        return &M::closeWindow;
    case C::undo:
        return &M::undo;
    case C::redo:
        return &M::redo;
    case C::cut:
        return &M::cut;
    case C::copy:
        return &M::copy;
    case C::paste:
        return &M::paste;
    case C::deleteSelection:
        return &M::deleteSelection;
    case C::copyImage:
        return &M::copyImageOnly;
    case C::share:
        return &M::share;
    case C::copyTextFromImage:
        return &M::copyTextFromImage;
    case C::zoomIn:
        return &M::zoomIn;
    case C::zoomOut:
        return &M::zoomOut;
    case C::actualSize:
        return &M::actualSize;
    case C::zoomToFit:
        return &M::zoomToFit;
    case C::customizeToolbar:
        return &M::customizeToolbar;
    case C::startWindow:
        return &M::startWindow;
    case C::unlockPins:
        return &M::unlockPins;
    case C::closePins:
        return &M::closePins;
    case C::keyboardShortcuts:
        return &M::showKeyboardShortcuts;
    case C::rotateLeft:
        return &M::rotateLeft;
    case C::rotateRight:
        return &M::rotateRight;
    case C::flipHorizontal:
        return &M::flipHorizontal;
    case C::flipVertical:
        return &M::flipVertical;
    case C::resizeImage:
        return &M::resizeImage;
    case C::sharpenImage:
        return &M::sharpenImage;
    case C::crop:
        return &M::beginCrop;
    case C::pinToScreen:
        return &M::pinToScreen;
    }
    return nullptr;
}

} // namespace

const AppCommandInfo& commandInfo(AppCommand command)
{
    for (const AppCommandInfo& info : table)
        if (info.command == command) return info;
    Q_UNREACHABLE();
}

QString commandTitle(AppCommand command)
{
    return platform::L10n::text(commandInfo(command).title);
}

static std::optional<EditorCommand> editorCommand(AppCommand command)
{
    switch (command) {
    case C::undo:
        return EditorCommand::undo;
    case C::redo:
        return EditorCommand::redo;
    case C::deleteSelection:
        return EditorCommand::deleteSelection;
    case C::copy:
        return EditorCommand::copy;
    case C::save:
        return EditorCommand::save;
    case C::zoomIn:
        return EditorCommand::zoomIn;
    case C::zoomOut:
        return EditorCommand::zoomOut;
    case C::actualSize:
        return EditorCommand::actualSize;
    case C::zoomToFit:
        return EditorCommand::zoomToFit;
    case C::rotateLeft:
        return EditorCommand::rotateCounterclockwise;
    case C::rotateRight:
        return EditorCommand::rotateClockwise;
    case C::resizeImage:
        return EditorCommand::resizeImage;
    case C::keyboardShortcuts:
        return EditorCommand::keyboardShortcuts;
    default:
        return std::nullopt;
    }
}

QList<QKeySequence> commandKeys(AppCommand command)
{
    // "?" opens the sheet from the canvas, as a tool key; the Help item has no key of its own.
    if (command == C::keyboardShortcuts) return {};
    // The editor's commands take their keys from the editor's own table.
    if (const auto editor = editorCommand(command)) return editorShortcut(*editor).keys;
    constexpr auto ctrl = Qt::ControlModifier;
    constexpr auto shift = Qt::ShiftModifier;
    switch (command) {
    case C::settings:
        return {chord(ctrl, Qt::Key_Comma)};
    case C::quit:
        return {chord(ctrl, Qt::Key_Q)};
    case C::help:
        return {chord(ctrl, Qt::Key_Question)};
    case C::captureRegion:
        return {builtInHotKey(CaptureAction::region)};
    case C::captureWindow:
        return {builtInHotKey(CaptureAction::window)};
    case C::captureFrontWindow:
        return {builtInHotKey(CaptureAction::frontWindow)};
    case C::captureFullScreen:
    case C::trayFullScreen:
        return {builtInHotKey(CaptureAction::fullScreen)};
    case C::recaptureLastRegion:
        return {builtInHotKey(CaptureAction::lastRegion)};
    case C::copyTextFromRegion:
        return {builtInHotKey(CaptureAction::copyText)};
    case C::newBlankCanvas:
        return {chord(ctrl, Qt::Key_N)};
    case C::newFromClipboard:
        return {chord(ctrl | shift, Qt::Key_N)};
    case C::open:
        return {chord(ctrl, Qt::Key_O)};
    case C::newTab:
        return {chord(ctrl, Qt::Key_T)};
    case C::saveAsDocument:
        return {chord(ctrl | shift, Qt::Key_S)};
    case C::closeWindow:
        return {chord(ctrl, Qt::Key_W)}; // the desktop's key for closing a window or tab
    case C::cut:
        return {chord(ctrl, Qt::Key_X)};
    case C::paste:
        return {chord(ctrl, Qt::Key_V)};
    case C::copyImage:
        return {chord(ctrl | shift, Qt::Key_C)};
    case C::startWindow:
        return {chord(ctrl | shift, Qt::Key_1)};
    case C::unlockPins:
        return {chord(ctrl | Qt::AltModifier, Qt::Key_U)};
    default:
        return {};
    }
}

bool commandBindsKeys(AppCommand command)
{
    switch (command) {
    // The capture keys are global shortcuts; a window binding them too would take them first.
    case C::captureRegion:
    case C::captureWindow:
    case C::captureFrontWindow:
    case C::captureFullScreen:
    case C::trayFullScreen:
    case C::recaptureLastRegion:
    case C::copyTextFromRegion:
        return false;
    default:
        break;
    }
    if (const auto editor = editorCommand(command)) {
        const EditorShortcut& shortcut = editorShortcut(*editor);
        // Delete and Backspace are the editor page's own keys (they work only with a selection,
        // never while text is typed); "?" is a tool key of the canvas.
        return !shortcut.isToolKey && *editor != EditorCommand::deleteSelection;
    }
    return true;
}

QAction* makeCommandAction(AppCommand command, MenuActions& actions, QObject* parent,
                           bool bindsKeys)
{
    auto* action = new QAction(commandTitle(command), parent);
    action->setObjectName(QString::fromLatin1(commandInfo(command).identifier));
    const QList<QKeySequence> bound = commandKeys(command);
    if (!bound.isEmpty()) {
        // A menu shows and binds the main key.
        action->setShortcut(bound.first());
        action->setShortcutVisibleInContextMenu(true);
        // Shown beside the title only: the key works where the application binds it (a global
        // shortcut, an editor's own key), not through this item.
        if (!bindsKeys || !commandBindsKeys(command))
            action->setShortcutContext(Qt::WidgetShortcut);
    }
    if (const Slot slot = slotFor(command))
        QObject::connect(action, &QAction::triggered, &actions,
                         [&actions, slot] { (actions.*slot)(); });
    return action;
}

void runCommand(AppCommand command, MenuActions& actions)
{
    if (const Slot slot = slotFor(command)) (actions.*slot)();
}

} // namespace snapkin
