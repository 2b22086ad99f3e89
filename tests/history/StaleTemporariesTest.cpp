// Temporaries that a killed write leaves behind: removed from beside a document when it is saved
// again and from the History folder when the history loads, only when the name is one of ours
// and never through a link.

#include "HistorySupport.h"

#include "history/HistoryStore.h"
#include "model/SnapkinDocument.h"
#include "platform/StaleTemporaries.h"
#include "support/KilledWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace snapkin;
using platform::StaleTemporaries;

namespace {

const char* writeLoopVariable = "SNAPKIN_WRITE_LOOP";

QStringList hiddenEntries(const QString& folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .filter(QRegularExpression("^\\."));
}

// A package of a few megabytes, so that its write takes long enough to be cut short.
SnapkinDocument::Package bigPackage()
{
    QByteArray image(6 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(image.data()),
                                          image.size() / 4);
    return SnapkinDocument::Package{QByteArray("{}"), image, QByteArray(64 * 1024, 'p')};
}

// In the child: writes the package at `path` again and again until it is killed.
[[noreturn]] void writeForever(const QString& path)
{
    const SnapkinDocument::Package package = bigPackage();
    // The user's secret that temporaries' names are signed with is made (and synced to the disk)
    // once, at the first name: made before the writes, so that the kills cut writes short.
    (void)StaleTemporaries::name(path, "tmp");
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    out.write("writing\n");
    out.flush();
    for (;;)
        (void)SnapkinDocument::write(package, path);
}

// Starts a child that writes `path` in a loop and kills it a moment into its writing.
void killDuringWrite(const QString& path)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(writeLoopVariable, path);
    // The child signs its temporaries' names with this program's secret, as two runs of the
    // application share the user's: what it leaves empty is then known as ours.
    env.insert("SNAPKIN_TEST_HOME", QFileInfo(qEnvironmentVariable("XDG_DATA_HOME")).path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=StaleTemporaries.FiftyKilledPackageWritesLeaveNothingBehind"});
    QByteArray said;
    while (!said.contains("writing\n") && child.waitForReadyRead(30000))
        said += child.readAll();
    ASSERT_TRUE(said.contains("writing\n"));
    QThread::msleep(QRandomGenerator::global()->bounded(5, 60));
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
}

} // namespace

TEST(StaleTemporaries, FiftyKilledPackageWritesLeaveNothingBehind)
{
    if (const QString path = qEnvironmentVariable(writeLoopVariable); !path.isEmpty())
        writeForever(path);

    QTemporaryDir dir;
    const QString document = dir.filePath("Report.snapkin");
    const HistoryStore history(dir.filePath("History"));
    ASSERT_TRUE(history.prepareFolder());
    const QUuid id = QUuid::createUuid();
    for (int kill = 0; kill < 50; ++kill)
        killDuringWrite(kill % 2 ? document : history.packagePath(id));
    // The kills did cut writes short.
    EXPECT_GT(hiddenEntries(dir.path()).size() + hiddenEntries(history.directory()).size(), 0);

    // Saved again: nothing of the earlier writes stays beside the document.
    const SnapkinDocument::Package small{QByteArray("{}"), QByteArray("png"), std::nullopt};
    ASSERT_TRUE(SnapkinDocument::write(small, document));
    EXPECT_EQ(hiddenEntries(dir.path()), QStringList());
    // Started again: the history's folder is clean once it is loaded.
    (void)history.load();
    EXPECT_EQ(hiddenEntries(history.directory()), QStringList());
}

TEST(StaleTemporaries, OnlyOurOwnMarkedTemporariesOfThatDocumentGoAndLinksAreNotFollowed)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    QTemporaryDir elsewhere;
    snapkin::testing::writeFile(elsewhere.filePath("precious/file.txt"), "keep");

    using snapkin::test::leaveKilledPackageWrite;
    const QString tmp = StaleTemporaries::name("Shot.snapkin", "tmp");
    const QString keep = StaleTemporaries::name("Shot.snapkin", "keep");
    const QString nestedTmp = QLatin1Char('.') + keep + ".tmp-0123456789ab";
    const QString linked = StaleTemporaries::name("Shot.snapkin", "old");
    ASSERT_TRUE(leaveKilledPackageWrite(folder, tmp));
    ASSERT_TRUE(leaveKilledPackageWrite(folder, nestedTmp));
    ASSERT_TRUE(leaveKilledPackageWrite(folder, keep));
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious"), folder + "/" + linked));
    // Not ours: unmarked, or marked for another name (a rename of ours).
    const QStringList others = {
        ".Shot.snapkin.tmp-short",         ".Shot.snapkin.tmp-0123456789AB",
        ".notes.txt.tmp-0123456789ab",     "Shot.snapkin.tmp-0123456789ab",
        ".Shot.snapkin.tmp-0123456789ab~", ".Shot.snapkin.tmp-a1b2c3d4e5f6"};
    for (const QString& name : others)
        snapkin::testing::writeFile(folder + "/" + name, "other");
    ASSERT_TRUE(leaveKilledPackageWrite(folder, ".Shot.snapkin.old-ffffffffffff"));
    ASSERT_TRUE(QDir().rename(folder + "/.Shot.snapkin.old-ffffffffffff",
                              folder + "/.Shot.snapkin.tmp-fedcba987654"));
    // Ours, but of another document.
    const QString otherDocument = StaleTemporaries::name("Other.snapkin", "tmp");
    ASSERT_TRUE(leaveKilledPackageWrite(folder, otherDocument));

    EXPECT_EQ(StaleTemporaries::removeOf(folder, "Shot.snapkin"), 3);
    QStringList left = hiddenEntries(folder) + QDir(folder).entryList({"Shot*"}, QDir::Files);
    left.removeDuplicates();
    QStringList expected =
        others + QStringList{linked, otherDocument, ".Shot.snapkin.tmp-fedcba987654"};
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(snapkin::testing::readFile(elsewhere.filePath("precious/file.txt")), "keep");

    // Every marked temporary of any document goes; what is not ours stays.
    EXPECT_EQ(StaleTemporaries::removeAll(folder), 1);
    EXPECT_FALSE(QFileInfo::exists(folder + "/" + otherDocument));
    EXPECT_TRUE(QFileInfo::exists(folder + "/.notes.txt.tmp-0123456789ab"));
}

// Earlier builds left their temporaries unmarked. In the History folder, which is ours alone,
// those of a package's or the index's write go when the history loads; anything else stays, and
// so does everything of that shape in a folder that others may write into.
TEST(StaleTemporaries, TheHistoryFolderLosesWhatEarlierBuildsLeftUnmarkedThere)
{
    QTemporaryDir dir;
    const HistoryStore history(dir.filePath("History"));
    ASSERT_TRUE(history.prepareFolder());
    const QString folder = history.directory();
    const QString package = QFileInfo(history.packagePath(QUuid::createUuid())).fileName();
    const QString oldPackage = "." + package + ".tmp-0123456789ab";
    const QString oldIndex = ".index.json.tmp-0123456789ab";
    snapkin::testing::writeFile(folder + "/" + oldPackage + "/document.json", "half");
    snapkin::testing::writeFile(folder + "/" + oldIndex, "half");
    const QStringList others = {
        ".notes.txt.tmp-0123456789ab",                 // not a target of ours
        "." + package.toLower() + ".tmp-0123456789ab", // not a package name
        ".index.json.old-0123456789ab",                // the index is never moved aside
        "." + package + ".old-0123456789ab",           // the last copy of a missing package
    };
    snapkin::testing::writeFile(folder + "/" + others[0], "theirs");
    snapkin::testing::writeFile(folder + "/" + others[1] + "/document.json", "theirs");
    snapkin::testing::writeFile(folder + "/" + others[2], "theirs");
    snapkin::testing::writeFile(folder + "/" + others[3] + "/document.json", "the last copy");
    // A package's temporary that is a file, and the index's that is a folder: not what was
    // written there.
    const QString fileAsPackage =
        "." + QFileInfo(history.packagePath(QUuid::createUuid())).fileName() + ".tmp-0123456789ab";
    const QString folderAsIndex = ".index.json.tmp-ba9876543210";
    snapkin::testing::writeFile(folder + "/" + fileAsPackage, "theirs");
    snapkin::testing::writeFile(folder + "/" + folderAsIndex + "/x", "theirs");

    (void)history.load();
    QStringList expected = others + QStringList{fileAsPackage, folderAsIndex};
    expected.sort();
    QStringList left = hiddenEntries(folder);
    left.sort();
    EXPECT_EQ(left, expected);

    // The same names in a folder that is not private stay.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    snapkin::testing::writeFile(folder + "/" + oldIndex, "half");
    (void)history.load();
    EXPECT_TRUE(QFileInfo::exists(folder + "/" + oldIndex));
}

TEST(StaleTemporaries, APackageIsNotSavedIntoAFolderThatWasRemoved)
{
    QTemporaryDir dir;
    const QString gone = dir.filePath("Removed");
    const SnapkinDocument::Package small{QByteArray("{}"), QByteArray("png"), std::nullopt};
    const auto written = SnapkinDocument::write(small, gone + "/Shot.snapkin");
    ASSERT_FALSE(written.has_value());
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(
        written.error().describe(gone + "/Shot.snapkin"),
        platform::describeWriteFailure(gone + "/Shot.png", platform::WriteError::cannotCreate));
    EXPECT_TRUE(written.error().describe(gone + "/Shot.snapkin").contains("doesn't exist"));
}
