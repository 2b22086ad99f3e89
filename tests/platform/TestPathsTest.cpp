// The pictures tests keep for a person to look at go into the build folder the tests run from,
// never into another checkout's: the compiled-in folder must be the one this program was built
// in (a cached object from elsewhere, or a build folder moved, would point somewhere else).

#include "TestPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(TestPaths, KeptPicturesGoIntoTheBuildFolderOfTheRunningTests)
{
    // Test programs live in <build>/tests.
    const QString running = QDir(QCoreApplication::applicationDirPath() + "/..").canonicalPath();
    EXPECT_EQ(QFileInfo(QStringLiteral(SNAPKIN_BUILD_DIR)).canonicalFilePath(), running);
    EXPECT_TRUE(QFileInfo(QStringLiteral(SNAPKIN_BUILD_DIR "/CMakeCache.txt")).isFile());
}
