#pragma once

#include <QtGlobal>

#include <functional>

class QObject;

namespace snapkin {

// The time the capture service, the countdown and the toast run on: a monotonic clock in
// milliseconds and one-shot calls on the GUI thread. The capture service owns the clock it runs
// on and hands it to its countdowns and toasts; tests give it a clock that only moves when told
// to, so a three-second countdown is checked without waiting three seconds.
class CaptureClock {
public:
    virtual ~CaptureClock() = default;

    // Milliseconds since an arbitrary fixed point; never goes back.
    virtual qint64 nowMs() const = 0;

    // Runs `action` once on the GUI thread `ms` milliseconds from now (0 or less: at the next
    // turn of the event loop). When `guard` is destroyed before then, the action never runs.
    virtual void callAfter(qint64 ms, QObject* guard, std::function<void()> action) = 0;
};

// Real time. It keeps no state (every instance reads the same monotonic clock), so any owner
// may make one.
class RealCaptureClock final : public CaptureClock {
public:
    qint64 nowMs() const override;
    void callAfter(qint64 ms, QObject* guard, std::function<void()> action) override;
};

} // namespace snapkin
