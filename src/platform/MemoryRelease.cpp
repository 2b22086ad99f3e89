#include "platform/MemoryRelease.h"

#include <QCoreApplication>
#include <QTimer>

#include <malloc.h>

#include <mutex>
#include <utility>

namespace snapkin::platform {

namespace {

// Long enough for deferred deletes and the history's write of the closed document, short
// enough that an idle process is small again within seconds.
constexpr int releaseDelayMs = 3000;

// The C library's own starting threshold, kept from then on.
constexpr int mmapThresholdBytes = 128 * 1024;

// The allocator's state that LargeBlockReuse changes, under its lock.
struct Reuse {
    std::mutex mutex;
    bool configured = false;
    int holders = 0;
};

Reuse& reuse()
{
    static Reuse* state = new Reuse; // never destroyed: threads may end their scopes late
    return *state;
}

} // namespace

void MemoryRelease::configureAllocator()
{
    Reuse& state = reuse();
    const std::lock_guard lock(state.mutex);
    mallopt(M_MMAP_THRESHOLD, state.holders > 0 ? int(reusedBlockBytes) : mmapThresholdBytes);
    mallopt(M_ARENA_MAX, heapArenas);
    state.configured = true;
}

MemoryRelease::LargeBlockReuse::LargeBlockReuse()
{
    Reuse& state = reuse();
    const std::lock_guard lock(state.mutex);
    if (state.holders++ == 0 && state.configured) mallopt(M_MMAP_THRESHOLD, int(reusedBlockBytes));
}

MemoryRelease::LargeBlockReuse::LargeBlockReuse(LargeBlockReuse&& other) noexcept
    : m_held(std::exchange(other.m_held, false))
{
}

MemoryRelease::LargeBlockReuse&
MemoryRelease::LargeBlockReuse::operator=(LargeBlockReuse&& other) noexcept
{
    if (this != &other) {
        end();
        m_held = std::exchange(other.m_held, false);
    }
    return *this;
}

MemoryRelease::LargeBlockReuse::~LargeBlockReuse()
{
    end();
}

void MemoryRelease::LargeBlockReuse::end()
{
    if (!std::exchange(m_held, false)) return;
    bool last = false;
    {
        Reuse& state = reuse();
        const std::lock_guard lock(state.mutex);
        last = --state.holders == 0 && state.configured;
        if (last) mallopt(M_MMAP_THRESHOLD, mmapThresholdBytes);
    }
    // The blocks freed meanwhile sit in the heaps of the threads that used them.
    if (last) releaseNow();
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
