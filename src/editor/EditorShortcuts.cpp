#include "editor/EditorShortcuts.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace snapkin {

namespace {

constexpr Qt::KeyboardModifiers toolMenuModifiers = Qt::AltModifier | Qt::ShiftModifier;

QKeySequence ctrl(Qt::Key key, Qt::KeyboardModifiers more = Qt::NoModifier)
{
    return QKeySequence(QKeyCombination(Qt::ControlModifier | more, key));
}

Qt::Key letterKey(Tool tool)
{
    // Qt's letter keys are the upper-case ASCII codes.
    return Qt::Key(menuShortcut(tool).toUpper().unicode());
}

} // namespace

std::span<const EditorShortcut> generalShortcuts()
{
    static const std::array<EditorShortcut, 13> shortcuts{{
        {EditorCommand::undo, "undo", "Undo", {ctrl(Qt::Key_Z)}},
        {EditorCommand::redo, "redo", "Redo", {ctrl(Qt::Key_Z, Qt::ShiftModifier)}},
        {EditorCommand::deleteSelection,
         "delete",
         "Delete",
         {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)}},
        {EditorCommand::copy, "copy", "Copy", {ctrl(Qt::Key_C)}},
        {EditorCommand::save, "save", "Save…", {ctrl(Qt::Key_S)}},
        {EditorCommand::zoomIn, "zoomIn", "Zoom In", {ctrl(Qt::Key_Plus)}},
        {EditorCommand::zoomOut, "zoomOut", "Zoom Out", {ctrl(Qt::Key_Minus)}},
        {EditorCommand::actualSize, "actualSize", "Actual Size", {ctrl(Qt::Key_0)}},
        {EditorCommand::zoomToFit, "zoomToFit", "Fit to Window", {ctrl(Qt::Key_9)}},
        {EditorCommand::rotateCounterclockwise,
         "rotateCounterclockwise",
         "Rotate Counterclockwise",
         {ctrl(Qt::Key_BracketLeft)}},
        {EditorCommand::rotateClockwise,
         "rotateClockwise",
         "Rotate Clockwise",
         {ctrl(Qt::Key_BracketRight)}},
        {EditorCommand::resizeImage,
         "resizeImage",
         "Resize Image…",
         {ctrl(Qt::Key_R, Qt::ShiftModifier)}},
        {EditorCommand::keyboardShortcuts,
         "keyboardShortcuts",
         "Keyboard Shortcuts",
         {QKeySequence(Qt::Key_Question)},
         true},
    }};
    return shortcuts;
}

const EditorShortcut& editorShortcut(EditorCommand command)
{
    const std::span<const EditorShortcut> all = generalShortcuts();
    const auto found = std::ranges::find(all, command, &EditorShortcut::command);
    Q_ASSERT(found != all.end());
    return *found;
}

QKeySequence toolKey(Tool tool)
{
    return QKeySequence(letterKey(tool));
}

QKeySequence toolMenuShortcut(Tool tool)
{
    return QKeySequence(QKeyCombination(toolMenuModifiers, letterKey(tool)));
}

QString keyText(const QKeySequence& keys)
{
    return keys.toString(QKeySequence::NativeText);
}

QString keyText(const QList<QKeySequence>& keys)
{
    QStringList texts;
    for (const QKeySequence& key : keys)
        texts << keyText(key);
    return texts.join(QStringLiteral(", "));
}

QString toolMenuModifierText()
{
    // The modifiers are shown as part of a whole sequence; the key's own text is cut off its
    // end together with the separator before it.
    const QString whole = keyText(QKeySequence(QKeyCombination(toolMenuModifiers, Qt::Key_A)));
    const QString key = keyText(QKeySequence(Qt::Key_A));
    QString modifiers = whole.endsWith(key) ? whole.chopped(key.size()) : whole;
    while (!modifiers.isEmpty() && !modifiers.back().isLetterOrNumber())
        modifiers.chop(1);
    return modifiers;
}

} // namespace snapkin
