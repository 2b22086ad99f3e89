#include "output/ExportService.h"
#include "output/ImageMimeData.h"
#include "platform/Defaults.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::Defaults;

namespace {

// An 800 x 600 point capture at 2 pixels per point, as a flattened image carries it.
QImage retinaCapture()
{
    QImage image(1600, 1200, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(250, 200, 20));
    image.setDevicePixelRatio(2.0);
    return image;
}

QImage decode(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    return reader.read();
}

double dpiOf(const QImage& image)
{
    return image.dotsPerMeterX() * 0.0254;
}

class Copy : public ::testing::Test {
protected:
    // Counts still pending from an earlier copy are written first.
    void SetUp() override
    {
        QCoreApplication::processEvents();
        Defaults::standard().removeAllStored();
    }
    void TearDown() override
    {
        QCoreApplication::processEvents();
        Defaults::standard().removeAllStored();
    }
};

} // namespace

TEST_F(Copy, OffersPngAtOnceAndTiffOnlyWhenRead)
{
    ASSERT_TRUE(ExportService::copy(retinaCapture(), true));
    const auto* mime = qobject_cast<const ImageMimeData*>(QGuiApplication::clipboard()->mimeData());
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->formats(), (QStringList{"image/png", "image/tiff"}));
    EXPECT_FALSE(mime->tiffMade());

    const QImage png = decode(mime->data("image/png"));
    EXPECT_EQ(png.size(), QSize(1600, 1200));
    EXPECT_NEAR(dpiOf(png), 144.0, 0.5);
    EXPECT_FALSE(mime->tiffMade());

    const QByteArray tiff = mime->data("image/tiff");
    EXPECT_TRUE(mime->tiffMade());
    EXPECT_TRUE(tiff.startsWith("II*") || tiff.startsWith("MM"));
    EXPECT_TRUE(mime->data("image/gif").isEmpty());
    EXPECT_FALSE(mime->hasFormat("image/gif"));
}

TEST_F(Copy, AtFullSizeStatesOnePixelPerPoint)
{
    Defaults::standard().setValue(keys::copyAtFullSize, true);
    ASSERT_TRUE(ExportService::copy(retinaCapture(), true));
    const QImage png = decode(QGuiApplication::clipboard()->mimeData()->data("image/png"));
    EXPECT_EQ(png.size(), QSize(1600, 1200));
    EXPECT_NEAR(dpiOf(png), 72.0, 0.5);
}

TEST_F(Copy, CountsAnExportUnlessTheSaveAlreadyDid)
{
    ExportService::copy(retinaCapture(), true);
    ExportService::copy(retinaCapture(), true);
    QCoreApplication::processEvents();
    EXPECT_EQ(Defaults::standard().get(keys::reviewExportCount), 2);
    ExportService::copy(retinaCapture(), false);
    QCoreApplication::processEvents();
    EXPECT_EQ(Defaults::standard().get(keys::reviewExportCount), 2);
    // Nothing to encode: nothing made, still counted (the user asked for a copy).
    EXPECT_FALSE(ExportService::copy(QImage(), true));
    QCoreApplication::processEvents();
    EXPECT_EQ(Defaults::standard().get(keys::reviewExportCount), 3);
}
