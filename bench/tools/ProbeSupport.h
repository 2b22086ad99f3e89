#pragma once
// Small helpers the benchmark probes share.

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <vector>

namespace snapkin::probe {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Lets the event loop run for `ms` milliseconds, so queued paints and timers happen.
inline void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

} // namespace snapkin::probe
