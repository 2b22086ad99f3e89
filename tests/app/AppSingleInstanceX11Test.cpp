#include "../capture/X11Support.h"
#include "TestPaths.h"
#include "support/OtherUser.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace snapkin;

namespace {

QString appPath()
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin");
}

// The display as the application puts it into its socket's name.
QString displayTag()
{
    QString tag;
    for (const QChar c : qEnvironmentVariable("DISPLAY"))
        tag += c.isLetterOrNumber() || c == QLatin1Char('.') ? c : QLatin1Char('_');
    return tag;
}

struct App {
    QProcess process;
    App(const QProcessEnvironment& environment, const QStringList& arguments,
        QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(channels);
        process.start(appPath(), arguments);
    }
    ~App()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

} // namespace

TEST(AppSingleInstance, AnotherUserListeningFirstGetsNothingAndTheFileOpensHere)
{
    const auto other = test::otherUser();
    if (!other) GTEST_SKIP() << "needs root to act as a second user";
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());

    // The other user listens first where a start of ours might look: in a runtime folder that
    // is theirs (named to us through XDG_RUNTIME_DIR) and under the shared temporary folder.
    QTemporaryDir shared;
    QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777));
    const QString theirRuntime = shared.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkdir(theirRuntime));
    ASSERT_EQ(::chown(QFile::encodeName(theirRuntime).constData(), other->uid, other->gid), 0);
    const QString name = QStringLiteral("snapkin-%1.instance").arg(displayTag());
    const QString oldShared =
        QStringLiteral("/tmp/snapkin-%1-%2.instance").arg(::getuid()).arg(displayTag());
    // Left by a run on an earlier server of the same number: nobody listens there any more.
    QFile::remove(oldShared);
    test::ForeignListener listener(*other, {theirRuntime + QLatin1Char('/') + name, oldShared});
    ASSERT_TRUE(listener.listening());

    QTemporaryDir dir;
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(QColor(30, 160, 90));
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("first.png"))));
    ASSERT_TRUE(image.scaled(120, 80).save(dir.filePath(QStringLiteral("second.png"))));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), theirRuntime);
    App first(environment, {dir.filePath(QStringLiteral("first.png"))});
    EXPECT_FALSE(test::findVisibleWindow(QString::fromUtf8("first.png — 300 × 200 px")).isEmpty());

    // A later start of the same user still reaches the first, through the private folder.
    App second(environment, {dir.filePath(QStringLiteral("second.png"))});
    ASSERT_TRUE(second.process.waitForFinished(10000));
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_FALSE(test::findVisibleWindow(QString::fromUtf8("second.png — 120 × 80 px")).isEmpty());
    EXPECT_EQ(first.process.state(), QProcess::Running);

    const test::ForeignListener::Catch caught = listener.stop();
    EXPECT_EQ(caught.connections, 0);
    EXPECT_EQ(caught.bytes, 0);
}

TEST(AppSingleInstance, AHandOverRefusedToAnotherUsersProcessStartsHereAndSaysSo)
{
    const auto other = test::otherUser();
    if (!other) GTEST_SKIP() << "needs root to act as a second user";
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    // A socket in the user's own runtime folder, answered by a process of another user.
    const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") +
                           QStringLiteral("/snapkin-%1.instance").arg(displayTag());
    test::ForeignListener listener(*other, {socket}, test::ForeignListener::Bind::asUsThenThem);
    ASSERT_TRUE(listener.listening());

    QTemporaryDir dir;
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(QColor(160, 30, 90));
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("mine.png"))));
    App app(QProcessEnvironment::systemEnvironment(), {dir.filePath(QStringLiteral("mine.png"))},
            QProcess::ForwardedOutputChannel);
    EXPECT_FALSE(test::findVisibleWindow(QString::fromUtf8("mine.png — 300 × 200 px")).isEmpty());
    QByteArray errors;
    EXPECT_TRUE(test::waitUntil([&] {
        errors += app.process.readAllStandardError();
        return errors.contains("belongs to another user");
    })) << errors.constData();

    const test::ForeignListener::Catch caught = listener.stop();
    EXPECT_EQ(caught.connections, 1);
    EXPECT_EQ(caught.bytes, 0);
}
