#include "platform/SingleInstance.h"
#include "support/OtherUser.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using snapkin::platform::SingleInstance;
using Role = SingleInstance::Role;
using snapkin::test::ForeignListener;
using snapkin::test::OtherUser;

namespace {

// A folder another user may make sockets in and connect through, as /tmp is.
QString openFolder(const QTemporaryDir& dir)
{
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    return dir.path();
}

// Connects to `path` as a plain client would and sends `message`; the exit status says how far
// it got: 0 sent, 1 no connection, 2 the write failed.
int sendRaw(const QByteArray& path, const QByteArray& message)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 1;
    if (::write(fd, message.constData(), size_t(message.size())) != message.size()) return 2;
    ::close(fd);
    return 0;
}

class SingleInstanceTest : public ::testing::Test {
protected:
    QString socket() const { return m_dir.filePath(QStringLiteral("snapkin.instance")); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SingleInstanceTest, ASecondStartHandsOverAbsolutePathsAndAReopen)
{
    SingleInstance first(socket());
    ASSERT_EQ(first.claim({}), Role::primary);
    QSignalSpy files(&first, &SingleInstance::filesRequested);
    QSignalSpy reopens(&first, &SingleInstance::reopenRequested);

    SingleInstance second(socket());
    EXPECT_EQ(second.claim({QStringLiteral("shot.png"), QStringLiteral("/tmp/a b.snapkin")}),
              Role::forwarded);
    ASSERT_TRUE(QTest::qWaitFor([&] { return files.count() == 1; }, 5000));
    const QStringList paths = files.first().first().toStringList();
    EXPECT_EQ(paths, (QStringList{QDir::current().absoluteFilePath(QStringLiteral("shot.png")),
                                  QStringLiteral("/tmp/a b.snapkin")}));

    SingleInstance third(socket());
    EXPECT_EQ(third.claim({}), Role::forwarded);
    EXPECT_TRUE(QTest::qWaitFor([&] { return reopens.count() == 1; }, 5000));
    EXPECT_EQ(files.count(), 1);
}

TEST_F(SingleInstanceTest, ASocketLeftByADeadProcessIsReplaced)
{
    // A regular file where the socket should be stands for what a crashed run leaves.
    QFile stale(socket());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance(socket());
    EXPECT_EQ(instance.claim({}), Role::primary);
    // And the socket is the user's alone.
    EXPECT_EQ(QFile::permissions(socket()) & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                              QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());
}

TEST_F(SingleInstanceTest, AfterThePrimaryEndsTheNextStartIsPrimary)
{
    {
        SingleInstance first(socket());
        ASSERT_EQ(first.claim({}), Role::primary);
    }
    SingleInstance next(socket());
    EXPECT_EQ(next.claim({}), Role::primary);
}

TEST(SingleInstanceMessage, OnlyWellFormedRequestsWithAbsolutePathsAreTaken)
{
    bool valid = false;
    EXPECT_EQ(SingleInstance::decode(SingleInstance::encode({"/a.png", "/b/c.png"}), &valid),
              (QStringList{"/a.png", "/b/c.png"}));
    EXPECT_TRUE(valid);
    EXPECT_TRUE(SingleInstance::decode(SingleInstance::encode({}), &valid).isEmpty());
    EXPECT_TRUE(valid); // a reopen

    for (const QByteArray bad : {QByteArray("garbage"), QByteArray(R"({"open":["relative.png"]})"),
                                 QByteArray(R"({"open":[]})"), QByteArray(R"({"open":[3]})"),
                                 QByteArray(R"({"reopen":false})")}) {
        SingleInstance::decode(bad, &valid);
        EXPECT_FALSE(valid) << bad.constData();
    }
}

TEST(SingleInstancePath, LivesInTheRuntimeFolderAndNamesTheDisplay)
{
    QTemporaryDir runtime;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray oldDisplay = qgetenv("DISPLAY");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("DISPLAY", ":7.0");
    const QString onSeven = SingleInstance::socketPath();
    qputenv("DISPLAY", ":8");
    const QString onEight = SingleInstance::socketPath();
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
    qputenv("DISPLAY", oldDisplay);

    EXPECT_TRUE(onSeven.startsWith(runtime.path() + QLatin1Char('/')));
    EXPECT_NE(onSeven, onEight); // one instance per display
}

TEST(SingleInstanceOtherUser, ASocketOfAnotherUserGetsNothingAndTheStartRunsOnItsOwn)
{
    const auto other = snapkin::test::otherUser();
    if (!other) GTEST_SKIP() << "needs root to act as a second user";
    QTemporaryDir dir;
    const QString path = openFolder(dir) + QStringLiteral("/snapkin.instance");
    ForeignListener listener(*other, {path});
    ASSERT_TRUE(listener.listening());

    SingleInstance victim(path);
    EXPECT_EQ(victim.claim({QStringLiteral("/home/someone/secret.png")}), Role::refused);
    const ForeignListener::Catch caught = listener.stop();
    EXPECT_EQ(caught.bytes, 0);
    EXPECT_NE(caught.connections, -1); // the listener did report
}

TEST(SingleInstanceOtherUser, ThePrimaryActsOnlyOnRequestsOfItsOwnUser)
{
    const auto other = snapkin::test::otherUser();
    if (!other) GTEST_SKIP() << "needs root to act as a second user";
    QTemporaryDir dir;
    const QString path = openFolder(dir) + QStringLiteral("/snapkin.instance");
    SingleInstance primary(path);
    ASSERT_EQ(primary.claim({}), Role::primary);
    QSignalSpy files(&primary, &SingleInstance::filesRequested);
    QSignalSpy reopens(&primary, &SingleInstance::reopenRequested);
    // A socket that others may connect to, as a loose mode would make it.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0777), 0);

    const QByteArray name = QFile::encodeName(path);
    EXPECT_EQ(snapkin::test::runAs(
                  *other, [&] { return sendRaw(name, SingleInstance::encode({"/etc/shadow"})); }),
              0);
    // The user's own request comes after the stranger's and is the only one acted on.
    SingleInstance own(path);
    EXPECT_EQ(own.claim({}), Role::forwarded);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reopens.count() == 1; }, 5000));
    EXPECT_EQ(files.count(), 0);
}

TEST(SingleInstancePath, WithoutAPrivateRuntimeFolderTheSocketIsInAPrivateCacheFolder)
{
    QTemporaryDir home;
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    const QString cache = home.filePath(QStringLiteral("cache"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::Permissions(0x7777)); // open to everyone
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qputenv("XDG_CACHE_HOME", cache.toUtf8());
    const QString loose = SingleInstance::socketPath();
    qunsetenv("XDG_RUNTIME_DIR");
    const QString unset = SingleInstance::socketPath();
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
    qputenv("XDG_CACHE_HOME", oldCache);

    const QString folder = cache + QStringLiteral("/snapkin/instance");
    EXPECT_EQ(QFileInfo(loose).absolutePath(), folder);
    EXPECT_EQ(unset, loose);
    EXPECT_EQ(QFile::permissions(folder) & 0x0077, QFileDevice::Permissions());
}
