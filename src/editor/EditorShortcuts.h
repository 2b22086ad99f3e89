#pragma once

#include "model/Tool.h"

#include <QKeySequence>
#include <QList>
#include <QString>

#include <span>

namespace snapkin {

// The editor's keyboard shortcuts, kept in this one table. The main menu builds its commands
// from it, the keyboard shortcuts sheet lists it, and every other text that shows a key reads
// it here: key texts are always generated from the sequences (QKeySequence::NativeText), never
// typed, so what is shown is what works on this desktop.
//
// Two kinds of keys exist:
// - the general commands below, each with its menu title and keys;
// - per tool, a plain letter (handled by the tool-key monitor while the canvas has the
//   keyboard) and the Tools menu's Alt+Shift+letter. Alt+Shift rather than Ctrl+Alt, which
//   common desktops take for themselves (Ctrl+Alt+T, L, D).

enum class EditorCommand {
    undo,
    redo,
    deleteSelection,
    copy,
    save,
    zoomIn,
    zoomOut,
    actualSize,
    zoomToFit,
    rotateCounterclockwise,
    rotateClockwise,
    resizeImage,
    keyboardShortcuts,
};

struct EditorShortcut {
    EditorCommand command;
    // A stable name for the command ("zoomIn"), for menus and tests.
    const char* identifier;
    // The menu title, a localisation key in English ("Zoom In").
    const char* title;
    // The keys, the main one first; a menu binds and shows the first. "Delete" has two.
    QList<QKeySequence> keys;
    // True for a key the tool-key monitor handles itself ("?"): it counts only while the
    // canvas has the keyboard and not while a crop is being set, so a menu shows it beside its
    // title without binding it.
    bool isToolKey = false;
};

// The general shortcuts, in the order the keyboard shortcuts sheet lists them.
std::span<const EditorShortcut> generalShortcuts();
const EditorShortcut& editorShortcut(EditorCommand command);

// The single key that makes `tool` current: its letter, without modifiers.
QKeySequence toolKey(Tool tool);
// The Tools menu's shortcut for `tool`: Alt+Shift and its letter.
QKeySequence toolMenuShortcut(Tool tool);

// How a key is shown: the sequence in the desktop's native form ("Ctrl+Shift+Z").
QString keyText(const QKeySequence& keys);
// Alternatives, each as keyText(), joined by ", ".
QString keyText(const QList<QKeySequence>& keys);
// The modifiers of the Tools menu's shortcuts alone, as they are shown ("Alt+Shift").
QString toolMenuModifierText();

} // namespace snapkin
