#include "editor/DetailCrop.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

constexpr QSizeF previewSize{150, 120};

QImage flat(QSize size, QColor color = QColor(236, 240, 244))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

} // namespace

TEST(DetailCrop, FlatImageGivesTheTopLeftCorner)
{
    const platform::BaseImage image(flat({800, 600}));
    EXPECT_EQ(detailRegion(image, previewSize), QRect(0, 0, 150, 120));
    const auto crop = detailCrop(image, previewSize);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pixelSize(), QSize(150, 120));
    EXPECT_EQ(crop->pointSize(), previewSize);
}

TEST(DetailCrop, FindsTextInTheLowerRightOfAWideImage)
{
    QImage image = flat({2400, 600}, Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        QFont font;
        font.setPixelSize(22);
        painter.setFont(font);
        for (int line = 0; line < 3; ++line)
            painter.drawText(QPointF(2230, 505 + 28 * line), QStringLiteral("Sharp text"));
    }
    const auto region = detailRegion(platform::BaseImage(image), previewSize);
    ASSERT_TRUE(region);
    // The origin falls between pixels here, so the whole-pixel region may be one wider.
    EXPECT_TRUE(region->width() == 150 || region->width() == 151) << region->width();
    EXPECT_TRUE(region->height() == 120 || region->height() == 121) << region->height();
    // The text spans about x 2230…2340, y 485…565: the region covers most of it.
    const QRect text(2230, 485, 110, 80);
    const QRect covered = region->intersected(text);
    EXPECT_GT(covered.width() * covered.height(), text.width() * text.height() / 2)
        << region->x() << "," << region->y();
}

TEST(DetailCrop, ImageSmallerThanThePreviewIsTakenWhole)
{
    const platform::BaseImage image(flat({100, 80}));
    EXPECT_EQ(detailRegion(image, previewSize), QRect(0, 0, 100, 80));
    const auto crop = detailCrop(image, previewSize);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pointSize(), QSizeF(100, 80));

    // Narrower only: full height of the preview, whole width of the image.
    const platform::BaseImage narrow(flat({60, 400}));
    EXPECT_EQ(detailRegion(narrow, previewSize), QRect(0, 0, 60, 120));
}

TEST(DetailCrop, RegionIsInPixelsAtTheImagesScale)
{
    QImage pixels = flat({800, 600});
    const platform::BaseImage image(pixels, QSizeF(400, 300));
    EXPECT_EQ(detailRegion(image, previewSize), QRect(0, 0, 300, 240));
    const auto crop = detailCrop(image, previewSize);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pointSize(), previewSize);
}

TEST(DetailCrop, NothingWithoutPixelsOrPointWidth)
{
    EXPECT_FALSE(detailCrop(platform::BaseImage(), previewSize));
    EXPECT_FALSE(detailCrop(platform::BaseImage(flat({40, 40}), QSizeF(0, 40)), previewSize));
}
