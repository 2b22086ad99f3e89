#include "CaptureFakes.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

namespace snapkin::test {

FakeClock::FakeClock()
{
    m_previous = CaptureClock::setShared(this);
}

FakeClock::~FakeClock()
{
    CaptureClock::setShared(m_previous);
}

void FakeClock::callAfter(qint64 ms, QObject* guard, std::function<void()> action)
{
    m_items.push_back(Item{m_now + std::max<qint64>(ms, 0), m_order++, guard, std::move(action)});
}

void FakeClock::advance(qint64 ms)
{
    const qint64 target = m_now + ms;
    for (;;) {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto next =
            std::min_element(m_items.begin(), m_items.end(), [](const Item& a, const Item& b) {
                return a.at != b.at ? a.at < b.at : a.order < b.order;
            });
        if (next == m_items.end() || next->at > target) break;
        Item item = std::move(*next);
        m_items.erase(next);
        m_now = std::max(m_now, item.at);
        if (item.guard) item.action();
    }
    m_now = target;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

RecordingSounds::RecordingSounds(QStringList* log) : m_log(log)
{
    m_previous = platform::Sounds::setShared(this);
}

RecordingSounds::~RecordingSounds()
{
    platform::Sounds::setShared(m_previous);
}

QFuture<bool> FakeEngine::probeAccess()
{
    ++probes;
    m_log->append("probe");
    return QtFuture::makeReadyFuture(access);
}

QFuture<platform::CaptureResult<platform::ShareableContent>> FakeEngine::shareableContent()
{
    return QtFuture::makeReadyFuture(content);
}

QFuture<platform::CaptureResult<QImage>>
FakeEngine::captureDisplay(const platform::DisplayInfo& display,
                           const std::vector<platform::WindowInfo>&)
{
    capturedDisplays.push_back(display.displayID);
    m_log->append("grab:display");
    return QtFuture::makeReadyFuture(displayImage);
}

QFuture<platform::CaptureResult<QImage>> FakeEngine::grabScreenRect(const QRect& pixels)
{
    grabbedRects.push_back(pixels);
    m_log->append("grab:rect");
    return QtFuture::makeReadyFuture(rectImage);
}

QFuture<platform::CaptureResult<platform::BaseImage>>
FakeEngine::captureWindow(const platform::WindowInfo& window)
{
    capturedWindows.push_back(window.windowID);
    m_log->append("grab:window");
    return QtFuture::makeReadyFuture(windowImage);
}

QFuture<platform::CaptureResult<DisplaySnapshots>>
FakeEngine::snapshotDisplays(const QSet<std::uint32_t>&)
{
    m_log->append("snapshot");
    return QtFuture::makeReadyFuture(snapshots);
}

QFuture<void> FakeEngine::waitUntilOffScreen(const std::vector<std::uint32_t>& ids)
{
    waitedFor.push_back(ids);
    return QtFuture::makeReadyFuture();
}

int FakeOverlay::begin(OverlayMode m, std::optional<DisplaySnapshots> f, OverlayCompletion c)
{
    mode = m;
    frozen = std::move(f);
    completion = std::move(c);
    m_log->append(frozen ? "overlay:frozen" : "overlay:live");
    return ++session;
}

void FakeOverlay::setSnapshots(const DisplaySnapshots&, int s)
{
    snapshotSessions.push_back(s);
}

void FakeOverlay::finish(std::optional<OverlayResult> result)
{
    auto c = std::move(completion);
    completion = nullptr;
    if (c) c(std::move(result));
}

RecordingHooks::RecordingHooks(QStringList* log) : m_log(log)
{
    invitation.log = log;
    onboarding.log = log;
    PostCaptureRouting::install(this);
    TextCopying::install(this);
    ScreenshotWatching::install(this);
    NewsletterInvitation::install(&invitation);
    CaptureOnboarding::install(&onboarding);
}

RecordingHooks::~RecordingHooks()
{
    PostCaptureRouting::install(nullptr);
    TextCopying::install(nullptr);
    ScreenshotWatching::install(nullptr);
    NewsletterInvitation::install(nullptr);
    CaptureOnboarding::install(nullptr);
}

void RecordingHooks::handleCapturedImage(const platform::BaseImage& image, const QString& title)
{
    delivered.push_back(image);
    m_log->append("route:editor:" + title);
}

void RecordingHooks::saveToDisk(const platform::BaseImage& image)
{
    delivered.push_back(image);
    m_log->append("route:file");
}

void RecordingHooks::copyText(const platform::BaseImage& image)
{
    delivered.push_back(image);
    m_log->append("route:text");
}

bool RecordingHooks::enableChoosingFolder()
{
    m_log->append("watcher");
    return true;
}

platform::DisplayInfo display(std::uint32_t id, QRect frame, double scale, bool primary)
{
    platform::DisplayInfo d;
    d.displayID = id;
    d.name = QString("D%1").arg(id);
    d.frame = frame;
    d.scale = scale;
    d.primary = primary;
    return d;
}

QImage filled(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

} // namespace snapkin::test
