#include "output/WebPEncoder.h"

#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <webp/decode.h>
#include <webp/mux.h>

using snapkin::WebPEncoder;
using snapkin::platform::BaseImage;

namespace {

QImage filled(int w, int h, QColor color = QColor(255, 51, 102))
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// The EXIF chunk of a WebP file through libwebpmux, or nothing.
std::optional<QByteArray> exifChunk(const QByteArray& webp)
{
    const WebPData data{reinterpret_cast<const uint8_t*>(webp.constData()), size_t(webp.size())};
    WebPMux* mux = WebPMuxCreate(&data, 0);
    if (!mux) return std::nullopt;
    WebPData chunk{};
    std::optional<QByteArray> result;
    if (WebPMuxGetChunk(mux, "EXIF", &chunk) == WEBP_MUX_OK)
        result = QByteArray(reinterpret_cast<const char*>(chunk.bytes), qsizetype(chunk.size));
    WebPMuxDelete(mux);
    return result;
}

// 1 lossy, 2 lossless, 0 unreadable.
int bitstreamFormat(const QByteArray& webp)
{
    WebPBitstreamFeatures features{};
    if (WebPGetFeatures(reinterpret_cast<const uint8_t*>(webp.constData()), size_t(webp.size()),
                        &features) != VP8_STATUS_OK)
        return 0;
    return features.format;
}

// Straight RGBA pixels decoded by libwebp.
std::vector<uint8_t> decodeRgba(const QByteArray& webp, int* w, int* h)
{
    uint8_t* pixels = WebPDecodeRGBA(reinterpret_cast<const uint8_t*>(webp.constData()),
                                     size_t(webp.size()), w, h);
    if (!pixels) return {};
    std::vector<uint8_t> out(pixels, pixels + size_t(*w) * size_t(*h) * 4);
    WebPFree(pixels);
    return out;
}

QByteArray expectedExif(uint32_t numerator)
{
    const uint8_t head[] = {'I',  'I',  42, 0, 8, 0,    0,    0, 3, 0, 0x1A, 0x01, 5, 0,  1, 0, 0,
                            0,    50,   0,  0, 0, 0x1B, 0x01, 5, 0, 1, 0,    0,    0, 58, 0, 0, 0,
                            0x28, 0x01, 3,  0, 1, 0,    0,    0, 2, 0, 0,    0,    0, 0,  0, 0};
    QByteArray out(reinterpret_cast<const char*>(head), sizeof head);
    for (int i = 0; i < 2; ++i) {
        for (int s = 0; s < 32; s += 8)
            out.append(char((numerator >> s) & 0xff));
        for (int s = 0; s < 32; s += 8)
            out.append(char((1000u >> s) & 0xff));
    }
    return out;
}

} // namespace

TEST(WebPEncoder, ExifPayloadIsByteExact)
{
    const auto payload = WebPEncoder::exifResolution(144);
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(payload->size(), 66);
    EXPECT_EQ(*payload, expectedExif(144000));
    EXPECT_EQ(*WebPEncoder::exifResolution(72.6), expectedExif(72600));
    EXPECT_EQ(*WebPEncoder::exifResolution(0.0005), expectedExif(1)); // half rounds away from 0
    // Beyond an unsigned 32-bit numerator the chunk cannot be written.
    EXPECT_TRUE(WebPEncoder::exifResolution(4294967.295).has_value());
    EXPECT_FALSE(WebPEncoder::exifResolution(4294967.2955).has_value());
    EXPECT_FALSE(WebPEncoder::exifResolution(qInf()).has_value());
}

TEST(WebPEncoder, ResolutionChunkOnlyAwayFrom72Dpi)
{
    // 160 x 120 pixels laid out at 80 x 60 points: 144 dpi.
    const auto doubleScale = WebPEncoder::encode(BaseImage(filled(160, 120), QSizeF(80, 60)), 0.8);
    ASSERT_TRUE(doubleScale.has_value());
    EXPECT_EQ(exifChunk(*doubleScale), expectedExif(144000));

    const auto plain = WebPEncoder::encode(BaseImage(filled(160, 120)), 0.8);
    ASSERT_TRUE(plain.has_value());
    EXPECT_TRUE(bitstreamFormat(*plain) != 0);
    EXPECT_FALSE(exifChunk(*plain).has_value());
    EXPECT_FALSE(plain->contains("EXIF"));

    const QImage image = filled(10, 10);
    EXPECT_FALSE(exifChunk(*WebPEncoder::encode(image, 0.8, 72.4)).has_value());
    EXPECT_EQ(exifChunk(*WebPEncoder::encode(image, 0.8, 72.6)), expectedExif(72600));
    EXPECT_FALSE(exifChunk(*WebPEncoder::encode(image, 0.8, 0)).has_value());
    // An unwritable resolution leaves the chunk out instead of failing the export.
    EXPECT_TRUE(WebPEncoder::encode(image, 0.8, 1e12).has_value());

    // Garbage cannot take a chunk: the data comes back as it was.
    EXPECT_EQ(WebPEncoder::withResolution("not webp", 144), QByteArray("not webp"));
}

TEST(WebPEncoder, LosslessAtFullQualityLossyBelow)
{
    const QImage image = filled(64, 32);
    EXPECT_EQ(bitstreamFormat(*WebPEncoder::encode(image, 1.0, 72)), 2);
    EXPECT_EQ(bitstreamFormat(*WebPEncoder::encode(image, 1.5, 72)), 2);
    EXPECT_EQ(bitstreamFormat(*WebPEncoder::encode(image, 0.9, 72)), 1);
    EXPECT_EQ(bitstreamFormat(*WebPEncoder::encode(image, 0.0, 72)), 1);
    EXPECT_EQ(bitstreamFormat(*WebPEncoder::encode(image, -1.0, 72)), 1);
    EXPECT_EQ(bitstreamFormat(*WebPEncoder::encode(image, qQNaN(), 72)), 1);
}

TEST(WebPEncoder, KeepsStraightColoursUnderTransparency)
{
    QImage image = filled(4, 1, Qt::blue);
    image.setPixel(0, 0, 0);                                   // fully transparent
    image.setPixel(1, 0, qPremultiply(qRgba(255, 0, 0, 128))); // half-transparent red
    int w = 0, h = 0;
    const auto pixels = decodeRgba(*WebPEncoder::encode(image, 1.0, 72), &w, &h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 1);
    EXPECT_EQ(pixels[3], 0);
    EXPECT_EQ(pixels[0] | pixels[1] | pixels[2], 0);
    EXPECT_EQ(pixels[4], 255); // red, not darkened to 128
    EXPECT_EQ(pixels[5], 0);
    EXPECT_EQ(pixels[7], 128);
}

TEST(WebPEncoder, LosslessKeepsEveryVisiblePixelAndLeavesTheSourceAlone)
{
    // Noise with every alpha, straight ARGB32 so the encoder could borrow the caller's rows.
    QImage image(301, 77, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = random.generate() & (x % 5 == 0 ? 0x00ffffffu : 0xffffffffu);
    }
    const QImage before = image.copy();
    int w = 0, h = 0;
    const auto pixels = decodeRgba(*WebPEncoder::encode(image, 1.0, 72), &w, &h);
    ASSERT_EQ(QSize(w, h), image.size());
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            const uint8_t* d = pixels.data() + (size_t(y) * size_t(w) + size_t(x)) * 4;
            const QRgb expected = qAlpha(p) == 0 ? 0u : p;
            if (qRgba(d[0], d[1], d[2], d[3]) != expected) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(image, before);
}

TEST(WebPEncoder, SideLimits)
{
    EXPECT_TRUE(WebPEncoder::encode(filled(16383, 1), 0.5, 72).has_value());
    EXPECT_TRUE(WebPEncoder::encode(filled(1, 16383), 0.5, 72).has_value());
    EXPECT_FALSE(WebPEncoder::encode(filled(16384, 1), 0.5, 72).has_value());
    EXPECT_FALSE(WebPEncoder::encode(filled(1, 16384), 1.0, 72).has_value());
    EXPECT_FALSE(WebPEncoder::encode(QImage(), 0.5, 72).has_value());
    EXPECT_FALSE(WebPEncoder::encode(BaseImage(), 0.5).has_value());
}

TEST(WebPEncoder, CommandLineToolsAcceptTheFile)
{
    const QString dwebp = QStandardPaths::findExecutable("dwebp");
    const QString webpinfo = QStandardPaths::findExecutable("webpinfo");
    if (dwebp.isEmpty() || webpinfo.isEmpty()) GTEST_SKIP() << "webp tools not installed";
    QTemporaryDir dir;
    QImage source(97, 41, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 97; ++x)
            source.setPixel(x, y, qRgb(x * 2, y * 6, 200));
    const auto webp = WebPEncoder::encode(BaseImage(source, QSizeF(48.5, 20.5)), 1.0);
    ASSERT_TRUE(webp.has_value());
    QFile file(dir.filePath("a.webp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*webp);
    file.close();

    QProcess info;
    info.start(webpinfo, {dir.filePath("a.webp")});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString report = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_EQ(info.exitCode(), 0) << qPrintable(report);
    EXPECT_TRUE(report.contains("No error detected")) << qPrintable(report);
    EXPECT_TRUE(report.contains("Chunk EXIF")) << qPrintable(report);

    QProcess decode;
    decode.start(dwebp, {dir.filePath("a.webp"), "-o", dir.filePath("a.png")});
    ASSERT_TRUE(decode.waitForFinished(30000));
    ASSERT_EQ(decode.exitCode(), 0);
    QImage back(dir.filePath("a.png"));
    ASSERT_EQ(back.size(), source.size());
    EXPECT_TRUE(back.convertToFormat(QImage::Format_RGB32) ==
                source.convertToFormat(QImage::Format_RGB32)); // lossless
}
