// Temporaries that a killed write leaves behind: removed from beside a document when it is saved
// again and from the History folder when the history loads, only when the name is one of ours
// and never through a link.

#include "HistorySupport.h"

#include "history/HistoryStore.h"
#include "model/SnapkinDocument.h"
#include "platform/StaleTemporaries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

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

TEST(StaleTemporaries, OnlyOurOwnNamesOfThatDocumentGoAndLinksAreNotFollowed)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    QTemporaryDir elsewhere;
    snapkin::testing::writeFile(elsewhere.filePath("precious/file.txt"), "keep");

    const QString tmp = StaleTemporaries::name("Shot.snapkin", "tmp");
    const QString keep = StaleTemporaries::name("Shot.snapkin", "keep");
    const QString nestedTmp = QLatin1Char('.') + keep + ".tmp-0123456789ab";
    const QString linked = StaleTemporaries::name("Shot.snapkin", "old");
    snapkin::testing::writeFile(folder + "/" + tmp + "/document.json", "half");
    snapkin::testing::writeFile(folder + "/" + nestedTmp + "/document.json", "half");
    snapkin::testing::writeFile(folder + "/" + keep + "/document.json", "whole");
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious"), folder + "/" + linked));
    // Not ours, or not this document's.
    const QStringList others = {
        ".Shot.snapkin.tmp-short",         ".Shot.snapkin.tmp-0123456789AB",
        ".notes.txt.tmp-0123456789ab",     "Shot.snapkin.tmp-0123456789ab",
        ".Other.snapkin.tmp-0123456789ab", ".Shot.snapkin.tmp-0123456789ab~"};
    for (const QString& name : others)
        snapkin::testing::writeFile(folder + "/" + name, "other");

    EXPECT_EQ(StaleTemporaries::removeOf(folder, "Shot.snapkin"), 4);
    QStringList left = hiddenEntries(folder) + QDir(folder).entryList({"Shot*"}, QDir::Files);
    left.removeDuplicates();
    QStringList expected = others;
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(snapkin::testing::readFile(elsewhere.filePath("precious/file.txt")), "keep");

    // The history's folder is ours alone: every temporary of ours goes, the rest stays.
    EXPECT_EQ(StaleTemporaries::removeAll(folder), 2); // .notes.txt… and .Other.snapkin…
    EXPECT_TRUE(QFileInfo::exists(folder + "/.Shot.snapkin.tmp-short"));
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
