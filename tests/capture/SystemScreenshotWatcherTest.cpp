#include "capture/SystemScreenshotWatcher.h"
#include "WatcherTestSupport.h"
#include "capture/SystemScreenshotFolderPanel.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"
#include "platform/NewFileWrite.h"
#include "platform/OwnWrites.h"

#include "support/HostileImages.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

using namespace snapkin;

using namespace snapkin::watchertest;

namespace {

QByteArray pngBytes(QSize size = QSize(40, 30), bool noisy = false)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    if (noisy) {
        QRandomGenerator random(7);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, random.generate());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class FakeFolderPanel final : public SystemScreenshotFolderPanel {
public:
    std::optional<QString> run(const QString& startFolder) override
    {
        starts.append(startFolder);
        return answer;
    }
    std::optional<QString> answer;
    QStringList starts;
};

// A watcher over its own settings and a watched folder; the screenshots it hands on are
// collected by file name.
class Watcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir().mkdir(home.filePath("Shots")));
        folder = home.filePath("Shots");
        platform::OwnWrites::shared().clear();
        watcher.setFolderPanel(&panel);
        watcher.setHandler([this](const platform::BaseImage& image, const QString& name) {
            opened.append(name);
            sizes.append(image.pixelSize());
            openedAt.append(clock.elapsed());
        });
        watcher.setRefusalHandler([this](const QString& name, const QString& message) {
            refused.append(name + ": " + message);
        });
        // The pace of one a second has a test of its own.
        watcher.setOpenInterval(0);
        clock.start();
    }

    void watch()
    {
        settings.setValue(keys::systemScreenshotsFolderBookmark, folder);
        watcher.start();
        ASSERT_TRUE(watcher.isWatching());
    }
    QString inFolder(const QString& name) const { return QDir(folder).filePath(name); }
    // Waits until `count` screenshots were handed on, or `ms` went by.
    bool openedWithin(int ms, qsizetype count = 1)
    {
        return QTest::qWaitFor([&] { return opened.size() >= count; }, ms);
    }
    // Lets the watcher look and wait its full round, then tells what it handed on.
    QStringList openedAfterAWhile(int ms = 2800)
    {
        QTest::qWait(ms);
        return opened;
    }

    QTemporaryDir home;
    QString folder;
    platform::Defaults settings{home.filePath("settings.json")};
    FakeFolderPanel panel;
    SystemScreenshotWatcher watcher{settings};
    QStringList opened;
    QList<QSize> sizes;
    QElapsedTimer clock;
    QList<qint64> openedAt;
    QStringList refused;
};

} // namespace

TEST_F(Watcher, AScreenshotCopiedInOpensOnceWithItsFileName)
{
    watch();
    ASSERT_TRUE(put(inFolder("Screenshot from 2026-12-05.png"), pngBytes()));
    EXPECT_TRUE(openedWithin(3000));
    EXPECT_EQ(openedAfterAWhile(1000), QStringList{"Screenshot from 2026-12-05.png"});
    EXPECT_EQ(sizes.value(0), QSize(40, 30));
}

TEST_F(Watcher, AHiddenNameRenamedIntoPlaceOpensOnceUnderItsFinalName)
{
    watch();
    ASSERT_TRUE(put(inFolder(".grab-1234.png"), pngBytes()));
    QTest::qWait(400);
    ASSERT_TRUE(QFile::rename(inFolder(".grab-1234.png"), inFolder("grab.png")));
    EXPECT_EQ(openedAfterAWhile(), QStringList{"grab.png"});
}

TEST_F(Watcher, ExtensionsCountInAnyCaseAndOtherFilesNeverOpen)
{
    watch();
    ASSERT_TRUE(put(inFolder("SHOT.PNG"), pngBytes()));
    ASSERT_TRUE(put(inFolder("page.pdf"), pngBytes()));
    ASSERT_TRUE(put(inFolder("clip.webm"), pngBytes()));
    // HEIC has no reader: dropped without a word.
    ASSERT_TRUE(put(inFolder("phone.heic"), "not really heic"));
    EXPECT_EQ(openedAfterAWhile(), QStringList{"SHOT.PNG"});
}

TEST_F(Watcher, AFileCreatedBeforeTheWatchBeganIsNotOpenedWhenMovedIn)
{
    ASSERT_TRUE(put(home.filePath("old.png"), pngBytes()));
    if (!QFileInfo(home.filePath("old.png")).birthTime().isValid())
        GTEST_SKIP() << "this file system keeps no creation time";
    QTest::qWait(300);
    watch();
    ASSERT_TRUE(QFile::rename(home.filePath("old.png"), inFolder("old.png")));
    ASSERT_TRUE(put(inFolder("new.png"), pngBytes()));
    EXPECT_EQ(openedAfterAWhile(), QStringList{"new.png"});
}

TEST_F(Watcher, AnEmptyFileWaitsForItsContent)
{
    watch();
    ASSERT_TRUE(put(inFolder("late.png"), QByteArray()));
    QTest::qWait(700);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_TRUE(put(inFolder("late.png"), pngBytes()));
    EXPECT_TRUE(openedWithin(3000));
    EXPECT_EQ(openedAfterAWhile(500), QStringList{"late.png"});
}

TEST_F(Watcher, AFileWrittenSlowlyOpensOnceItIsClosed)
{
    watch();
    const QByteArray png = pngBytes(QSize(200, 200), true);
    QFile file(inFolder("slow.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    // Four seconds of writing, a piece every 80 ms: longer than the watcher's own wait.
    const qsizetype pieces = 50;
    const qsizetype piece = png.size() / pieces + 1;
    for (qsizetype at = 0; at < png.size(); at += piece) {
        ASSERT_EQ(file.write(png.mid(at, piece)), std::min(piece, png.size() - at));
        QTest::qWait(80);
    }
    EXPECT_TRUE(opened.isEmpty());
    file.close();
    EXPECT_TRUE(openedWithin(3000));
    EXPECT_EQ(opened, QStringList{"slow.png"});
    EXPECT_EQ(sizes.value(0), QSize(200, 200));
}

TEST_F(Watcher, SnapkinsOwnFilesArePassedOverOnce)
{
    watch();
    const auto saved = platform::writeNewFile(
        folder, [](int) { return QStringLiteral("Screenshot 2026-12-05 at 15.06.08.png"); },
        pngBytes());
    ASSERT_TRUE(saved.has_value());
    ASSERT_TRUE(platform::writeFileAtomically(inFolder("edited.png"), pngBytes()));
    EXPECT_TRUE(openedAfterAWhile().isEmpty());

    // A stranger's file that later takes one of those names opens.
    ASSERT_TRUE(QFile::remove(inFolder("edited.png")));
    QTest::qWait(200);
    ASSERT_TRUE(put(inFolder("edited.png"), pngBytes()));
    EXPECT_TRUE(openedWithin(3000));
    EXPECT_EQ(opened, QStringList{"edited.png"});
}

TEST_F(Watcher, ANameDeletedAndCreatedAgainOpensAgain)
{
    watch();
    ASSERT_TRUE(put(inFolder("again.png"), pngBytes()));
    ASSERT_TRUE(openedWithin(3000));
    ASSERT_TRUE(QFile::remove(inFolder("again.png")));
    ASSERT_TRUE(put(inFolder("again.png"), pngBytes()));
    EXPECT_TRUE(openedWithin(3000, 2));
    EXPECT_EQ(opened, (QStringList{"again.png", "again.png"}));
}

TEST_F(Watcher, StoppingWhileAFileSettlesStillOpensIt)
{
    watch();
    ASSERT_TRUE(put(inFolder("pending.png"), pngBytes()));
    // Seen, its size not yet confirmed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.waitingCount() == 1; }, 2000));
    ASSERT_TRUE(opened.isEmpty());
    watcher.stop();
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_TRUE(openedWithin(3000));
    // Nothing new is seen once stopped.
    ASSERT_TRUE(put(inFolder("after.png"), pngBytes()));
    EXPECT_EQ(openedAfterAWhile(), QStringList{"pending.png"});
}

TEST_F(Watcher, AFolderThatGoesAwayEndsTheWatch)
{
    watch();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !watcher.isWatching(); }, 2000));
    EXPECT_FALSE(watcher.resolveBookmark());
}

TEST_F(Watcher, EnablingAsksForAFolderOnlyWhenNoneIsChosenAndCancellingChangesNothing)
{
    EXPECT_FALSE(watcher.enableChoosingFolder());
    EXPECT_EQ(panel.starts.size(), 1);
    EXPECT_FALSE(settings.hasStoredValue(keys::watchSystemScreenshots));
    EXPECT_FALSE(settings.hasStoredValue(keys::systemScreenshotsFolderBookmark));
    EXPECT_FALSE(watcher.isWatching());

    panel.answer = folder;
    EXPECT_TRUE(watcher.enableChoosingFolder());
    EXPECT_EQ(panel.starts.size(), 2);
    EXPECT_TRUE(settings.get(keys::watchSystemScreenshots));
    EXPECT_EQ(watcher.resolveBookmark(), folder);
    EXPECT_EQ(watcher.watchedFolder(), folder);

    // Chosen already: no question, watching again at once.
    watcher.stop();
    EXPECT_TRUE(watcher.enableChoosingFolder());
    EXPECT_EQ(panel.starts.size(), 2);
    EXPECT_TRUE(watcher.isWatching());
}

// The folder is anyone's to write into: a link there to a file elsewhere is never followed.
TEST_F(Watcher, ALinkInTheFolderIsNeverFollowed)
{
    watch();
    const QString outside = home.filePath("private.png");
    ASSERT_TRUE(put(outside, pngBytes()));
    ASSERT_TRUE(QFile::link(outside, inFolder("link.png")));
    ASSERT_TRUE(QDir().mkdir(home.filePath("elsewhere")));
    ASSERT_TRUE(put(home.filePath("elsewhere/deep.png"), pngBytes()));
    ASSERT_TRUE(QFile::link(home.filePath("elsewhere"), inFolder("folder.png")));
    // A real screenshot after them still opens.
    QTest::qWait(100);
    ASSERT_TRUE(put(inFolder("real.png"), pngBytes()));
    EXPECT_EQ(openedAfterAWhile(), QStringList{"real.png"});
    EXPECT_TRUE(refused.isEmpty());
}

// Nothing a stranger drops in the folder costs more than the image budget: each hostile image
// is refused with the too-large message, and no editor opens.
TEST_F(Watcher, ImagesOverTheBudgetAreRefusedWithTheMessage)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    watch();
    QStringList expected;
    for (const QString& name : test::hostileImageNames()) {
        // Under a screenshot extension, whatever the content.
        const QString as = QFileInfo(name).completeBaseName() + ".png";
        ASSERT_TRUE(QFile::copy(QDir(test::hostileImagesFolder()).filePath(name), inFolder(as)));
        expected.append(as + ": The image is too large to open.");
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return refused.size() >= expected.size(); }, 5000));
    refused.sort();
    expected.sort();
    EXPECT_EQ(refused, expected);
    EXPECT_TRUE(opened.isEmpty());
}

// A burst of screenshots (or a stranger's flood) opens one editor at a time, at the pace set,
// in the order the files settled.
TEST_F(Watcher, OpensAtMostOneScreenshotPerInterval)
{
    constexpr int interval = 300;
    watcher.setOpenInterval(interval);
    watch();
    for (const char* name : {"a.png", "b.png", "c.png"})
        ASSERT_TRUE(put(inFolder(name), pngBytes()));
    ASSERT_TRUE(openedWithin(3000 + 3 * interval, 3));
    QStringList sorted = opened;
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{"a.png", "b.png", "c.png"}));
    ASSERT_EQ(openedAt.size(), 3);
    // Never sooner than the interval; a loaded machine may be later.
    EXPECT_GE(openedAt[1] - openedAt[0], interval - 5);
    EXPECT_GE(openedAt[2] - openedAt[1], interval - 5);
}

// Made just before the watch began (no pause between) and moved in after: their birth time,
// which the move keeps, says they are old, however close to the start they were made.
TEST_F(Watcher, ManyFilesMadeJustBeforeTheWatchAndMovedInNeverOpen)
{
    ASSERT_TRUE(QDir().mkdir(home.filePath("made")));
    const QByteArray png = pngBytes();
    QStringList names;
    for (int i = 0; i < 200; ++i) {
        names.append(QStringLiteral("old-%1.png").arg(i, 3, 10, QLatin1Char('0')));
        ASSERT_TRUE(put(home.filePath("made/" + names.last()), png));
    }
    const qint64 lastBorn = bornNs(home.filePath("made/" + names.last()));
    if (lastBorn == 0) GTEST_SKIP() << "this file system keeps no birth time";
    // The watch begins once the file-system clock has passed the last file's birth.
    ASSERT_TRUE(QTest::qWaitFor([&] { return coarseNowNs() > lastBorn; }, 1000));
    watch();
    for (const QString& name : names)
        ASSERT_TRUE(QFile::rename(home.filePath("made/" + name), inFolder(name)));
    ASSERT_TRUE(put(inFolder("new.png"), png));
    EXPECT_TRUE(openedWithin(5000));
    EXPECT_EQ(openedAfterAWhile(1500), QStringList{"new.png"});
}

// A flood opens the burst's few editors; the rest are counted in one report once they pause,
// and once the folder has been quiet a new burst opens again.
TEST_F(Watcher, AFloodOpensTheBurstsFewAndReportsTheRestOnce)
{
    QList<int> reports;
    watcher.setOverflowHandler([&](int count) { reports.append(count); });
    watcher.setBurstQuiet(2500);
    watch();
    const QByteArray png = pngBytes();
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(put(inFolder(QStringLiteral("flood-%1.png").arg(i)), png));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.isEmpty(); }, 10000));
    EXPECT_EQ(opened.size(), SystemScreenshotWatcher::burstLimit);
    EXPECT_EQ(reports, QList<int>{40 - SystemScreenshotWatcher::burstLimit});

    // More within the burst open nothing; they are reported once it ends.
    ASSERT_TRUE(put(inFolder("late.png"), png));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports.size() == 2; }, 10000));
    EXPECT_EQ(reports.value(1), 1);
    EXPECT_EQ(opened.size(), SystemScreenshotWatcher::burstLimit);

    // After the quiet, the next screenshot opens.
    ASSERT_TRUE(put(inFolder("next.png"), png));
    ASSERT_TRUE(openedWithin(5000, SystemScreenshotWatcher::burstLimit + 1));
    EXPECT_EQ(opened.last(), QStringLiteral("next.png"));
    EXPECT_EQ(reports.size(), 2);
}

// Watching again (the settings turned off and on, another folder) starts without the last
// burst: its first screenshot opens.
TEST_F(Watcher, ANewWatchStartsWithoutTheLastBurst)
{
    QList<int> reports;
    watcher.setOverflowHandler([&](int count) { reports.append(count); });
    watcher.setBurstQuiet(3'600'000);
    watch();
    const QByteArray png = pngBytes();
    for (int i = 0; i <= SystemScreenshotWatcher::burstLimit; ++i)
        ASSERT_TRUE(put(inFolder(QStringLiteral("burst-%1.png").arg(i)), png));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.isEmpty(); }, 10000));
    ASSERT_EQ(opened.size(), SystemScreenshotWatcher::burstLimit);

    watch();
    ASSERT_TRUE(put(inFolder("after.png"), png));
    ASSERT_TRUE(openedWithin(5000, SystemScreenshotWatcher::burstLimit + 1));
    EXPECT_EQ(opened.last(), QStringLiteral("after.png"));
}
