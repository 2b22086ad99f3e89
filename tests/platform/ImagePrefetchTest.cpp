#include "platform/ImagePrefetch.h"

#include "platform/ImageBudget.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
