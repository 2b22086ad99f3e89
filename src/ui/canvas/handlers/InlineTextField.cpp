#include "ui/canvas/handlers/InlineTextField.h"

#include <QKeyEvent>

namespace snapkin {

InlineTextField::InlineTextField(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("inlineTextField"));
    setFrame(false);
    setPlaceholderText(QString());
}

bool InlineTextField::event(QEvent* event)
{
    // Escape belongs to the field while it is open, even if the window has a shortcut on it.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void InlineTextField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit escapePressed();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace snapkin
