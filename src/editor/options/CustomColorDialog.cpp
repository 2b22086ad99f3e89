#include "editor/options/CustomColorDialog.h"

#include "platform/L10n.h"

#include <QColorDialog>
#include <QEvent>
#include <QSignalBlocker>

namespace snapkin {

CustomColorDialog::CustomColorDialog(QWidget& owner, std::function<void(const QColor&)> picked)
    : m_owner(owner), m_picked(std::move(picked))
{
    // The owner may be shown in one window and later in another: the window is looked up
    // each time it is shown.
    m_owner.installEventFilter(this);
}

void CustomColorDialog::open(const QColor& current)
{
    if (!m_dialog) {
        m_dialog = new QColorDialog(&m_owner);
        m_dialog->setOptions(QColorDialog::DontUseNativeDialog | QColorDialog::NoButtons);
        m_dialog->setWindowTitle(platform::L10n::text("Custom color"));
        m_dialog->setModal(false);
        connect(m_dialog, &QColorDialog::currentColorChanged, this,
                [this](const QColor& color) { m_picked(color); });
    }
    {
        // Opening on the current colour is not a pick.
        const QSignalBlocker blocker(m_dialog);
        m_dialog->setCurrentColor(current);
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void CustomColorDialog::close()
{
    if (!m_dialog) return;
    m_dialog->disconnect(this);
    m_dialog->close();
    m_dialog->deleteLater();
    m_dialog = nullptr;
}

bool CustomColorDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_owner && event->type() == QEvent::Show && m_owner.window() != m_window) {
        // The owner's own filter stays whatever window it is in.
        if (m_window && m_window != &m_owner) m_window->removeEventFilter(this);
        m_window = m_owner.window();
        if (m_window != &m_owner) m_window->installEventFilter(this);
    } else if (watched == m_window && event->type() == QEvent::Close) {
        close();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace snapkin
