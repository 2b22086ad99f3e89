#pragma once

#include "platform/BaseImage.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace snapkin {

class SystemScreenshotFolderPanel;

namespace platform {
class Defaults;
}

// Opens in the editor each screenshot that the desktop's own screenshot tool saves into a
// chosen folder.
//
// While watching, inotify reports the folder's changes; a burst of them leads to one look at
// the folder. A name that was not there at the previous look is a candidate unless it is hidden
// (a leading "."), is one of Snapkin's own writes (platform::OwnWrites, passed over once), has
// no screenshot extension (png, jpg, jpeg, heic, tiff, gif, in any case) or was born before
// the watch began: its birth time (statx), which a move keeps, decides, so a file made earlier
// and moved in later is never opened. A candidate opens once its size is above zero and has held
// for 0.25 s, checked up to nine times; one still changing after that opens when the program
// writing it closes it and its size then holds. Unreadable files (HEIC among them) are dropped
// silently.
//
// The folder is anyone's to write into, so what is in it is untrusted: only a regular file
// whose own name is in the folder is read (never through a link, never a pipe or a device),
// within the image budget; one over it is refused with the budget's message, not opened. At
// most one editor opens a second: files that settle faster wait their turn, in order. And a
// flood is bounded: a burst (screenshots settling less than burstQuietMs apart) opens at most
// burstLimit editors; the rest are not read at all, and once they pause one toast says how
// many more arrived (one more at the burst's end if still more came after it).
//
// The folder is kept as its absolute path under keys::systemScreenshotsFolderBookmark; whether the
// watcher runs is keys::watchSystemScreenshots, which its callers read (launch, settings).
// GUI thread only.
class SystemScreenshotWatcher final : public QObject {
    Q_OBJECT
public:
    static constexpr int stabilityIntervalMs = 250;
    static constexpr int stabilityChecks = 9;
    static constexpr int openIntervalMs = 1000;
    static constexpr int burstLimit = 5;
    static constexpr int burstQuietMs = 10000;
    static constexpr int overflowPauseMs = 1000;

    explicit SystemScreenshotWatcher(platform::Defaults& settings, QObject* parent = nullptr);
    ~SystemScreenshotWatcher() override;

    // (Re)starts watching the chosen folder; nothing happens when none is chosen or it cannot
    // be watched.
    void start();
    // Stops watching. Files already waiting for their size to settle still open.
    void stop();
    bool isWatching() const { return m_fd >= 0; }
    // How many new files are waiting for their size to settle.
    qsizetype waitingCount() const { return m_waiting.size(); }
    // The folder being watched; empty when stopped.
    QString watchedFolder() const { return m_folder; }

    // Asks for the folder and stores it; true when one was stored. Does not start watching.
    bool chooseFolder();
    // Asks for a folder only when none is chosen, then turns keys::watchSystemScreenshots on and
    // starts watching. False, with nothing changed, when the user cancelled.
    bool enableChoosingFolder();
    // The chosen folder while it exists and is a folder.
    std::optional<QString> resolveBookmark() const;

    // Where a new screenshot goes: its picture and its file name (with the extension). Nowhere
    // until one is set; the application's capture service hands them to its router.
    using Handler = std::function<void(const platform::BaseImage& image, const QString& fileName)>;
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Where a refused screenshot is reported: its file name and why. Nowhere until one is set.
    using RefusalHandler = std::function<void(const QString& fileName, const QString& message)>;
    void setRefusalHandler(RefusalHandler handler) { m_refusalHandler = std::move(handler); }
    // Reports refused screenshots, and those a burst left unopened, in capture toasts.
    void reportInToasts();
    // The least time between two screenshots handed on (openIntervalMs unless a test says).
    void setOpenInterval(int ms) { m_openInterval = ms; }
    // Where the screenshots a burst did not open are counted, once they pause. Nowhere until
    // one is set.
    using OverflowHandler = std::function<void(int count)>;
    void setOverflowHandler(OverflowHandler handler) { m_overflowHandler = std::move(handler); }
    // How quiet the folder must stay for a burst to end (burstQuietMs unless a test says).
    void setBurstQuiet(int ms) { m_burstEnd.setInterval(ms); }
    // Replaces the folder dialog (not owned; nullptr restores Qt's own).
    void setFolderPanel(SystemScreenshotFolderPanel* panel) { m_panel = panel; }

private:
    void readEvents();
    void scan();
    bool isScreenshotImage(const QString& path) const;
    void waitUntilStable(const QString& path, int attempt);
    void finishWaiting(const QString& path, bool stable);
    void openReady();
    // A settled screenshot: queued for its turn, which opens it while its burst has room.
    void arrived(const QString& path, bool closed);
    void reportOverflow();
    void endBurst();
    // Tells what the burst left unopened and starts counting afresh.
    void closeBurst();
    // Reads and hands on one settled file; true when it was handed on.
    bool openSettled(const QString& path, bool closed);
    static std::optional<qint64> fileSize(const QString& path);
    static QSet<QString> currentFiles(const QString& folder);

    platform::Defaults& m_settings;
    Handler m_handler;
    RefusalHandler m_refusalHandler;
    SystemScreenshotFolderPanel* m_panel = nullptr;

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QString m_folder;
    QSet<QString> m_knownFiles;
    // When the watch began, in nanoseconds since the epoch on the clock the kernel stamps
    // files with.
    qint64 m_startedAtNs = 0;
    QTimer m_scanTimer;
    // Names that inotify mentioned since the last look, and those of them that went away.
    QSet<QString> m_touched;
    QSet<QString> m_gone;
    // Paths waiting for their size to settle, and those of them closed after writing meanwhile.
    QSet<QString> m_waiting;
    QSet<QString> m_closedWhileWaiting;
    // Paths that gave up waiting (still growing, or not yet readable): tried again when closed.
    QSet<QString> m_retryWhenClosed;
    // Settled files waiting for their turn to open, whether each was closed after writing.
    struct Ready {
        QString path;
        bool closed = false;
    };
    QList<Ready> m_ready;
    QTimer m_openTimer;
    QElapsedTimer m_sinceOpened; // invalid until one was handed on
    int m_openInterval = openIntervalMs;
    OverflowHandler m_overflowHandler;
    // The current burst: how many editors it opened, how many screenshots it left unopened and
    // not yet reported, and whether it reported any already.
    int m_burstOpened = 0;
    int m_burstUnreported = 0;
    bool m_burstReported = false;
    QTimer m_burstEnd;
    QTimer m_overflowPause;
};

} // namespace snapkin
