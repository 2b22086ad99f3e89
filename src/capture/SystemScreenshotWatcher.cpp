#include "capture/SystemScreenshotWatcher.h"

#include "capture/CaptureToast.h"
#include "capture/SystemScreenshotFolderPanel.h"
#include "platform/Defaults.h"
#include "platform/ImageBudget.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "platform/OwnWrites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace snapkin {

namespace {

constexpr std::array<const char*, 6> imageExtensions = {"png",  "jpg",  "jpeg",
                                                        "heic", "tiff", "gif"};

// Coalesces a burst of events (a copy raises several per file) into one look at the folder.
constexpr int scanDelayMs = 20;

constexpr double refusalToastSeconds = 4.0;

constexpr uint32_t watchedEvents = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE |
                                   IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool isHidden(const QString& name)
{
    return name.startsWith(QLatin1Char('.'));
}

// Now on the coarse real-time clock, which the kernel stamps new files from (a fine-grained
// stamp is never earlier): a file created after this moment is never born before it.
qint64 coarseNowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The file's birth time in nanoseconds since the epoch, the link itself not followed; nothing
// when the file system keeps none (or the file is gone). A rename keeps it, unlike the change
// time, which every move sets anew.
std::optional<qint64> birthTimeNs(const QString& path)
{
    struct statx status {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(),
                AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, STATX_BTIME, &status) != 0)
        return std::nullopt;
    if (!(status.stx_mask & STATX_BTIME)) return std::nullopt;
    return qint64(status.stx_btime.tv_sec) * 1'000'000'000 + status.stx_btime.tv_nsec;
}

QString folderPathOf(const QVariant& stored)
{
    const QString path = stored.typeId() == QMetaType::QByteArray
                             ? QFile::decodeName(stored.toByteArray())
                             : stored.toString();
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return {};
    return QDir::cleanPath(path);
}

} // namespace

void SystemScreenshotWatcher::reportInToasts()
{
    setRefusalHandler([](const QString& fileName, const QString& message) {
        CaptureToast::show(platform::L10n::format("“%@”: %@", fileName, message),
                           refusalToastSeconds);
    });
    setOverflowHandler([](int count) {
        CaptureToast::show(
            platform::L10n::plural("%lld more screenshot arrived and wasn't opened",
                                   "%lld more screenshots arrived and weren't opened", count),
            refusalToastSeconds);
    });
}

SystemScreenshotWatcher::SystemScreenshotWatcher(platform::Defaults& settings, QObject* parent)
    : QObject(parent), m_settings(settings)
{
    m_scanTimer.setSingleShot(true);
    m_scanTimer.setInterval(scanDelayMs);
    connect(&m_scanTimer, &QTimer::timeout, this, &SystemScreenshotWatcher::scan);
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, &SystemScreenshotWatcher::openReady);
    m_burstEnd.setSingleShot(true);
    m_burstEnd.setInterval(burstQuietMs);
    connect(&m_burstEnd, &QTimer::timeout, this, &SystemScreenshotWatcher::endBurst);
    m_overflowPause.setSingleShot(true);
    m_overflowPause.setInterval(overflowPauseMs);
    connect(&m_overflowPause, &QTimer::timeout, this, &SystemScreenshotWatcher::reportOverflow);
}

SystemScreenshotWatcher::~SystemScreenshotWatcher()
{
    stop();
}

// --- The folder ---------------------------------------------------------------------------

std::optional<QString> SystemScreenshotWatcher::resolveBookmark() const
{
    const QString path = folderPathOf(m_settings.object(keys::systemScreenshotsFolderBookmark));
    if (path.isEmpty() || !QFileInfo(path).isDir()) return std::nullopt;
    return path;
}

bool SystemScreenshotWatcher::chooseFolder()
{
    std::unique_ptr<SystemScreenshotFolderPanel> own;
    SystemScreenshotFolderPanel* panel = m_panel;
    if (!panel) {
        own = makeFileDialogFolderPanel();
        panel = own.get();
    }
    const std::optional<QString> chosen = panel->run(defaultScreenshotFolderGuess());
    if (!chosen || chosen->isEmpty()) return false;
    const QString path = QDir::cleanPath(QFileInfo(*chosen).absoluteFilePath());
    if (!QFileInfo(path).isDir()) return false;
    m_settings.set(keys::systemScreenshotsFolderBookmark, path);
    return true;
}

bool SystemScreenshotWatcher::enableChoosingFolder()
{
    if (!resolveBookmark() && !chooseFolder()) return false;
    m_settings.set(keys::watchSystemScreenshots, true);
    if (m_settings.get(keys::watchSystemScreenshots))
        start();
    else
        stop();
    return true;
}

// --- Watching -----------------------------------------------------------------------------

void SystemScreenshotWatcher::start()
{
    stop();
    const std::optional<QString> folder = resolveBookmark();
    if (!folder) return;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return;
    if (::inotify_add_watch(fd, QFile::encodeName(*folder).constData(), watchedEvents) < 0) {
        ::close(fd);
        return;
    }
    // Listed after the watch is in place, so nothing slips in between unseen.
    m_fd = fd;
    m_folder = *folder;
    m_startedAtNs = coarseNowNs();
    // A new watch begins with no burst behind it; what the last one left unopened is told now.
    m_burstEnd.stop();
    closeBurst();
    m_knownFiles = currentFiles(m_folder);
    m_retryWhenClosed.clear();
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this,
            &SystemScreenshotWatcher::readEvents);
}

void SystemScreenshotWatcher::stop()
{
    if (m_notifier) {
        // Possibly stopping from inside the notifier's own signal.
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_folder.clear();
    m_scanTimer.stop();
    m_touched.clear();
    m_gone.clear();
}

void SystemScreenshotWatcher::readEvents()
{
    alignas(inotify_event) char buffer[16 * 1024];
    while (m_fd >= 0) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0) break; // EAGAIN: all read
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // The folder went away: there is nothing left to watch.
                stop();
                return;
            }
            if (event->len == 0) continue; // IN_Q_OVERFLOW: the look below sees everything
            const QString name = QFile::decodeName(event->name);
            if (event->mask & (IN_DELETE | IN_MOVED_FROM)) m_gone.insert(name);
            m_touched.insert(name);
            if (event->mask & IN_CLOSE_WRITE) {
                const QString path = QDir(m_folder).filePath(name);
                if (m_waiting.contains(path))
                    m_closedWhileWaiting.insert(path);
                else if (m_retryWhenClosed.remove(path))
                    waitUntilStable(path, 0);
            }
        }
    }
    if (!m_scanTimer.isActive()) m_scanTimer.start();
}

void SystemScreenshotWatcher::scan()
{
    if (m_folder.isEmpty()) return;
    const QSet<QString> current = currentFiles(m_folder);
    // A name that went away since the last look is new again even when it is back already.
    const QSet<QString> known = m_knownFiles - m_gone;
    const QSet<QString> fresh = current - known;
    const QSet<QString> replaced = (m_touched & current & known);
    m_knownFiles = current;
    m_touched.clear();
    m_gone.clear();
    const QDir folder(m_folder);

    m_retryWhenClosed.removeIf(
        [&](const QString& path) { return !current.contains(QFileInfo(path).fileName()); });
    // Snapkin replacing one of its files here: its registration is used up.
    for (const QString& name : replaced)
        if (!isHidden(name)) platform::OwnWrites::shared().take(folder.filePath(name));

    for (const QString& name : fresh) {
        if (isHidden(name)) continue;
        const QString path = folder.filePath(name);
        if (platform::OwnWrites::shared().take(path)) continue;
        if (!isScreenshotImage(path)) continue;
        if (!m_waiting.contains(path)) waitUntilStable(path, 0);
    }
}

bool SystemScreenshotWatcher::isScreenshotImage(const QString& path) const
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (std::none_of(imageExtensions.begin(), imageExtensions.end(),
                     [&](const char* e) { return suffix == QLatin1String(e); }))
        return false;
    // Without a birth time (a file system that keeps none) a file counts as new.
    const std::optional<qint64> born = birthTimeNs(path);
    return !born || *born >= m_startedAtNs;
}

// --- Waiting for a file to be complete ------------------------------------------------------

void SystemScreenshotWatcher::waitUntilStable(const QString& path, int attempt)
{
    m_waiting.insert(path);
    const std::optional<qint64> first = fileSize(path);
    QTimer::singleShot(stabilityIntervalMs, this, [this, path, attempt, first] {
        const std::optional<qint64> second = fileSize(path);
        if (first && second && *first > 0 && *first == *second)
            finishWaiting(path, true);
        else if (attempt + 1 >= stabilityChecks)
            finishWaiting(path, false);
        else
            waitUntilStable(path, attempt + 1);
    });
}

void SystemScreenshotWatcher::finishWaiting(const QString& path, bool stable)
{
    m_waiting.remove(path);
    const bool closed = m_closedWhileWaiting.remove(path);
    if (stable) {
        arrived(path, closed);
        return;
    }
    // Still changing: closed meanwhile means complete now, so one more round; otherwise the
    // close that ends the writing starts it.
    if (closed)
        waitUntilStable(path, 0);
    else
        m_retryWhenClosed.insert(path);
}

void SystemScreenshotWatcher::arrived(const QString& path, bool closed)
{
    m_burstEnd.start();
    m_ready.append(Ready{path, closed});
    openReady();
}

void SystemScreenshotWatcher::reportOverflow()
{
    if (m_burstUnreported == 0) return;
    const int count = std::exchange(m_burstUnreported, 0);
    m_burstReported = true;
    if (m_overflowHandler) m_overflowHandler(count);
}

void SystemScreenshotWatcher::endBurst()
{
    // Screenshots still waiting for their turn belong to this burst.
    if (!m_ready.isEmpty()) {
        m_burstEnd.start();
        return;
    }
    closeBurst();
}

void SystemScreenshotWatcher::closeBurst()
{
    m_overflowPause.stop();
    reportOverflow();
    m_burstOpened = 0;
    m_burstReported = false;
}

void SystemScreenshotWatcher::openReady()
{
    while (!m_ready.isEmpty()) {
        if (m_sinceOpened.isValid() && m_sinceOpened.elapsed() < m_openInterval) {
            if (!m_openTimer.isActive())
                m_openTimer.start(int(m_openInterval - m_sinceOpened.elapsed()));
            return;
        }
        const Ready next = m_ready.takeFirst();
        if (m_burstOpened >= burstLimit) {
            // Past the burst's few: not read at all, only counted. Reported once the overflow
            // pauses, so a flood makes one toast, not one per file; after that, the rest of
            // the burst is reported when it ends.
            ++m_burstUnreported;
            if (!m_burstReported) m_overflowPause.start();
            continue;
        }
        if (openSettled(next.path, next.closed)) {
            m_sinceOpened.start();
            ++m_burstOpened;
        }
    }
}

bool SystemScreenshotWatcher::openSettled(const QString& path, bool closed)
{
    const QFileInfo info(path);
    // Opened by its name in the folder without following a link, and without waiting on a
    // pipe's writer; then it must be a regular file.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0) ::close(fd);
        return false; // a link, a pipe, a folder, or gone: never a screenshot of ours to open
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    auto image = platform::ImageBudget::decode(file);
    file.close();
    if (image) {
        if (m_handler) m_handler(*image, info.fileName());
        return true;
    }
    if (platform::refusedForMemory(image.error())) {
        const QString message = platform::userMessage(image.error());
        qWarning("Couldn't open %s: %s", qPrintable(path), qPrintable(message));
        if (m_refusalHandler) m_refusalHandler(info.fileName(), message);
        return false;
    }
    // Unreadable: maybe not complete yet (another look once it is closed), maybe a format
    // without a reader; either way it goes without a word.
    if (!closed) m_retryWhenClosed.insert(path);
    return false;
}

std::optional<qint64> SystemScreenshotWatcher::fileSize(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) return std::nullopt;
    return info.size();
}

QSet<QString> SystemScreenshotWatcher::currentFiles(const QString& folder)
{
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    return QSet<QString>(names.begin(), names.end());
}

} // namespace snapkin
