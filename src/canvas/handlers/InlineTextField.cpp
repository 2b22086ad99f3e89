#include "canvas/handlers/InlineTextField.h"

#include <QKeyEvent>

namespace snapkin {

InlineTextField::InlineTextField(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("inlineTextField"));
    setFrame(false);
    setPlaceholderText(QString());
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
