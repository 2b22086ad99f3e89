#pragma once

#include "model/Tool.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QKeyEvent;
class QWidget;

namespace snapkin {

// Single-key tool selection on an editor page: a plain letter makes its tool current ("r" the
// rectangle, "v" select…) and "?" asks for the keyboard shortcuts sheet.
//
// What a key press means is decided by decideToolKey(), a pure function of the facts below;
// ToolKeyMonitor gathers those facts for one page and acts on the answer.

// What the monitor calls back: a tool letter, the help key, and whether keys count now (not
// while a crop is being set).
struct ToolKeyHandlers {
    std::function<void(Tool)> onTool;
    std::function<void()> onHelp;
    std::function<bool()> isEnabled;
};

// What decideToolKey() needs to know about one key press and the page it may be meant for.
struct ToolKeyPress {
    // The page takes tool keys now (not while a crop is being set).
    bool enabled = true;
    // The key is held down and this press is the keyboard's repeat.
    bool autoRepeat = false;
    // The page is shown (its tab is the current one) in the application's active window.
    bool pageIsCurrent = true;
    // A modal dialog blocks the page's window (one of its sheets, an alert).
    bool modalOpen = false;
    // The keyboard is in a text field or text view (the canvas's inline field among them).
    bool typingText = false;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    // The text the key produced, Shift and Caps Lock applied.
    QString text;
};

enum class ToolKeyAction { pass, help, tool };

struct ToolKeyDecision {
    ToolKeyAction action = ToolKeyAction::pass;
    Tool tool = Tool::select; // meaningful for ToolKeyAction::tool only

    friend bool operator==(const ToolKeyDecision&, const ToolKeyDecision&) = default;
};

// The rules, in this order, the first that decides ending it: a press is passed on while keys
// are off, when repeated, when the page is not current, while a modal dialog is open, while
// text is typed, and with Ctrl, Alt or Super held. Then "?" (whatever Shift did to make it)
// asks for help; any other key with Shift held is passed on, so Shift+letter never switches
// tools. Last, a single character, lower-cased (so Caps Lock does not matter), is the tool with
// that letter; anything else is passed on.
ToolKeyDecision decideToolKey(const ToolKeyPress& press);

// Watches the application's key presses for one editor page and uses those that
// decideToolKey() claims: the handlers are called and the key goes no further (it never reaches
// the canvas or a shortcut). Every other key is left alone. Lives as long as the page, which is
// its parent.
class ToolKeyMonitor : public QObject {
    Q_OBJECT
public:
    ToolKeyMonitor(QWidget& page, ToolKeyHandlers handlers);
    ~ToolKeyMonitor() override;

    // The facts about `event` as seen from the page.
    ToolKeyPress pressFor(const QKeyEvent& event) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isTypingText() const;
    bool isBlockedByModal() const;

    QPointer<QWidget> m_page;
    ToolKeyHandlers m_handlers;
};

} // namespace snapkin
