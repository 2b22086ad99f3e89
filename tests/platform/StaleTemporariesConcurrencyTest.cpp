// Writes of every kind into one folder from several threads at once (as several instances save
// into one folder), each sweeping the folder of stale temporaries first, while other threads keep
// sweeping it: no sweep takes a temporary that a write still needs.
#include "platform/AtomicWrite.h"
#include "platform/NewFileWrite.h"
#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace snapkin::platform;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(StaleTemporariesConcurrency, SweepsNeverTakeATemporaryThatAWriteStillNeeds)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    constexpr int writers = 4;
    constexpr int rounds = 40;
    std::atomic<bool> writing{true};
    std::atomic<int> failed{0};
    std::vector<std::thread> sweepers;
    for (int sweeper = 0; sweeper < 2; ++sweeper) {
        sweepers.emplace_back([&] {
            while (writing.load())
                StaleTemporaries::removeAll(folder);
        });
    }
    std::vector<std::thread> writerThreads;
    for (int t = 0; t < writers; ++t) {
        writerThreads.emplace_back([&, t] {
            const QByteArray data = QByteArray(64 * 1024, char('a' + t));
            for (int round = 0; round < rounds; ++round) {
                const QString name = QStringLiteral("w%1-%2").arg(t).arg(round);
                bool ok = false;
                switch (round % 3) {
                case 0:
                    ok = writeFileAtomically(folder + "/" + name + ".png", data).has_value();
                    break;
                case 1:
                    ok = writeNewFile(
                             folder, [&](int) { return name + ".jpg"; }, data)
                             .has_value();
                    break;
                default:
                    ok = writeFolderAtomically(folder + "/" + name + ".snapkin",
                                               [&](const QString& temp) {
                                                   QFile file(temp + "/document.json");
                                                   return file.open(QIODevice::WriteOnly) &&
                                                          file.write(data) == data.size();
                                               })
                             .has_value();
                }
                if (!ok) ++failed;
            }
        });
    }
    for (std::thread& thread : writerThreads)
        thread.join();
    writing = false;
    for (std::thread& thread : sweepers)
        thread.join();

    EXPECT_EQ(failed.load(), 0);
    const QStringList left =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(left.size(), writers * rounds);
    EXPECT_TRUE(left.filter(QRegularExpression("^\\.")).isEmpty()) << left.join(' ').toStdString();
    for (int t = 0; t < writers; ++t) {
        const QByteArray data = QByteArray(64 * 1024, char('a' + t));
        EXPECT_EQ(readAll(folder + QStringLiteral("/w%1-0.png").arg(t)), data);
        EXPECT_EQ(readAll(folder + QStringLiteral("/w%1-1.jpg").arg(t)), data);
        EXPECT_EQ(readAll(folder + QStringLiteral("/w%1-2.snapkin/document.json").arg(t)), data);
    }
}
