#include "output/FrameSettings.h"
#include "platform/ImageReader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

class FrameSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile::remove(*FrameSettings::logoPath());
    }

    QString writeImage(const QString& name, QSize size, const char* format = "PNG")
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, format));
        return path;
    }

    void setFlags(bool applyAlways, bool frameOn, bool watermarkOn)
    {
        settings.setValue(keys::frameApplyAlways, applyAlways);
        settings.setValue(keys::frameLastOn, frameOn);
        settings.setValue(keys::watermarkLastOn, watermarkOn);
    }

    QTemporaryDir dir;
    platform::Defaults settings{dir.filePath("settings.json")};
};

Watermark textMark(const QString& text)
{
    Watermark w;
    w.text = text;
    w.position = WatermarkPosition::topLeft;
    return w;
}

} // namespace

TEST_F(FrameSettingsTest, NewCapturesGetNothingUnlessApplyAlwaysIsOn)
{
    FrameStyle frame;
    frame.padding = 0.2;
    FrameSettings::remember(std::optional(frame), settings);
    FrameSettings::remember(std::optional(textMark("Mine")), settings);
    setFlags(false, true, true);
    const auto off = FrameSettings::forNewCapture(settings);
    EXPECT_FALSE(off.frame);
    EXPECT_FALSE(off.watermark);

    setFlags(true, false, true);
    const auto onlyWatermark = FrameSettings::forNewCapture(settings);
    EXPECT_FALSE(onlyWatermark.frame);
    ASSERT_TRUE(onlyWatermark.watermark);
    EXPECT_EQ(onlyWatermark.watermark->text, QStringLiteral("Mine"));
    EXPECT_EQ(onlyWatermark.watermark->position, WatermarkPosition::topLeft);

    setFlags(true, true, false);
    const auto onlyFrame = FrameSettings::forNewCapture(settings);
    ASSERT_TRUE(onlyFrame.frame);
    EXPECT_DOUBLE_EQ(onlyFrame.frame->padding, 0.2);
    EXPECT_FALSE(onlyFrame.watermark);
}

TEST_F(FrameSettingsTest, InvisibleRememberedWatermarksAreNotApplied)
{
    setFlags(true, false, true);
    FrameSettings::remember(std::optional(textMark(" \n\t ")), settings);
    EXPECT_FALSE(FrameSettings::forNewCapture(settings).watermark);

    // An image watermark whose logo file is gone.
    Watermark image;
    image.kind = WatermarkKind::image;
    image.imageData = QByteArray("bytes");
    FrameSettings::remember(std::optional(image), settings);
    EXPECT_FALSE(FrameSettings::forNewCapture(settings).watermark);

    // Once a logo is imported the same setting applies, with the logo's bytes.
    const auto logo = FrameSettings::importLogo(writeImage("logo.png", QSize(30, 20)));
    ASSERT_TRUE(logo.has_value());
    const auto applied = FrameSettings::forNewCapture(settings).watermark;
    ASSERT_TRUE(applied);
    EXPECT_EQ(applied->imageData, *logo);
}

TEST_F(FrameSettingsTest, StylesSurviveSwitchingOffAndFallBackToDefaults)
{
    EXPECT_EQ(FrameSettings::rememberedFrame(settings), FrameStyle{});
    EXPECT_EQ(FrameSettings::rememberedWatermark(settings), Watermark{});
    setFlags(true, true, false);
    EXPECT_EQ(FrameSettings::forNewCapture(settings).frame, FrameStyle{});

    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.cornerRadius = 30;
    FrameSettings::remember(std::optional(frame), settings);
    FrameSettings::remember(std::optional<FrameStyle>(), settings);
    EXPECT_FALSE(settings.get(keys::frameLastOn));
    EXPECT_EQ(FrameSettings::rememberedFrame(settings), frame);

    // Damaged stored data reads as the default, silently.
    settings.setValue(keys::frameStyle, QByteArray("{not json"));
    EXPECT_EQ(FrameSettings::rememberedFrame(settings), FrameStyle{});
}

TEST_F(FrameSettingsTest, TheLogoComesFromItsFileNeverFromStoredData)
{
    Watermark image;
    image.kind = WatermarkKind::image;
    image.imageData = QByteArray("secret bytes");
    FrameSettings::remember(std::optional(image), settings);
    const QByteArray stored = settings.get(keys::watermarkStyle);
    EXPECT_FALSE(QJsonDocument::fromJson(stored).object().contains("imageData"));

    // Data written by someone else that does carry bytes: they are ignored.
    QJsonObject withBytes = QJsonDocument::fromJson(stored).object();
    withBytes["imageData"] = QString::fromLatin1(QByteArray("old").toBase64());
    settings.setValue(keys::watermarkStyle, QJsonDocument(withBytes).toJson());
    EXPECT_FALSE(FrameSettings::rememberedWatermark(settings).imageData);

    const auto logo = FrameSettings::importLogo(writeImage("l.png", QSize(8, 8)));
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(FrameSettings::rememberedWatermark(settings).imageData, *logo);
    EXPECT_EQ(FrameSettings::rememberedWatermark(settings).kind, WatermarkKind::image);
}

TEST_F(FrameSettingsTest, ImportedLogosAreScaledToAtMost1024Pixels)
{
    const auto png = FrameSettings::importLogo(writeImage("photo.jpg", QSize(4000, 3000), "JPEG"));
    ASSERT_TRUE(png.has_value());
    const auto decoded = platform::readImage(*png);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->size(), QSize(1024, 768));
    QFile file(*FrameSettings::logoPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), *png);

    // A photo over the editor's image budget is read reduced, never whole.
    const auto large =
        FrameSettings::importLogo(writeImage("large.jpg", QSize(8000, 6000), "JPEG"));
    ASSERT_TRUE(large.has_value());
    EXPECT_EQ(platform::readImage(*large)->size(), QSize(1024, 768));
    const auto tall = FrameSettings::importLogo(writeImage("tall.png", QSize(3000, 12000)));
    ASSERT_TRUE(tall.has_value());
    EXPECT_EQ(platform::readImage(*tall)->size(), QSize(256, 1024));

    // Small images are kept at their size.
    const auto small = FrameSettings::importLogo(writeImage("small.png", QSize(64, 32)));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(platform::readImage(*small)->size(), QSize(64, 32));
}

TEST_F(FrameSettingsTest, ImportedLogosStandUpright)
{
    // JPEGs tagged "rotate 90° clockwise to display": an EXIF segment with one orientation
    // entry (value 6), put right after the start-of-image marker. The large one is read reduced.
    const std::pair<QSize, QSize> cases[] = {{QSize(40, 20), QSize(20, 40)},
                                             {QSize(8000, 4000), QSize(512, 1024)}};
    for (const auto& [size, upright] : cases) {
        QImage wide(size, QImage::Format_RGB32);
        wide.fill(Qt::red);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(wide.save(&buffer, "JPEG"));
        const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) + QByteArray("\x01\0", 2) +
                                QByteArray("\x12\x01\x03\0\x01\0\0\0\x06\0\0\0", 12) +
                                QByteArray(4, '\0');
        const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
        const int length = payload.size() + 2;
        QByteArray segment("\xFF\xE1", 2);
        segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
        jpeg.insert(2, segment);
        const QString path = dir.filePath("rotated.jpg");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(jpeg);
        file.close();

        const auto png = FrameSettings::importLogo(path);
        ASSERT_TRUE(png.has_value());
        EXPECT_EQ(platform::readImage(*png)->size(), upright);
    }
}

TEST_F(FrameSettingsTest, AFileThatIsNotAnImageKeepsThePreviousLogo)
{
    const auto first = FrameSettings::importLogo(writeImage("first.png", QSize(10, 10)));
    ASSERT_TRUE(first.has_value());

    const QString fake = dir.filePath("notes.png");
    QFile text(fake);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some text, not a picture\n");
    text.close();
    const auto refused = FrameSettings::importLogo(fake);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error(), FrameSettings::LogoError::unreadable);
    EXPECT_FALSE(FrameSettings::importLogo(dir.filePath("missing.png")).has_value());

    QFile kept(*FrameSettings::logoPath());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), *first);
}
