#include "model/PackageFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// "Work" with a package "doc1.snapkin" (holding a folder and a nested package), a plain
// folder, and a file named like a package.
struct Tree {
    QTemporaryDir dir;
    Tree()
    {
        QDir().mkpath(path("Work/doc1.snapkin/preview"));
        QDir().mkpath(path("Work/doc1.snapkin/nested.SNAPKIN"));
        QDir().mkpath(path("Work/Designs"));
        QFile file(path("Work/flat.snapkin"));
        if (file.open(QIODevice::WriteOnly)) file.write("not a folder");
    }
    QString path(const QString& relative) const
    {
        return QDir(dir.path()).absoluteFilePath(relative);
    }
};

} // namespace

TEST(PackageFolders, APathInsideAPackageNamesTheOutermostOne)
{
    Tree tree;
    const QString doc1 = tree.path("Work/doc1.snapkin");
    EXPECT_EQ(packagefolders::enclosingPackage(tree.path("Work/doc1.snapkin/new.snapkin")), doc1);
    EXPECT_EQ(packagefolders::enclosingPackage(tree.path("Work/doc1.snapkin/preview/x.snapkin")),
              doc1);
    EXPECT_EQ(packagefolders::enclosingPackage(
                  tree.path("Work/doc1.snapkin/nested.SNAPKIN/deeper.snapkin")),
              doc1);
    // Spelled with "..", the path is where it leads.
    EXPECT_EQ(packagefolders::enclosingPackage(tree.path("Work/Designs/../doc1.snapkin/a.snapkin")),
              doc1);
    EXPECT_TRUE(
        packagefolders::enclosingPackage(tree.path("Work/doc1.snapkin/../a.snapkin")).isEmpty());

    // A package itself, beside one, in a plain folder or under a file named like one: outside.
    for (const char* outside : {"Work/doc1.snapkin", "Work/new.snapkin", "Work/Designs/a.snapkin",
                                "Work/flat.snapkin", "Work/flat.snapkin/a.snapkin"}) {
        SCOPED_TRACE(outside);
        EXPECT_TRUE(packagefolders::enclosingPackage(tree.path(outside)).isEmpty());
    }
    EXPECT_TRUE(packagefolders::enclosingPackage(QString()).isEmpty());
}

TEST(PackageFolders, AFolderThatIsOrLiesInAPackageNamesTheOutermostOne)
{
    Tree tree;
    const QString doc1 = tree.path("Work/doc1.snapkin");
    for (const char* inside : {"Work/doc1.snapkin", "Work/doc1.snapkin/preview",
                               "Work/doc1.snapkin/nested.SNAPKIN", "Work/doc1.snapkin/missing"}) {
        SCOPED_TRACE(inside);
        EXPECT_EQ(packagefolders::packageAtOrAbove(tree.path(inside)), doc1);
    }
    for (const char* outside : {"Work", "Work/Designs", "Work/flat.snapkin", "Work/new.snapkin"}) {
        SCOPED_TRACE(outside);
        EXPECT_TRUE(packagefolders::packageAtOrAbove(tree.path(outside)).isEmpty());
    }
    EXPECT_TRUE(packagefolders::packageAtOrAbove(QString()).isEmpty());
}

TEST(PackageFolders, ADialogStartsBesideThePackageItWouldStartIn)
{
    Tree tree;
    const QString work = tree.path("Work");
    EXPECT_EQ(packagefolders::outsidePackages(tree.path("Work/doc1.snapkin")), work);
    EXPECT_EQ(packagefolders::outsidePackages(tree.path("Work/doc1.snapkin/preview")), work);
    EXPECT_EQ(packagefolders::outsidePackages(tree.path("Work/doc1.snapkin/nested.SNAPKIN")), work);
    EXPECT_EQ(packagefolders::outsidePackages(tree.path("Work/Designs")),
              tree.path("Work/Designs"));
    EXPECT_EQ(packagefolders::outsidePackages(work + "/"), work);
}
