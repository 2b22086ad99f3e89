#include "editor/EditorShortcuts.h"
#include "editor/ToolKeyMonitor.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

ToolKeyPress key(const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return ToolKeyPress{.modifiers = modifiers, .text = text};
}

constexpr ToolKeyDecision pass{};
constexpr ToolKeyDecision help{ToolKeyAction::help};
constexpr ToolKeyDecision tool(Tool t)
{
    return {ToolKeyAction::tool, t};
}

} // namespace

TEST(ToolKeyDecision, PlainLettersChooseTheirToolWhateverCapsLockDid)
{
    EXPECT_EQ(decideToolKey(key("r")), tool(Tool::rectangle));
    EXPECT_EQ(decideToolKey(key("R")), tool(Tool::rectangle)); // Caps Lock on
    EXPECT_EQ(decideToolKey(key("v")), tool(Tool::select));
    EXPECT_EQ(decideToolKey(key("y")), tool(Tool::frame));
    // A keypad key is still a key without Ctrl, Alt or Super.
    EXPECT_EQ(decideToolKey(key("k", Qt::KeypadModifier)), tool(Tool::crop));
}

TEST(ToolKeyDecision, ModifiersPassLettersOn)
{
    for (Qt::KeyboardModifier held :
         {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier})
        EXPECT_EQ(decideToolKey(key("r", held)), pass) << held;
    EXPECT_EQ(decideToolKey(key("R", Qt::ShiftModifier)), pass);
}

TEST(ToolKeyDecision, QuestionMarkAsksForHelpEvenWithShiftButNotWithCtrlAltOrSuper)
{
    EXPECT_EQ(decideToolKey(key("?", Qt::ShiftModifier)), help);
    EXPECT_EQ(decideToolKey(key("?")), help);
    EXPECT_EQ(decideToolKey(key("/")), pass);
    EXPECT_EQ(decideToolKey(key("?", Qt::ControlModifier | Qt::ShiftModifier)), pass);
    EXPECT_EQ(decideToolKey(key("?", Qt::AltModifier)), pass);
    EXPECT_EQ(decideToolKey(key("?", Qt::MetaModifier)), pass);
}

TEST(ToolKeyDecision, KeysWithoutAToolLetterPass)
{
    for (const QString& text : {QString("1"), QString(" "), QString(), QString("\x7f"),
                                QString("\b"), QString("rr"), QString("x"), QString("é")})
        EXPECT_EQ(decideToolKey(key(text)), pass) << text.toStdString();
}

TEST(ToolKeyDecision, EachConditionOfThePageTurnsLettersAndHelpOff)
{
    const auto withR = [](auto change) {
        ToolKeyPress press = key("r");
        change(press);
        return decideToolKey(press);
    };
    EXPECT_EQ(withR([](ToolKeyPress& p) { p.enabled = false; }), pass);
    EXPECT_EQ(withR([](ToolKeyPress& p) { p.autoRepeat = true; }), pass);
    EXPECT_EQ(withR([](ToolKeyPress& p) { p.pageIsCurrent = false; }), pass);
    EXPECT_EQ(withR([](ToolKeyPress& p) { p.modalOpen = true; }), pass);
    EXPECT_EQ(withR([](ToolKeyPress& p) { p.typingText = true; }), pass);

    // Help follows the same conditions: a crop in progress or a field being typed in keeps "?".
    ToolKeyPress question = key("?", Qt::ShiftModifier);
    question.enabled = false;
    EXPECT_EQ(decideToolKey(question), pass);
    question.enabled = true;
    question.typingText = true;
    EXPECT_EQ(decideToolKey(question), pass);
}

TEST(EditorShortcuts, EveryToolHasItsOwnLetterAndMenuShortcut)
{
    QSet<QString> letters, menu;
    for (Tool t : EnumTable<Tool>::cases) {
        letters << keyText(toolKey(t));
        menu << keyText(toolMenuShortcut(t));
        // Each tool's letter reaches that tool.
        EXPECT_EQ(decideToolKey(key(menuShortcut(t))), tool(t)) << toRaw(t).toStdString();
    }
    EXPECT_EQ(letters.size(), 16);
    EXPECT_EQ(menu.size(), 16);
    EXPECT_EQ(keyText(toolMenuShortcut(Tool::text)), QStringLiteral("Alt+Shift+T"));
    EXPECT_EQ(toolMenuModifierText(), QStringLiteral("Alt+Shift"));
}

TEST(EditorShortcuts, GeneralKeysAreTheDesktopsOwnAndCollideWithNoToolKey)
{
    EXPECT_EQ(generalShortcuts().size(), 13u);
    EXPECT_EQ(keyText(editorShortcut(EditorCommand::redo).keys), QStringLiteral("Ctrl+Shift+Z"));
    EXPECT_EQ(keyText(editorShortcut(EditorCommand::deleteSelection).keys),
              QStringLiteral("Del, Backspace"));
    EXPECT_EQ(keyText(editorShortcut(EditorCommand::keyboardShortcuts).keys), QStringLiteral("?"));
    EXPECT_TRUE(editorShortcut(EditorCommand::keyboardShortcuts).isToolKey);

    QSet<QKeySequence> seen;
    for (Tool t : EnumTable<Tool>::cases)
        seen << toolKey(t) << toolMenuShortcut(t);
    for (const EditorShortcut& shortcut : generalShortcuts()) {
        EXPECT_STRNE(shortcut.title, "");
        for (const QKeySequence& keys : shortcut.keys) {
            EXPECT_FALSE(keyText(keys).isEmpty()) << shortcut.identifier;
            EXPECT_FALSE(seen.contains(keys)) << shortcut.identifier;
            seen << keys;
        }
    }
}
