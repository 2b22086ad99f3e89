#include "ui/platform/Announcer.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <utility>

namespace snapkin::platform {

namespace {

// The alert needs an object with an accessible interface; a hidden widget that is never shown
// serves, its accessible name being the message at the moment of the alert.
class AccessibilityAnnouncer final : public Announcer {
public:
    void announce(const QString& message) override
    {
        if (message.isEmpty() || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
        if (!m_speaker) {
            m_speaker = new QWidget;
            m_speaker->setObjectName("snapkinAnnouncer");
            m_speaker->setAttribute(Qt::WA_DontShowOnScreen);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_speaker.data(),
                             &QObject::deleteLater);
        }
        m_speaker->setAccessibleName(message);
        if (!QAccessible::isActive()) return;
        QAccessibleEvent event(m_speaker.data(), QAccessible::Alert);
        QAccessible::updateAccessibility(&event);
    }

private:
    QPointer<QWidget> m_speaker;
};

Announcer* g_installed = nullptr;

} // namespace

Announcer& Announcer::shared()
{
    if (g_installed) return *g_installed;
    static AccessibilityAnnouncer accessibility;
    return accessibility;
}

Announcer* Announcer::setShared(Announcer* announcer)
{
    return std::exchange(g_installed, announcer);
}

} // namespace snapkin::platform
