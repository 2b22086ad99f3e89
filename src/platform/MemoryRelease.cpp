#include "platform/MemoryRelease.h"

#include <QCoreApplication>
#include <QTimer>

#include <malloc.h>

namespace snapkin::platform {

namespace {

// Long enough for deferred deletes and the history's write of the closed document, short
// enough that an idle process is small again within seconds.
constexpr int releaseDelayMs = 3000;

// The C library's own starting threshold, kept from then on.
constexpr int mmapThresholdBytes = 128 * 1024;

} // namespace

void MemoryRelease::configureAllocator()
{
    mallopt(M_MMAP_THRESHOLD, mmapThresholdBytes);
}

void MemoryRelease::releaseSoon()
{
    auto* app = QCoreApplication::instance();
    if (!app) {
        releaseNow();
        return;
    }
    static QTimer* timer = [app] {
        auto* made = new QTimer(app);
        made->setSingleShot(true);
        made->setInterval(releaseDelayMs);
        QObject::connect(made, &QTimer::timeout, made, &MemoryRelease::releaseNow);
        return made;
    }();
    timer->start();
}

void MemoryRelease::releaseNow()
{
    malloc_trim(0);
}

} // namespace snapkin::platform
