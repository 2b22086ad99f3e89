// Settings and the history list recent documents and what was captured: they are created for
// the user alone, whatever the umask, while files written for the user (exports) keep the
// modes the user chose.

#include "HistorySupport.h"

#include "history/HistoryStore.h"
#include "model/SnapkinDocument.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace snapkin;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return 07777;
    return st.st_mode & 07777;
}

// Sets the umask for one test and puts the old one back.
struct Umask {
    mode_t old;
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
};

} // namespace

TEST(PrivateFiles, SettingsAndHistoryAreTheUsersAloneWhateverTheUmask)
{
    const Umask open(0);
    QTemporaryDir dir;

    platform::Defaults settings(dir.filePath("config/snapkin/settings.json"));
    ASSERT_TRUE(settings.setValue("recentFolder", "/home/someone/Pictures"));
    EXPECT_EQ(modeOf(dir.filePath("config/snapkin/settings.json")), 0600u);
    EXPECT_EQ(modeOf(dir.filePath("config/snapkin")), 0700u);

    const HistoryStore history(dir.filePath("data/snapkin/History"));
    ASSERT_TRUE(history.save({}));
    EXPECT_EQ(modeOf(dir.filePath("data/snapkin")), 0700u);
    EXPECT_EQ(modeOf(history.directory()), 0700u);
    EXPECT_EQ(modeOf(history.directory() + "/index.json"), 0600u);

    const QUuid id = QUuid::createUuid();
    const SnapkinDocument::Package package{QByteArray("{}"), QByteArray("png"),
                                           QByteArray("thumb")};
    ASSERT_TRUE(
        SnapkinDocument::write(package, history.packagePath(id), platform::FileAccess::userOnly));
    ASSERT_TRUE(
        history.writeEntry(snapkin::testing::entry(id, "Shot", QDateTime::currentDateTimeUtc())));
    EXPECT_EQ(modeOf(history.packagePath(id)), 0700u);
    QDirIterator it(history.packagePath(id), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        EXPECT_EQ(modeOf(path), it.fileInfo().isDir() ? 0700u : 0600u) << path.toStdString();
        files += it.fileInfo().isFile();
    }
    EXPECT_EQ(files, 4); // document, image, thumbnail and the history's record
}

TEST(PrivateFiles, AnOldLooseSettingsFileIsTightenedAtItsNextWrite)
{
    const Umask usual(022);
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    snapkin::testing::writeFile(path, "{}");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
    platform::Defaults settings(path);
    ASSERT_TRUE(settings.setValue("key", 1));
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(PrivateFiles, AnExportKeepsTheModeOfTheFileItReplacesOrTakesTheUmask)
{
    const Umask usual(027);
    QTemporaryDir dir;
    const QString fresh = dir.filePath("new.png");
    ASSERT_TRUE(platform::writeFileAtomically(fresh, "png"));
    EXPECT_EQ(modeOf(fresh), 0640u);

    const QString shared = dir.filePath("shared.png");
    snapkin::testing::writeFile(shared, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0664), 0);
    ASSERT_TRUE(platform::writeFileAtomically(shared, "new"));
    EXPECT_EQ(modeOf(shared), 0664u);
    EXPECT_EQ(snapkin::testing::readFile(shared), "new");
}

TEST(PrivateFiles, ASettingsFileLinkedFromElsewhereIsWrittenThroughItsLink)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath("dotfiles/snapkin.json");
    snapkin::testing::writeFile(kept, "{}");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("config")));
    const QString link = dir.filePath("config/settings.json");
    ASSERT_TRUE(QFile::link(kept, link));

    platform::Defaults settings(link);
    ASSERT_TRUE(settings.setValue("key", "value"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(snapkin::testing::readFile(kept).contains("value"));
    EXPECT_EQ(modeOf(kept), 0600u);
    EXPECT_EQ(QDir(dir.filePath("dotfiles")).entryList(QDir::Hidden | QDir::Files),
              QStringList{"snapkin.json"});
}
