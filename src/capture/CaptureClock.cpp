#include "capture/CaptureClock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace snapkin {

namespace {

class RealClock final : public CaptureClock {
public:
    RealClock() { m_elapsed.start(); }
    qint64 nowMs() const override { return m_elapsed.elapsed(); }
    void callAfter(qint64 ms, QObject* guard, std::function<void()> action) override
    {
        // Precise: the countdown's seconds and the toast's fade are seen, and Qt's coarse
        // timers may be 5 % late.
        QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(ms, 0)), Qt::PreciseTimer,
                           guard, std::move(action));
    }

private:
    QElapsedTimer m_elapsed;
};

CaptureClock* g_installed = nullptr;

} // namespace

CaptureClock& CaptureClock::shared()
{
    static RealClock clock;
    return g_installed ? *g_installed : clock;
}

CaptureClock* CaptureClock::setShared(CaptureClock* clock)
{
    CaptureClock* previous = g_installed;
    g_installed = clock;
    return previous;
}

} // namespace snapkin
