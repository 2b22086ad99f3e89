#pragma once

#include <QtGlobal>

#include <functional>

class QObject;

namespace snapkin {

// The time the capture service, the countdown and the toast run on: a monotonic clock in
// milliseconds and one-shot calls on the GUI thread. Tests install a clock that only moves when
// told to, so a three-second countdown is checked without waiting three seconds.
class CaptureClock {
public:
    virtual ~CaptureClock() = default;

    // The clock in use: real time unless a test installed another.
    static CaptureClock& shared();
    // Installs `clock` (not owned; nullptr restores real time). Returns the previous one.
    static CaptureClock* setShared(CaptureClock* clock);

    // Milliseconds since an arbitrary fixed point; never goes back.
    virtual qint64 nowMs() const = 0;

    // Runs `action` once on the GUI thread `ms` milliseconds from now (0 or less: at the next
    // turn of the event loop). When `guard` is destroyed before then, the action never runs.
    virtual void callAfter(qint64 ms, QObject* guard, std::function<void()> action) = 0;
};

} // namespace snapkin
