// What a sweep of stale temporaries removes: only what our own writers left when they were
// killed, proven ours by the mark they put on it, never what another program or a person named
// like one of ours; and without a recursion or a descriptor per level of a tree on the disk.
#include "platform/StaleTemporaries.h"
#include "platform/AtomicWrite.h"
#include "platform/NewFileWrite.h"
#include "support/KilledWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace snapkin::platform;
using snapkin::test::leaveKilledFileWrite;
using snapkin::test::leaveKilledPackageWrite;
using snapkin::test::markAsOurTemporary;

namespace {

const char* childVariable = "SNAPKIN_STALE_TEMPORARIES_CHILD";

bool put(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList hiddenEntries(const QString& folder)
{
    QStringList names =
        QDir(folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .filter(QRegularExpression("^\\."));
    names.sort();
    return names;
}

// Runs this test program again as a child with `variable`=`value` in its environment, limited
// to the test `test` (which acts on it), and returns how it ended.
struct Ended {
    QProcess::ExitStatus status;
    int code;
};
Ended runChild(const char* test, const QString& value)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(childVariable, value);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + test});
    child.waitForFinished(120000);
    return {child.exitStatus(), child.exitCode()};
}

// A chain of `depth` folders "d/d/…/d" under `top`, made level by level through descriptors
// (the path is longer than any path the kernel takes), with a file at the bottom.
bool makeChain(const QString& top, int depth)
{
    int fd = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level < depth; ++level) {
        if (::mkdirat(fd, "d", 0700) != 0) break;
        const int child = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = child;
        if (level == depth - 1 && fd >= 0) {
            const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            ::close(fd);
            if (file < 0) return false;
            ::close(file);
            return true;
        }
    }
    if (fd >= 0) ::close(fd);
    return false;
}

// Whether the chain under `top` still reaches its file at the bottom.
bool chainIsWhole(const QString& top, int depth)
{
    int fd = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level < depth; ++level) {
        const int child = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = child;
    }
    if (fd < 0) return false;
    struct stat st {};
    const bool whole = ::fstatat(fd, "bottom", &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(fd);
    return whole;
}

// Removes whatever is left of a chain under `top`: down to the bottom, then up through "..".
void removeChain(const QString& top)
{
    int fd = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int depth = 0;
    while (fd >= 0) {
        const int child = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child < 0) break;
        ::close(fd);
        fd = child;
        ++depth;
    }
    for (; fd >= 0 && depth > 0; --depth) {
        ::unlinkat(fd, "bottom", 0);
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        if (fd >= 0) ::unlinkat(fd, "d", AT_REMOVEDIR);
    }
    if (fd >= 0) ::close(fd);
}

} // namespace

// What people and other programs keep under names of our temporaries' form stays, after a sweep
// and after writes of every kind into the folder: a backup folder named with a 12-digit commit
// hash, another program's temporary, a file moved aside whose original is missing, a folder
// named as a picture's temporary.
TEST(StaleTemporarySweep, WhatOthersNamedLikeOursStays)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QStringList files = {
        ".vacation.old-1a2b3c4d5e6f/day1/IMG_0001.jpg",
        ".notes.txt.tmp-0123456789ab",
        ".photo.png.old-0123456789ab",
        ".z.png.tmp-abcdef012345/inside.png",
    };
    for (const QString& name : files)
        ASSERT_TRUE(put(folder + "/" + name, name.toUtf8()));
    // Our temporary once, renamed since: its mark is for the name it had.
    ASSERT_TRUE(leaveKilledFileWrite(folder, ".Screenshot 1.png.tmp-fedcba987654", "renamed"));
    ASSERT_TRUE(QDir(folder).rename(".Screenshot 1.png.tmp-fedcba987654",
                                    ".Screenshot 1.png.tmp-0123456789ab"));

    StaleTemporaries::removeAll(folder);
    ASSERT_TRUE(writeFileAtomically(folder + "/photo2.png", "png"));
    ASSERT_TRUE(writeNewFile(
        folder, [](int) { return QStringLiteral("Shot.png"); }, "png"));
    ASSERT_TRUE(writeFolderAtomically(folder + "/Plan.snapkin", [](const QString& temp) {
        return put(temp + "/document.json", "{}");
    }));
    ASSERT_TRUE(writeFolderAtomically(folder + "/Plan.snapkin", [](const QString& temp) {
        return put(temp + "/document.json", "{ }");
    }));

    for (const QString& name : files)
        EXPECT_EQ(readAll(folder + "/" + name), name.toUtf8()) << name.toStdString();
    EXPECT_EQ(readAll(folder + "/.Screenshot 1.png.tmp-0123456789ab"), "renamed");
    EXPECT_EQ(hiddenEntries(folder),
              (QStringList{".Screenshot 1.png.tmp-0123456789ab", ".notes.txt.tmp-0123456789ab",
                           ".photo.png.old-0123456789ab", ".vacation.old-1a2b3c4d5e6f",
                           ".z.png.tmp-abcdef012345"}));
}

// A mark proves an entry ours only for the entry it was put on, of the kind it names: a copy
// that kept it, a second name of the file, a folder marked as a file, a file marked as a
// package, and a file moved aside (files never are) all stay; our own marked leftovers go.
TEST(StaleTemporarySweep, OnlyTheEntryOurWriterMarkedAndOfItsKindGoes)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString ours = ".a.png.tmp-000000000001";
    const QString oursPackage = ".a.snapkin.tmp-000000000002";
    ASSERT_TRUE(leaveKilledFileWrite(folder, ours, "ours"));
    ASSERT_TRUE(leaveKilledPackageWrite(folder, oursPackage));

    // A copy under the same name in another folder, with the mark copied too (cp -a).
    QTemporaryDir copies;
    ASSERT_TRUE(QFile::copy(folder + "/" + ours, copies.path() + "/" + ours));
    char mark[256];
    const ssize_t size = ::getxattr(QFile::encodeName(folder + "/" + ours).constData(),
                                    "user.snapkin.temporary", mark, sizeof mark);
    ASSERT_GT(size, 0);
    ASSERT_EQ(::setxattr(QFile::encodeName(copies.path() + "/" + ours).constData(),
                         "user.snapkin.temporary", mark, size_t(size), 0),
              0);
    // A file with a second name.
    const QString linkedTwice = ".b.png.tmp-000000000003";
    ASSERT_TRUE(leaveKilledFileWrite(folder, linkedTwice, "b"));
    ASSERT_EQ(::link(QFile::encodeName(folder + "/" + linkedTwice).constData(),
                     QFile::encodeName(folder + "/b-backup.png").constData()),
              0);
    // Marked as what it is not.
    const QString folderAsFile = ".c.png.tmp-000000000004";
    ASSERT_TRUE(put(folder + "/" + folderAsFile + "/c.png", "c"));
    ASSERT_TRUE(markAsOurTemporary(folder + "/" + folderAsFile, StaleTemporaries::Kind::file));
    const QString fileAsPackage = ".d.snapkin.tmp-000000000005";
    ASSERT_TRUE(put(folder + "/" + fileAsPackage, "d"));
    ASSERT_TRUE(markAsOurTemporary(folder + "/" + fileAsPackage, StaleTemporaries::Kind::package));
    // A file marked as ours under a moved-aside name, its original present.
    ASSERT_TRUE(put(folder + "/e.png", "e"));
    const QString fileAside = ".e.png.old-000000000006";
    ASSERT_TRUE(leaveKilledFileWrite(folder, fileAside, "old e"));

    EXPECT_EQ(StaleTemporaries::removeAll(folder), 2);
    EXPECT_EQ(StaleTemporaries::removeAll(copies.path()), 0);
    EXPECT_EQ(readAll(copies.path() + "/" + ours), "ours");
    QStringList expected{linkedTwice, folderAsFile, fileAside, fileAsPackage};
    expected.sort();
    EXPECT_EQ(hiddenEntries(folder), expected);
}

// A writer killed between making its temporary and marking it leaves it empty, under a name it
// signed with the user's secret: that goes. An empty entry under a name of the same form that
// no writer of ours signed, and a signed one that holds anything, stay.
TEST(StaleTemporarySweep, AnEmptyLeftoverGoesOnlyUnderANameOurWriterSigned)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString emptyFile = StaleTemporaries::name("a.png", "tmp");
    const QString emptyFolder = StaleTemporaries::name("a.snapkin", "tmp");
    const QString fullFile = StaleTemporaries::name("b.png", "tmp");
    const QString fullFolder = StaleTemporaries::name("b.snapkin", "tmp");
    ASSERT_TRUE(StaleTemporaries::isOwnName(emptyFile));
    ASSERT_TRUE(put(folder + "/" + emptyFile, ""));
    ASSERT_TRUE(QDir(folder).mkdir(emptyFolder));
    ASSERT_TRUE(put(folder + "/" + fullFile, "someone's"));
    ASSERT_TRUE(put(folder + "/" + fullFolder + "/inside", "someone's"));
    // The same digits for another target, and an empty entry of someone else's.
    const QString otherTarget = ".c.png.tmp-" + emptyFile.right(12);
    const QString unsigned_ = ".lock.tmp-0123456789ab";
    ASSERT_FALSE(StaleTemporaries::isOwnName(otherTarget));
    ASSERT_TRUE(put(folder + "/" + otherTarget, ""));
    ASSERT_TRUE(QDir(folder).mkdir(unsigned_));

    EXPECT_EQ(StaleTemporaries::removeAll(folder), 2);
    QStringList expected{fullFile, fullFolder, otherTarget, unsigned_};
    expected.sort();
    EXPECT_EQ(hiddenEntries(folder), expected);
}

// A package built under the name of a temporary of ours, to be kept beside another document
// and named later, stays marked as ours: a kill before it gets its name leaves it to a sweep.
TEST(StaleTemporarySweep, APackageBuiltToBeKeptStaysMarkedUntilItIsNamed)
{
    QTemporaryDir dir;
    const QString keep = StaleTemporaries::name("Shot.snapkin", "keep");
    ASSERT_TRUE(writeFolderAtomically(dir.path() + "/" + keep, [](const QString& temp) {
        return put(temp + "/document.json", "{}");
    }));
    ASSERT_TRUE(QFileInfo(dir.path() + "/" + keep).isDir());
    EXPECT_EQ(StaleTemporaries::removeAll(dir.path()), 1);
    EXPECT_EQ(hiddenEntries(dir.path()), QStringList());
}

// A write that a kill cuts short (here the file-size limit, which kills the writer in its first
// write()) leaves its temporary; the next write into the folder removes it, for either writer.
TEST(StaleTemporarySweep, WhatARealKilledFileWriteLeftGoesAtTheNextWrite)
{
    if (const QString child = qEnvironmentVariable(childVariable); !child.isEmpty()) {
        const QStringList what = child.split('\n');
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_CORE, &none);
        const rlimit small{4096, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::signal(SIGXFSZ, SIG_DFL);
        const QByteArray data(64 * 1024, 'x');
        if (what[0] == "file")
            (void)writeFileAtomically(what[1] + "/shot.png", data);
        else
            (void)writeNewFile(
                what[1], [](int) { return QStringLiteral("new.png"); }, data);
        std::_Exit(0); // not killed: the parent sees no leftover
    }
    for (const QString& writer : {QStringLiteral("file"), QStringLiteral("new")}) {
        QTemporaryDir dir;
        const Ended ended =
            runChild("StaleTemporarySweep.WhatARealKilledFileWriteLeftGoesAtTheNextWrite",
                     writer + "\n" + dir.path());
        EXPECT_EQ(ended.status, QProcess::CrashExit);
        ASSERT_EQ(hiddenEntries(dir.path()).size(), 1) << writer.toStdString();
        ASSERT_TRUE(writeFileAtomically(dir.path() + "/other.png", "png"));
        EXPECT_EQ(hiddenEntries(dir.path()), QStringList()) << writer.toStdString();
    }
}

// A tree of our temporaries' form 5,000 folders deep, in a folder of someone else's and in a
// package of ours alike: the sweep, on a thread with a small stack and under the usual limit of
// open files, neither overflows the stack nor gives up; it leaves the tree that is not ours
// whole and goes no deeper into ours than our package writer does, leaving what is deeper.
TEST(StaleTemporarySweep, ADeepTreeNeitherOverflowsTheStackNorTakesADescriptorPerLevel)
{
    constexpr int depth = 5000;
    const QString theirs = ".backup.old-0123456789ab";
    const QString oursDeep = ".Deep.snapkin.tmp-0123456789ab";
    const QString ours = ".Plan.snapkin.tmp-0123456789ab";
    if (const QString folder = qEnvironmentVariable(childVariable); !folder.isEmpty()) {
        const rlimit usual{1024, 1024};
        ::setrlimit(RLIMIT_NOFILE, &usual);
        int removed = -1;
        QThread* thread = QThread::create([&] { removed = StaleTemporaries::removeAll(folder); });
        thread->setStackSize(128 * 1024);
        thread->start();
        thread->wait();
        delete thread;
        EXPECT_EQ(removed, 1);
        return;
    }
    QTemporaryDir dir;
    const QString folder = dir.path();
    ASSERT_TRUE(QDir(folder).mkpath(theirs));
    ASSERT_TRUE(leaveKilledPackageWrite(folder, oursDeep));
    ASSERT_TRUE(leaveKilledPackageWrite(folder, ours));
    ASSERT_TRUE(makeChain(folder + "/" + theirs, depth));
    ASSERT_TRUE(makeChain(folder + "/" + oursDeep, depth));

    const Ended ended = runChild(
        "StaleTemporarySweep.ADeepTreeNeitherOverflowsTheStackNorTakesADescriptorPerLevel", folder);
    EXPECT_EQ(ended.status, QProcess::NormalExit);
    EXPECT_EQ(ended.code, 0);
    EXPECT_TRUE(chainIsWhole(folder + "/" + theirs, depth));
    EXPECT_FALSE(QFileInfo::exists(folder + "/" + ours));
    EXPECT_TRUE(chainIsWhole(folder + "/" + oursDeep, depth));
    removeChain(folder + "/" + theirs);
    removeChain(folder + "/" + oursDeep);
}
