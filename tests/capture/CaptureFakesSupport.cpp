#include "CaptureFakes.h"

#include "platform/Defaults.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace snapkin::test {

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

std::optional<QRect> FakeEngine::workScreenGeometry()
{
    if (workScreen) return workScreen();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry();
    return std::nullopt;
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

namespace {

PostCaptureRouter::Routes recordingRoutes(QStringList* log,
                                          std::vector<platform::BaseImage>* delivered)
{
    PostCaptureRouter::Routes routes;
    routes.copy = [log](const platform::BaseImage&) { log->append("route:copy"); };
    routes.savePanel = [log, delivered](const platform::BaseImage& image, ExportFormat,
                                        const QString&) {
        delivered->push_back(image);
        log->append("route:file");
    };
    routes.alert = [](const QString&) {};
    routes.encode = [](const platform::BaseImage&, ExportFormat) {
        return std::optional<QByteArray>();
    };
    routes.sourceAppName = [] { return CaptureService::sourceAppName(); };
    routes.now = [] { return QDateTime::currentDateTime(); };
    return routes;
}

} // namespace

RecordingHooks::RecordingHooks(QStringList* log)
    : router(platform::Defaults::standard(), {}, recordingRoutes(log, &delivered)),
      watcher(platform::Defaults::standard()), m_log(log)
{
    invitation.log = log;
    onboarding.log = log;
    router.setHooks(hooks());
    watcher.setFolderPanel(this);
}

RecordingHooks::~RecordingHooks() = default;

CaptureHooks RecordingHooks::hooks()
{
    return CaptureHooks{this, this, this, &onboarding, &invitation, nullptr};
}

void RecordingHooks::openCapture(const platform::BaseImage& image, const QString& title,
                                 const QString& historyTitle)
{
    delivered.push_back(image);
    historyTitles.append(historyTitle);
    m_log->append("route:editor:" + title);
}

void RecordingHooks::copyText(const platform::BaseImage& image)
{
    delivered.push_back(image);
    m_log->append("route:text");
}

std::optional<QString> RecordingHooks::run(const QString&)
{
    m_log->append("watcher");
    return std::nullopt;
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
