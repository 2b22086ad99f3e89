#include "platform/OwnWrites.h"
#include "platform/AtomicWrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin::platform;

TEST(OwnWrites, AtomicWritesRegisterTheirFinalPathsAndNothingElse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    OwnWrites::shared().clear();
    ASSERT_TRUE(writeFileAtomically(dir.filePath("shot.png"), "png"));
    ASSERT_TRUE(writeFolderAtomically(dir.filePath("doc.snapkin"), [](const QString& temp) {
        QFile f(temp + "/document.json");
        return f.open(QIODevice::WriteOnly) && f.write("{}") == 2;
    }));
    EXPECT_TRUE(OwnWrites::shared().contains(dir.filePath("shot.png")));
    EXPECT_TRUE(OwnWrites::shared().contains(dir.filePath("doc.snapkin")));
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("other.png")));
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("doc.snapkin/document.json")));
}

TEST(OwnWrites, APathIsKnownHoweverItsFolderIsSpelled)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkdir(dir.filePath("real")));
    ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("alias")));
    OwnWrites::shared().add(dir.filePath("alias/../real/shot.png"));
    EXPECT_TRUE(OwnWrites::shared().contains(dir.filePath("real/shot.png")));
    EXPECT_TRUE(OwnWrites::shared().contains(dir.filePath("alias/shot.png")));
    EXPECT_FALSE(OwnWrites::shared().contains(dir.filePath("real/Shot.png")));
}
