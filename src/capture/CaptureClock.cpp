#include "capture/CaptureClock.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace snapkin {

qint64 RealCaptureClock::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealCaptureClock::callAfter(qint64 ms, QObject* guard, std::function<void()> action)
{
    // Precise: the countdown's seconds and the toast's fade are seen, and Qt's coarse timers
    // may be 5 % late.
    QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(ms, 0)), Qt::PreciseTimer, guard,
                       std::move(action));
}

} // namespace snapkin
