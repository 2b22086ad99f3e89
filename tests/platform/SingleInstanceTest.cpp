#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using snapkin::platform::SingleInstance;
using Role = SingleInstance::Role;

namespace {

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
