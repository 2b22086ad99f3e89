#include "capture/CaptureCountdown.h"

#include "capture/CaptureClock.h"
#include "platform/DesktopWindows.h"
#include "platform/RootEscapeGrab.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScreen>

namespace snapkin {

namespace {

QPointer<CaptureCountdown> g_current;

// Time between the badge leaving the screen and the capture, so the last frame of the desktop
// without the badge is what gets pictured.
constexpr int settleAfterBadgeMs = 60;

} // namespace

CaptureCountdown* CaptureCountdown::current()
{
    return g_current;
}

CaptureCountdown* CaptureCountdown::begin(CaptureClock& clock, int seconds,
                                          std::function<void()> onDone,
                                          std::function<void()> onCancel,
                                          std::optional<QRect> screen)
{
    if (g_current) g_current->teardown();
    auto* countdown = new CaptureCountdown(clock);
    g_current = countdown;
    countdown->onCancel = std::move(onCancel);
    countdown->start(seconds, std::move(onDone), screen);
    return countdown;
}

CaptureCountdown::CaptureCountdown(CaptureClock& clock) : m_clock(clock) {}

CaptureCountdown::~CaptureCountdown()
{
    if (m_view) delete m_view.data();
}

void CaptureCountdown::start(int seconds, std::function<void()> then, std::optional<QRect> screen)
{
    m_onDone = std::move(then);
    m_remaining = seconds;
    m_running = true;
    m_ticks = 0;
    m_startedAt = m_clock.nowMs();
    buildWindow(screen);
    if (m_view) {
        m_view->setNumber(m_remaining);
        m_view->show();
        m_view->raise();
    }
    scheduleTick();
    // Escape for the whole display while counting; inside the application as well, for when
    // the grab is not to be had (no X11, or another client holds Escape).
    QPointer<CaptureCountdown> self(this);
    m_grab = std::make_unique<platform::RootEscapeGrab>([self] {
        if (self) self->cancel();
    });
    QCoreApplication::instance()->installEventFilter(this);
}

bool CaptureCountdown::escapeGrabbed() const
{
    return m_grab && m_grab->active();
}

void CaptureCountdown::buildWindow(std::optional<QRect> screen)
{
    if (!screen) {
        if (const QScreen* work = platform::DesktopWindows::workScreen()) screen = work->geometry();
    }
    if (!screen) return; // counts down invisibly and still completes
    auto* view = new CountdownView;
    const QRect frame = *screen;
    view->move(frame.center().x() + 1 - CountdownView::side / 2,
               frame.center().y() + 1 - CountdownView::side / 2);
    QPointer<CaptureCountdown> self(this);
    view->onClick = [self] {
        if (self) self->cancel();
    };
    m_view = view;
}

void CaptureCountdown::scheduleTick()
{
    // Each tick is due a whole number of seconds after the start, so late ticks do not add up.
    ++m_ticks;
    const qint64 due = m_startedAt + qint64(m_ticks) * 1000;
    m_clock.callAfter(due - m_clock.nowMs(), this, [this] {
        if (m_running) tick();
    });
}

void CaptureCountdown::tick()
{
    --m_remaining;
    if (m_remaining < 1) {
        fire();
        return;
    }
    if (m_view) m_view->setNumber(m_remaining);
    scheduleTick();
}

void CaptureCountdown::fire()
{
    std::function<void()> done = std::move(m_onDone);
    std::vector<std::uint32_t> badge;
    if (m_view && m_view->isVisible() && m_view->windowHandle())
        badge.push_back(std::uint32_t(m_view->winId()));
    teardown();
    if (!done) return;
    // The badge must be off the screen before the capture: wait for the server to unmap it,
    // then give the desktop a moment to repaint where it was.
    auto afterSettle = [&clock = m_clock, done = std::move(done)] {
        clock.callAfter(settleAfterBadgeMs, QCoreApplication::instance(), done);
    };
    if (badge.empty()) {
        afterSettle();
        return;
    }
    platform::DesktopWindows::waitUntilOffScreen(badge).then(QCoreApplication::instance(),
                                                             afterSettle);
}

void CaptureCountdown::cancel()
{
    if (!m_running) return;
    std::function<void()> cancelAction = std::move(onCancel);
    teardown();
    if (cancelAction) cancelAction();
}

void CaptureCountdown::teardown()
{
    const bool wasRunning = m_running;
    m_running = false;
    m_grab.reset();
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    if (m_view) {
        m_view->hide();
        m_view->onClick = nullptr;
        m_view->deleteLater();
        m_view = nullptr;
    }
    m_onDone = nullptr;
    onCancel = nullptr;
    if (g_current == this) g_current = nullptr;
    if (wasRunning) deleteLater();
}

bool CaptureCountdown::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace snapkin
