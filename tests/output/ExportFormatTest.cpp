#include "output/ExportFormat.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

struct Row {
    ExportFormat format;
    const char* raw;
    const char* label;
    const char* ext;
    const char* mime;
    bool lossy;
};

constexpr Row kTable[] = {
    {ExportFormat::png, "png", "PNG", "png", "image/png", false},
    {ExportFormat::jpeg, "jpeg", "JPEG", "jpg", "image/jpeg", true},
    {ExportFormat::webp, "webp", "WebP", "webp", "image/webp", true},
    {ExportFormat::pdf, "pdf", "PDF", "pdf", "application/pdf", false},
    {ExportFormat::tiff, "tiff", "TIFF", "tiff", "image/tiff", false},
    {ExportFormat::gif, "gif", "GIF", "gif", "image/gif", false},
    {ExportFormat::bmp, "bmp", "BMP", "bmp", "image/bmp", false},
};

class ExportQuality : public ::testing::Test {
protected:
    QTemporaryDir dir;
    platform::Defaults defaults{dir.filePath("settings.json")};
};

} // namespace

TEST(ExportFormat, NamesLabelsExtensionsInMenuOrder)
{
    ASSERT_EQ(allExportFormats.size(), std::size(kTable));
    for (size_t i = 0; i < allExportFormats.size(); ++i) {
        const Row& row = kTable[i];
        EXPECT_EQ(allExportFormats[i], row.format);
        EXPECT_EQ(toRaw(row.format), row.raw);
        EXPECT_EQ(label(row.format), row.label);
        EXPECT_EQ(ext(row.format), row.ext);
        EXPECT_EQ(mimeType(row.format), row.mime);
        EXPECT_EQ(isLossy(row.format), row.lossy);
        EXPECT_EQ(fromRaw<ExportFormat>(QString::fromLatin1(row.raw)), row.format);
    }
}

TEST(ExportFormat, RawValuesMatchExactly)
{
    EXPECT_FALSE(fromRaw<ExportFormat>(u"PNG").has_value());
    EXPECT_FALSE(fromRaw<ExportFormat>(u"jpg").has_value()); // the extension is not the raw value
    EXPECT_FALSE(fromRaw<ExportFormat>(u"").has_value());
    EXPECT_FALSE(fromRaw<ExportFormat>(u" png").has_value());
}

TEST(ExportFormat, ExtensionLookupForFileNames)
{
    EXPECT_EQ(exportFormatFromExtension("out/shot.JPG"), ExportFormat::jpeg);
    EXPECT_EQ(exportFormatFromExtension("shot.jpeg"), ExportFormat::jpeg);
    EXPECT_EQ(exportFormatFromExtension("scan.tif"), ExportFormat::tiff);
    EXPECT_EQ(exportFormatFromExtension("a.b.WebP"), ExportFormat::webp);
    EXPECT_EQ(exportFormatFromExtension("png"), ExportFormat::png);
    EXPECT_FALSE(exportFormatFromExtension("notes.txt").has_value());
    EXPECT_FALSE(exportFormatFromExtension("no-extension").has_value());
    EXPECT_FALSE(exportFormatFromExtension("archive.png/").has_value());
}

TEST_F(ExportQuality, RemembersLossyQualitiesAndFallsBackOnBadValues)
{
    EXPECT_DOUBLE_EQ(quality(ExportFormat::jpeg, defaults), 0.9);
    EXPECT_DOUBLE_EQ(quality(ExportFormat::webp, defaults), 0.9);

    defaults.setValue(keys::jpegQuality, 0.42);
    EXPECT_DOUBLE_EQ(quality(ExportFormat::jpeg, defaults), 0.42);
    EXPECT_DOUBLE_EQ(quality(ExportFormat::webp, defaults), 0.9); // a key of its own

    defaults.setValue(keys::jpegQuality, QStringLiteral("0.5"));
    EXPECT_DOUBLE_EQ(quality(ExportFormat::jpeg, defaults), 0.9);
    defaults.setValue(keys::jpegQuality, true);
    EXPECT_DOUBLE_EQ(quality(ExportFormat::jpeg, defaults), 0.9);

    // Out-of-range numbers are clamped before they can reach an encoder.
    defaults.setValue(keys::webpQuality, 1.7);
    EXPECT_DOUBLE_EQ(quality(ExportFormat::webp, defaults), 1.0);
    defaults.setValue(keys::webpQuality, -3);
    EXPECT_DOUBLE_EQ(quality(ExportFormat::webp, defaults), 0.0);
    defaults.setValue(keys::webpQuality, qInf());
    EXPECT_DOUBLE_EQ(quality(ExportFormat::webp, defaults), 0.9);
}

TEST_F(ExportQuality, LosslessFormatsIgnoreStoredValues)
{
    defaults.setValue(keys::jpegQuality, 0.1);
    defaults.setValue(keys::webpQuality, 0.1);
    for (ExportFormat format : allExportFormats) {
        if (!isLossy(format)) {
            EXPECT_DOUBLE_EQ(quality(format, defaults), 1.0) << toRaw(format).toStdString();
        }
    }
}

TEST_F(ExportQuality, StoredFormatFallsBackToPng)
{
    EXPECT_EQ(storedExportFormat(defaults), ExportFormat::png);
    defaults.setValue(keys::exportFormat, QStringLiteral("webp"));
    EXPECT_EQ(storedExportFormat(defaults), ExportFormat::webp);
    defaults.setValue(keys::exportFormat, QStringLiteral("JPEG"));
    EXPECT_EQ(storedExportFormat(defaults), ExportFormat::png);
    defaults.setValue(keys::exportFormat, QStringLiteral("jpg"));
    EXPECT_EQ(storedExportFormat(defaults), ExportFormat::png);
}
