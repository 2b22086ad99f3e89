// The screenshot-folder watcher on a real X server, handing screenshots to the editor as the
// application does: a flood opens no more than a burst's few editors and one toast, and files
// made before the watch began never open, however they arrive.

#include "WatcherTestSupport.h"
#include "X11Support.h"

#include "app/CaptureDelivery.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/ToastView.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

using namespace snapkin;

using namespace snapkin::watchertest;

namespace {

QByteArray screenshotBytes()
{
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The application's watcher over a folder "Shots" of a private home, with files staged beside
// it (on the same file system, so they move in by a rename). Every toast that comes up is
// noted.
struct WatchedFolder {
    test::WindowManager wm;
    QTemporaryDir home;
    QString folder;
    QString staging;
    QStringList toasts;
    QTimer toastLook;
    QPointer<ToastView> lastToast;
    EditorWindowController m_editors;
    CaptureDelivery delivery{m_editors, m_editors.history()};
    PostCaptureRouter router{platform::Defaults::standard(), CaptureHooks{&delivery, &delivery}};
    SystemScreenshotWatcher watcher{platform::Defaults::standard()};

    WatchedFolder()
    {
        // Handing screenshots on as the application's capture service does.
        watcher.setHandler([this](const platform::BaseImage& image, const QString& fileName) {
            router.handleSystemScreenshot(image, fileName);
        });
        watcher.reportInToasts();
        folder = home.filePath("Shots");
        staging = home.filePath("Staging");
        QDir().mkdir(folder);
        QDir().mkdir(staging);
        platform::Defaults::standard().removeAllStored();
        platform::Defaults::standard().setValue(keys::systemScreenshotsFolderBookmark, folder);
        // Only toasts that come up from now on count.
        lastToast = CaptureToast::current();
        QObject::connect(&toastLook, &QTimer::timeout, [this] {
            ToastView* toast = CaptureToast::current();
            if (toast && toast != lastToast) toasts.append(toast->message());
            lastToast = toast;
        });
        toastLook.start(10);
    }
    ~WatchedFolder()
    {
        watcher.stop();
        (void)CaptureToast::dismiss();
        auto& editors = m_editors;
        for (EditorPage* page : editors.pages())
            page->store().setHasUnsavedChanges(false);
        for (EditorPage* page : editors.pages())
            page->window()->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return editors.pages().isEmpty(); }, 5000));
        platform::Defaults::standard().removeAllStored();
    }
    qsizetype editors() const { return m_editors.pages().size(); }
};

} // namespace

TEST(SystemScreenshotWatcherX11, TwoHundredScreenshotsMovedInOpenTheBurstsFewAndOneToast)
{
    WatchedFolder watched;
    ASSERT_TRUE(watched.wm.running());
    SystemScreenshotWatcher& watcher = watched.watcher;
    watcher.start();
    ASSERT_TRUE(watcher.isWatching());

    // New screenshots (made after the watch began), moved in within a moment.
    const QByteArray png = screenshotBytes();
    QStringList names;
    for (int i = 0; i < 200; ++i) {
        names.append(QStringLiteral("Screenshot %1.png").arg(i, 3, 10, QLatin1Char('0')));
        ASSERT_TRUE(put(QDir(watched.staging).filePath(names.last()), png));
    }
    for (const QString& name : names)
        ASSERT_TRUE(QFile::rename(QDir(watched.staging).filePath(name),
                                  QDir(watched.folder).filePath(name)));

    ASSERT_TRUE(test::waitUntil(
        [&] { return watched.editors() >= SystemScreenshotWatcher::burstLimit; }, 30000));
    ASSERT_TRUE(test::waitUntil([&] { return !watched.toasts.isEmpty(); }, 15000));
    // Well past the pace of one a second: nothing more opens, no other toast comes.
    QTest::qWait(3000);
    EXPECT_EQ(watched.editors(), SystemScreenshotWatcher::burstLimit);
    EXPECT_EQ(watched.toasts,
              QStringList{QStringLiteral("%1 more screenshots arrived and weren't opened")
                              .arg(200 - SystemScreenshotWatcher::burstLimit)});
}

TEST(SystemScreenshotWatcherX11, FilesMadeBeforeTheWatchAndMovedInLaterNeverOpen)
{
    WatchedFolder watched;
    ASSERT_TRUE(watched.wm.running());
    const QByteArray png = screenshotBytes();
    QStringList names;
    for (int i = 0; i < 20; ++i) {
        names.append(QStringLiteral("Earlier %1.png").arg(i));
        ASSERT_TRUE(put(QDir(watched.staging).filePath(names.last()), png));
    }
    const qint64 lastBorn = bornNs(QDir(watched.staging).filePath(names.last()));
    if (lastBorn == 0) GTEST_SKIP() << "this file system keeps no birth time";
    ASSERT_TRUE(test::waitUntil([&] { return coarseNowNs() > lastBorn; }, 1000));
    SystemScreenshotWatcher& watcher = watched.watcher;
    watcher.start();
    ASSERT_TRUE(watcher.isWatching());

    for (const QString& name : names)
        ASSERT_TRUE(QFile::rename(QDir(watched.staging).filePath(name),
                                  QDir(watched.folder).filePath(name)));
    // A screenshot taken now opens, and it alone.
    ASSERT_TRUE(put(QDir(watched.folder).filePath("Now.png"), png));
    ASSERT_TRUE(test::waitUntil([&] { return watched.editors() >= 1; }, 15000));
    QTest::qWait(2500);
    ASSERT_EQ(watched.editors(), 1);
    EXPECT_TRUE(
        watched.m_editors.pages().front()->window()->windowTitle().contains(QStringLiteral("Now")));
    EXPECT_TRUE(watched.toasts.isEmpty());
}
