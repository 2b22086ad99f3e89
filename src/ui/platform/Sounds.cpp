#include "ui/platform/Sounds.h"

#include <QApplication>
#include <QMutex>
#include <QSet>
#include <QThreadPool>

#include <canberra.h>

#include <utility>

namespace snapkin::platform {

namespace {

// One libcanberra context for the process, opened on first use. Opening connects to the sound
// server, which may take a moment, so every call runs on a private one-thread pool and the GUI
// never waits for it.
class CanberraSounds final : public Sounds {
public:
    CanberraSounds() { m_pool.setMaxThreadCount(1); }
    ~CanberraSounds() override
    {
        m_pool.waitForDone(500);
        QMutexLocker lock(&m_mutex);
        if (m_context) ca_context_destroy(m_context);
    }

    void playEvent(const QString& eventID) override
    {
        if (eventID.isEmpty()) return;
        const QByteArray id = eventID.toUtf8();
        m_pool.start([this, id] { play(id); });
    }

    void beep() override
    {
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
    }

private:
    void play(const QByteArray& id)
    {
        QMutexLocker lock(&m_mutex);
        if (!m_context && !m_failed) {
            if (ca_context_create(&m_context) != CA_SUCCESS) {
                m_context = nullptr;
                m_failed = true;
                return;
            }
            ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Snapkin",
                                    CA_PROP_APPLICATION_ID, "snapkin", nullptr);
            if (ca_context_open(m_context) != CA_SUCCESS) {
                // No sound server or device: stay silent for the rest of the session rather than
                // retrying the connection on every capture.
                ca_context_destroy(m_context);
                m_context = nullptr;
                m_failed = true;
                return;
            }
        }
        if (!m_context || m_unplayable.contains(id)) return;
        // Without a sound device every attempt fails the same way (and the audio library
        // complains on stderr each time): one failure silences that event for the session.
        if (ca_context_play(m_context, 0, CA_PROP_EVENT_ID, id.constData(), nullptr) != CA_SUCCESS)
            m_unplayable.insert(id);
    }

    QThreadPool m_pool;
    QMutex m_mutex;
    ca_context* m_context = nullptr;
    bool m_failed = false;
    QSet<QByteArray> m_unplayable;
};

Sounds* g_installed = nullptr;

} // namespace

Sounds& Sounds::shared()
{
    if (g_installed) return *g_installed;
    static CanberraSounds canberra;
    return canberra;
}

Sounds* Sounds::setShared(Sounds* sounds)
{
    return std::exchange(g_installed, sounds);
}

} // namespace snapkin::platform
