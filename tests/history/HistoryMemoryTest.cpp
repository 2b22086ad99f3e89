// The history under memory that runs out: a capture whose package can't be made is told, and
// the index never names it.

#include "history/CaptureHistory.h"
#include "history/HistoryStore.h"
#include "platform/BaseImage.h"
#include "platform/Defaults.h"
#include "platform/PoolThreads.h"
#include "support/AddressSpace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

using namespace snapkin;

namespace {

// Noise, which compression can't shorten: its PNG takes about as much memory as its pixels.
platform::BaseImage noise(QSize pixels)
{
    QImage image(pixels, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = random.generate() | 0xff000000u;
    }
    return platform::BaseImage(image);
}

// Run in a child whose address space has room for the capture's pixels but not for its PNG.
int recordWithLittleMemory(const QString& folder)
{
    platform::Defaults defaults(folder + "/settings.json");
    const HistoryStore files(folder + "/History");
    CaptureHistory history(files.directory(), defaults);
    QSignalSpy failed(&history, &CaptureHistory::writeFailed);
    // A capture written while there is room, so the queue runs as in any session.
    history.record(noise({40, 30}), "Small");
    history.drain();
    const QUuid small = history.entries()[0].id;
    const platform::BaseImage large = noise({2000, 2000});

    if (!test::leaveAddressSpace(16LL * 1024 * 1024)) return 5;
    history.record(large, "Large");
    QUuid id;
    for (const HistoryEntry& entry : history.entries()) {
        if (entry.title == "Large") id = entry.id;
    }
    history.drain();
    if (!QTest::qWaitFor([&] { return !failed.isEmpty(); }, 10000)) return 6;
    const QString told = failed[0][0].toString();
    if (!told.contains("there isn't enough memory.") || !told.contains(files.directory())) return 7;
    if (QFileInfo::exists(files.packagePath(id))) return 8;

    QFile index(files.directory() + "/" + HistoryStore::indexName);
    if (!index.open(QIODevice::ReadOnly)) return 9;
    const QByteArray names = index.readAll();
    if (names.contains(historyIDText(id).toUtf8())) return 10;
    if (!names.contains(historyIDText(small).toUtf8())) return 11;
    return 0;
}

} // namespace

TEST(HistoryMemory, ACaptureWhosePackageTheMemoryCantHoldIsToldAndLeftOutOfTheIndex)
{
    if (test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit([] {
                    alarm(120); // a hang fails the test rather than the run
                    // Every thread allocates from the one heap the limit holds, as a large
                    // block would anyway: a thread's own heap is reserved whole up front and
                    // would be filled under the limit.
                    mallopt(M_ARENA_MAX, 1);
                    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
                    // Qt's pool threads, which encode, started while there is room, as at launch.
                    platform::reservePoolThreads();
                    QTemporaryDir root;
                    return root.isValid() ? recordWithLittleMemory(root.path()) : 4;
                }()),
                ::testing::ExitedWithCode(0), "");
}
