#include "platform/NewFileWrite.h"
#include "platform/OwnWrites.h"
#include "support/KilledWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace snapkin::platform;

namespace {

QString shotName(int attempt)
{
    return attempt == 1 ? QStringLiteral("shot.png") : QStringLiteral("shot %1.png").arg(attempt);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool put(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Lowers the largest file this process may write, so a write fails as on a full disk (the
// tests run as root, for whom a read-only folder refuses nothing).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lower = m_old;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

class NewFileWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        OwnWrites::shared().clear();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(NewFileWrite, TakesTheFirstFreeNameAndLeavesEveryTakenOneAlone)
{
    // A file, a folder and a dangling link each take a name.
    ASSERT_TRUE(put(dir.filePath("shot.png"), "theirs"));
    ASSERT_TRUE(QDir().mkdir(dir.filePath("shot 2.png")));
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("shot 3.png")));

    const auto written = writeNewFile(dir.path(), shotName, "ours");
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, dir.filePath("shot 4.png"));
    EXPECT_EQ(contents(dir.filePath("shot 4.png")), "ours");
    EXPECT_EQ(contents(dir.filePath("shot.png")), "theirs");
    EXPECT_TRUE(QFileInfo(dir.filePath("shot 2.png")).isDir());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nowhere")));
    // No temporary is left, and only the name written is registered as our own.
    EXPECT_EQ(entries(dir.path()),
              (QStringList{"shot 2.png", "shot 3.png", "shot 4.png", "shot.png"}));
    EXPECT_TRUE(OwnWrites::shared().contains(dir.filePath("shot 4.png")));
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("shot.png")));
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("shot 3.png")));
}

TEST_F(NewFileWrite, AFileThatTakesTheNameJustBeforeTheMoveIsKept)
{
    // Another program saves under the name at the last moment, after the data is written.
    const QString contested = dir.filePath("shot.png");
    const auto namer = [&](int attempt) {
        if (attempt == 1 && !QFileInfo::exists(contested) &&
            !entries(dir.path()).isEmpty()) // our temporary is there already
            put(contested, "theirs");
        return shotName(attempt);
    };
    const auto written = writeNewFile(dir.path(), namer, "ours");
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, dir.filePath("shot 2.png"));
    EXPECT_EQ(contents(contested), "theirs");
    EXPECT_EQ(contents(dir.filePath("shot 2.png")), "ours");
    EXPECT_FALSE(OwnWrites::shared().contains(contested));
}

TEST_F(NewFileWrite, AFailedWriteLeavesNothingBehindAndNothingRegistered)
{
    {
        FileSizeLimit limit(4096);
        const auto written = writeNewFile(dir.path(), shotName, QByteArray(64 * 1024, 'x'));
        ASSERT_FALSE(written.has_value());
        EXPECT_EQ(written.error(), WriteError::writeFailed);
    }
    EXPECT_TRUE(entries(dir.path()).isEmpty());
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("shot.png")));

    const auto missing = writeNewFile(dir.filePath("gone"), shotName, "ours");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error(), WriteError::cannotCreate);
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("gone/shot.png")));
}

// A save that a kill cut short left its hidden temporary, as large as the picture: the next save
// into the folder, whatever its name, removes it. A save still under way (another instance's,
// holding its temporary locked) keeps its temporary, and the user's own hidden files stay.
TEST_F(NewFileWrite, TheNextSaveIntoTheFolderRemovesWhatAKilledSaveLeft)
{
    const QString killed = dir.filePath(".Screenshot 2026-12-07 at 07.59.32.png.tmp-0123456789ab");
    const QString underWay =
        dir.filePath(".Screenshot 2026-12-07 at 08.00.00.png.tmp-ba9876543210");
    const QString users = dir.filePath(".Screenshot.png.tmp-mine");
    ASSERT_TRUE(snapkin::test::leaveKilledFileWrite(dir.path(), QFileInfo(killed).fileName(),
                                                    QByteArray(1 << 20, 'x')));
    ASSERT_TRUE(
        snapkin::test::leaveKilledFileWrite(dir.path(), QFileInfo(underWay).fileName(), "half"));
    ASSERT_TRUE(put(users, "the user's"));
    const int held = ::open(QFile::encodeName(underWay).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const auto written = writeNewFile(dir.path(), shotName, "ours");
    ::close(held);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(entries(dir.path()), (QStringList{QFileInfo(underWay).fileName(),
                                                QFileInfo(users).fileName(), "shot.png"}));
}

TEST(OwnWritesTake, PassesEachRegistrationOverOnce)
{
    OwnWrites::shared().clear();
    OwnWrites::shared().add("/tmp/snapkin-own/shot.png");
    EXPECT_TRUE(OwnWrites::shared().take("/tmp/snapkin-own/shot.png"));
    EXPECT_FALSE(OwnWrites::shared().take("/tmp/snapkin-own/shot.png"));
    EXPECT_FALSE(OwnWrites::shared().contains("/tmp/snapkin-own/shot.png"));
}
