#include "platform/Defaults.h"

#include "SettingsFileSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

using snapkin::platform::Defaults;
namespace keys = snapkin::keys;
using snapkin::testing::fileObject;

// Settings changed from several threads while another process holds the lock, then lets it go
// in the middle: the waiting write runs beside the setters and nothing is lost. A second store
// adds recent documents to the same file meanwhile.
TEST(DefaultsConcurrency, ChangesWhileTheLockIsHeldAreAllWritten)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/snapkin/settings.json";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    const int held =
        ::open(QFile::encodeName(path + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    Defaults ours(path);
    Defaults second(path);
    constexpr int rounds = 40;
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const QString key = QString("key%1").arg(t);
            for (int i = 1; i <= rounds; ++i) {
                EXPECT_TRUE(ours.setValue(key, i));
                if (++done == rounds) ::close(held); // the holder lets go
            }
        });
    }
    // Each store's list is read and written back by one thread, as the application does.
    const auto addDocuments = [](Defaults& store, const QString& prefix) {
        for (int i = 0; i < 5; ++i) {
            store.set(keys::recentDocuments,
                      QStringList{prefix + QString::number(i)} + store.get(keys::recentDocuments));
        }
    };
    threads.emplace_back([&] { addDocuments(ours, "/docs/ours"); });
    threads.emplace_back([&] { addDocuments(second, "/docs/second"); });
    for (std::thread& thread : threads)
        thread.join();
    ours.flush();
    second.flush();

    const QJsonObject written = fileObject(path);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(written.value(QString("key%1").arg(t)), QJsonValue(rounds)) << t;
    QStringList recent;
    for (const QJsonValue& item : written.value("recentDocuments").toArray())
        recent << item.toString();
    EXPECT_EQ(recent.size(), 10);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(recent.contains("/docs/ours" + QString::number(i))) << i;
        EXPECT_TRUE(recent.contains("/docs/second" + QString::number(i))) << i;
    }
}
