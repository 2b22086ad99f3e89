#include "platform/ImagePrefetch.h"

#include "platform/ImageBudget.h"
#include "support/AddressSpace.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using snapkin::platform::ImageBudget;
using snapkin::platform::ImagePrefetch;
using snapkin::platform::ImageReadError;

namespace {

QString writePicture(const QTemporaryDir& dir, const QString& name, QColor colour, int width = 64)
{
    QImage image(width, 48, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixel(3, 5, qRgb(1, 2, 3));
    const QString path = dir.filePath(name);
    return image.save(path, "png") ? path : QString();
}

} // namespace

TEST(ImagePrefetch, HandsOverTheDecodeOnceAsADecodeOfThePathWouldGiveIt)
{
    QTemporaryDir dir;
    const QString path = writePicture(dir, QStringLiteral("a.png"), QColor(200, 40, 90));
    ASSERT_FALSE(path.isEmpty());
    ImagePrefetch::start(path);
    ImagePrefetch::start(path); // a second start of the same file decodes it once

    const auto taken = ImagePrefetch::take(path);
    ASSERT_TRUE(taken.has_value());
    ASSERT_TRUE(taken->has_value());
    const auto direct = ImageBudget::decode(path);
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ((*taken)->image(), direct->image());
    EXPECT_EQ((*taken)->image().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ((*taken)->pointSize(), direct->pointSize());

    EXPECT_FALSE(ImagePrefetch::take(path).has_value()); // handed over already
    EXPECT_FALSE(ImagePrefetch::take(dir.filePath(QStringLiteral("never.png"))).has_value());
}

TEST(ImagePrefetch, AFailedDecodeIsHandedOverAsItsError)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n and nothing else");
    file.close();
    ImagePrefetch::start(path);
    const auto taken = ImagePrefetch::take(path);
    ASSERT_TRUE(taken.has_value());
    ASSERT_FALSE(taken->has_value());
    EXPECT_EQ(taken->error(), ImageBudget::decode(path).error());
}

TEST(ImagePrefetch, AFileChangedSinceTheStartIsNotHandedOver)
{
    QTemporaryDir dir;
    const QString path = writePicture(dir, QStringLiteral("b.png"), QColor(10, 200, 30));
    ImagePrefetch::start(path);
    // Replaced while (or after) it was read: the caller must read the new picture.
    ASSERT_FALSE(writePicture(dir, QStringLiteral("b.png"), QColor(250, 250, 0), 90).isEmpty());
    EXPECT_FALSE(ImagePrefetch::take(path).has_value());

    const QString other = writePicture(dir, QStringLiteral("c.png"), QColor(0, 0, 255));
    ImagePrefetch::start(other);
    ImagePrefetch::discard();
    EXPECT_FALSE(ImagePrefetch::take(other).has_value());
}

// A picture named on the command line whose memory runs out while it decodes on its worker is
// handed over refused for memory, to be told in words: the allocation that failed (the file
// read whole, 48 MB) threw on the worker, and take() threw it again on the caller's thread,
// which ended the application.
TEST(ImagePrefetch, ADecodeWhoseMemoryRunsOutIsHandedOverRefusedForMemory)
{
    if (snapkin::test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray png = snapkin::test::storedRgbPng(4000, 4000);
    ASSERT_EQ(file.write(png), png.size());
    file.close();

    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(_exit([&] {
                    // Room for the worker's stack and 24 MB: neither the file's bytes nor the
                    // picture's 64 MB.
                    const qint64 spare = snapkin::test::threadStackBytes() + 24LL * 1024 * 1024;
                    if (!snapkin::test::leaveAddressSpace(spare)) return 5;
                    ImagePrefetch::start(path);
                    const auto taken = ImagePrefetch::take(path);
                    if (!taken) return 6; // no worker started: the test proves nothing
                    if (*taken) return 0;
                    return taken->error() == ImageReadError::outOfMemory ? 3 : 4;
                }()),
                ::testing::ExitedWithCode(3), "");
}
