#include "editor/ToolKeyMonitor.h"

#include "editor/EditorView.h"

#include <QApplication>
#include <QKeyEvent>

namespace snapkin {

ToolKeyDecision decideToolKey(const ToolKeyPress& press)
{
    constexpr ToolKeyDecision pass{};
    if (!press.enabled || press.autoRepeat || !press.pageIsCurrent || press.modalOpen ||
        press.typingText)
        return pass;
    // Super is Qt's Meta on Linux.
    if (press.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return pass;
    // Before the Shift test: "?" needs Shift on most layouts.
    if (press.text == QLatin1String("?")) return {ToolKeyAction::help};
    if (press.modifiers & Qt::ShiftModifier) return pass;
    const QString key = press.text.toLower();
    if (key.size() != 1) return pass;
    for (Tool tool : EnumTable<Tool>::cases)
        if (menuShortcut(tool) == key.front()) return {ToolKeyAction::tool, tool};
    return pass;
}

ToolKeyMonitor::ToolKeyMonitor(QWidget& page, ToolKeyHandlers handlers)
    : QObject(&page), m_page(&page), m_handlers(std::move(handlers))
{
    qApp->installEventFilter(this);
}

ToolKeyMonitor::~ToolKeyMonitor()
{
    if (qApp) qApp->removeEventFilter(this);
}

bool ToolKeyMonitor::isTypingText() const
{
    // The inline field counts while it shows, even in the instant before it takes the focus.
    if (const auto* view = qobject_cast<const EditorView*>(m_page.data());
        view && view->isEditingText())
        return true;
    return EditorView::takesTypedText(QApplication::focusWidget());
}

bool ToolKeyMonitor::isBlockedByModal() const
{
    // A window-modal sheet on another editor window leaves this one free.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return false;
    if (modal->windowModality() != Qt::WindowModal) return true;
    const QWidget* owner = modal->parentWidget();
    return !owner || owner->window() == m_page->window();
}

ToolKeyPress ToolKeyMonitor::pressFor(const QKeyEvent& event) const
{
    ToolKeyPress press;
    press.enabled = !m_handlers.isEnabled || m_handlers.isEnabled();
    press.autoRepeat = event.isAutoRepeat();
    press.pageIsCurrent =
        m_page && m_page->isVisible() && m_page->window() == QApplication::activeWindow();
    // The remaining facts only matter, and are only asked, for the current page.
    if (press.pageIsCurrent) {
        press.modalOpen = isBlockedByModal();
        press.typingText = isTypingText();
    }
    press.modifiers = event.modifiers();
    press.text = event.text();
    return press;
}

bool ToolKeyMonitor::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const ToolKeyDecision decision = decideToolKey(pressFor(*static_cast<QKeyEvent*>(event)));
    if (decision.action == ToolKeyAction::pass) return false;
    // A claimed key is taken before any shortcut can match it; the press that follows does
    // the work. Both stop here, so neither reaches a widget.
    event->accept();
    if (type == QEvent::ShortcutOverride) return true;
    if (decision.action == ToolKeyAction::help) {
        if (m_handlers.onHelp) m_handlers.onHelp();
    } else if (m_handlers.onTool) {
        m_handlers.onTool(decision.tool);
    }
    return true;
}

} // namespace snapkin
