#include "app/AppCommands.h"

#include "app/MenuActions.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "editor/EditorShortcuts.h"
#include "platform/L10n.h"

#include <QAction>

namespace snapkin {

namespace {

using C = AppCommand;
using M = MenuActions;

constexpr AppCommandInfo table[] = {
    {C::about, "about", "About Snapkin", &M::about},
    {C::settings, "settings", "Settings\u2026", &M::settings, Qt::CTRL | Qt::Key_Comma},
    {C::quit, "quit", "Quit Snapkin", &M::quit, Qt::CTRL | Qt::Key_Q},
    {C::openSnapkin, "openSnapkin", "Open Snapkin", &M::openSnapkin},
    {C::whatsNew, "whatsNew", "What's New in Snapkin 2.0\u2026", &M::whatsNew},
    {C::welcome, "welcome", "Welcome\u2026", &M::welcome},
    {C::newsletter, "newsletter", "Snapkin news\u2026", &M::newsletter},
    {C::help, "help", "Snapkin Help", &M::openHelp, Qt::CTRL | Qt::Key_Question},
    {C::captureRegion, "captureRegion", "Capture Region", &M::captureRegion},
    {C::captureWindow, "captureWindow", "Capture Window", &M::captureWindow},
    {C::captureFrontWindow, "captureFrontWindow", "Capture Front Window", &M::captureFrontWindow},
    {C::captureFullScreen, "captureFullScreen", "Capture Full Screen", &M::captureFullScreen},
    {C::trayFullScreen, "trayFullScreen", "Full Screen", &M::captureFullScreen},
    {C::recaptureLastRegion, "recaptureLastRegion", "Recapture Last Region",
     &M::recaptureLastRegion},
    {C::copyTextFromRegion, "copyTextFromRegion", "Copy Text from Region", &M::copyTextFromRegion},
    {C::regionToClipboard, "regionToClipboard", "Region to Clipboard", &M::regionToClipboard},
    {C::regionToFile, "regionToFile", "Region to File", &M::regionToFile},
    {C::fullScreenToClipboard, "fullScreenToClipboard", "Full Screen to Clipboard",
     &M::fullScreenToClipboard},
    {C::fullScreenToFile, "fullScreenToFile", "Full Screen to File", &M::fullScreenToFile},
    {C::collageSideBySide, "collageSideBySide", "New Collage \u2014 Side by side",
     &M::collageSideBySide},
    {C::collageStacked, "collageStacked", "New Collage \u2014 Stacked", &M::collageStacked},
    {C::collageSideBySideShort, "collageSideBySideShort", "Side by side", &M::collageSideBySide},
    {C::collageStackedShort, "collageStackedShort", "Stacked", &M::collageStacked},
    {C::newBlankCanvas, "newBlankCanvas", "New Blank Canvas", &M::newBlankCanvas,
     Qt::CTRL | Qt::Key_N},
    {C::newFromClipboard, "newFromClipboard", "New from Clipboard", &M::newFromClipboard,
     Qt::CTRL | Qt::SHIFT | Qt::Key_N},
    {C::open, "open", "Open\u2026", &M::openImage, Qt::CTRL | Qt::Key_O},
    {C::openImage, "openImage", "Open Image\u2026", &M::openImage},
    {C::clearRecent, "clearRecent", "Clear Menu", &M::clearRecentDocuments},
    {C::newTab, "newTab", "New Tab", &M::newTab, Qt::CTRL | Qt::Key_T},
    {C::save, "save", "Save\u2026", &M::save},
    {C::saveAsDocument, "saveAsDocument", "Save as Snapkin Document\u2026", &M::saveAsDocument,
     Qt::CTRL | Qt::SHIFT | Qt::Key_S},
    {C::exportAs, "exportAs", "Export As\u2026", &M::save},
    // The desktop's key for closing a window or tab.
    {C::closeWindow, "closeWindow", "Close Window", &M::closeWindow, Qt::CTRL | Qt::Key_W},
    {C::undo, "undo", "Undo", &M::undo},
    {C::redo, "redo", "Redo", &M::redo},
    {C::cut, "cut", "Cut", &M::cut, Qt::CTRL | Qt::Key_X},
    {C::copy, "copy", "Copy", &M::copy},
    {C::paste, "paste", "Paste", &M::paste, Qt::CTRL | Qt::Key_V},
    {C::deleteSelection, "deleteSelection", "Delete", &M::deleteSelection},
    {C::copyImage, "copyImage", "Copy Image", &M::copyImageOnly, Qt::CTRL | Qt::SHIFT | Qt::Key_C},
    {C::share, "share", "Share\u2026", &M::share},
    {C::copyTextFromImage, "copyTextFromImage", "Copy Text from Image", &M::copyTextFromImage},
    {C::zoomIn, "zoomIn", "Zoom In", &M::zoomIn},
    {C::zoomOut, "zoomOut", "Zoom Out", &M::zoomOut},
    {C::actualSize, "actualSize", "Actual Size", &M::actualSize},
    {C::zoomToFit, "zoomToFit", "Zoom to Fit", &M::zoomToFit},
    {C::customizeToolbar, "customizeToolbar", "Customize Toolbar\u2026", &M::customizeToolbar},
    {C::startWindow, "startWindow", "Start Window", &M::startWindow,
     Qt::CTRL | Qt::SHIFT | Qt::Key_1},
    {C::unlockPins, "unlockPins", "Unlock Pinned Screenshots", &M::unlockPins,
     Qt::CTRL | Qt::ALT | Qt::Key_U},
    {C::closePins, "closePins", "Close Pinned Screenshots", &M::closePins},
    {C::keyboardShortcuts, "keyboardShortcuts", "Keyboard Shortcuts", &M::showKeyboardShortcuts},
    {C::rotateLeft, "rotateLeft", "Rotate Counterclockwise", &M::rotateLeft},
    {C::rotateRight, "rotateRight", "Rotate Clockwise", &M::rotateRight},
    {C::flipHorizontal, "flipHorizontal", "Flip Horizontal", &M::flipHorizontal},
    {C::flipVertical, "flipVertical", "Flip Vertical", &M::flipVertical},
    {C::resizeImage, "resizeImage", "Resize Image\u2026", &M::resizeImage},
    {C::sharpenImage, "sharpenImage", "Sharpen\u2026", &M::sharpenImage},
    {C::crop, "crop", "Crop\u2026", &M::beginCrop},
    {C::pinToScreen, "pinToScreen", "Pin to Screen", &M::pinToScreen},
};

// The capture items show the built-in global shortcuts: they stay as they are when the user
// records others.
QKeySequence builtInHotKey(CaptureAction action)
{
    return CaptureHotKey::builtIn(action).keySequence();
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
    switch (command) {
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
    default:
        break;
    }
    const QKeyCombination key = commandInfo(command).key;
    return key == QKeyCombination() ? QList<QKeySequence>() : QList{QKeySequence(key)};
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
    QObject::connect(action, &QAction::triggered, &actions,
                     [&actions, run = commandInfo(command).run] { (actions.*run)(); });
    return action;
}

void runCommand(AppCommand command, MenuActions& actions)
{
    (actions.*commandInfo(command).run)();
}

} // namespace snapkin
