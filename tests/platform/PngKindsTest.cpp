#include "platform/ImageBudget.h"
#include "platform/ImageReader.h"

#include "PngReference.h"
#include "support/PngKinds.h"

#include <QColorSpace>
#include <gtest/gtest.h>

#include <zlib.h>

using namespace snapkin::platform;
using snapkin::fuzz::decodedByLibpng;
using snapkin::test::pngChunk;
using snapkin::test::PngKind;
using snapkin::test::pngOfKind;

namespace {

QString rgba(QRgb p)
{
    return QStringLiteral("(%1,%2,%3,%4)").arg(qRed(p)).arg(qGreen(p)).arg(qBlue(p)).arg(qAlpha(p));
}

// Where `read` differs from libpng's decode of the same file, in words; empty when every
// pixel is the same (the colour of a pixel both make wholly transparent aside).
QString differenceFromLibpng(const QImage& read, const QByteArray& png)
{
    const std::optional<QImage> reference = decodedByLibpng(png);
    if (!reference) return QStringLiteral("libpng refuses the file");
    if (read.size() != reference->size()) return QStringLiteral("a different size");
    const QImage pixels = read.convertToFormat(QImage::Format_RGBA8888);
    int differing = 0;
    QString first;
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const QRgb got = pixels.pixel(x, y), want = reference->pixel(x, y);
            if (got == want || (qAlpha(got) == 0 && qAlpha(want) == 0)) continue;
            if (differing++ == 0) {
                first =
                    QStringLiteral("at %1,%2 %3 for %4").arg(x).arg(y).arg(rgba(got), rgba(want));
            }
        }
    }
    if (differing == 0) return {};
    return QStringLiteral("%1 pixels differ, first %2").arg(differing).arg(first);
}

} // namespace

// Every colour type at every depth, with and without a transparent colour, interlaced or not,
// in sizes that end Adam7's passes and packed bytes part way, opens with libpng's pixels.
TEST(PngKinds, EveryKindOpensWithThePixelsLibpngDecodes)
{
    for (const PngKind& kind : snapkin::test::everyPngKind()) {
        for (const QSize size : {QSize(13, 9), QSize(1, 1), QSize(6, 3)}) {
            SCOPED_TRACE(QStringLiteral("%1 %2x%3")
                             .arg(kind.name())
                             .arg(size.width())
                             .arg(size.height())
                             .toStdString());
            const QByteArray png = pngOfKind(kind, size.width(), size.height(), 7);
            const auto read = readImage(png);
            ASSERT_TRUE(read);
            EXPECT_EQ(differenceFromLibpng(*read, png).toStdString(), "");
        }
    }
}

// A 16-bit RGB picture of one grey whose transparent colour is black: every pixel opaque, in
// the reader's image and in the editor's pixels alike.
TEST(PngKinds, A16BitImageWithATransparentColourItDoesNotUseIsOpaque)
{
    const QByteArray png =
        snapkin::test::solidRgb16Png(50, 40, 17 * 257, 17 * 257, 17 * 257, 0, 0, 0);
    const auto read = readImage(png);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->format(), QImage::Format_RGBA64);
    const auto edited = ImageBudget::decode(png);
    ASSERT_TRUE(edited);
    const QImage& pixels = edited->image();
    ASSERT_EQ(pixels.size(), QSize(50, 40));
    int wrong = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 50; ++x) {
            wrong += read->pixel(x, y) != qRgb(17, 17, 17);
            wrong += pixels.pixel(x, y) != qRgb(17, 17, 17);
        }
    }
    EXPECT_EQ(wrong, 0);

    // The same grey as the transparent colour: nothing shows, to the last column.
    const QByteArray clear =
        snapkin::test::solidRgb16Png(50, 40, 4369, 4369, 4369, 4369, 4369, 4369);
    const auto none = readImage(clear);
    ASSERT_TRUE(none);
    EXPECT_EQ(qAlpha(none->pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(none->pixel(49, 39)), 0);
}

// The kinds of 16-bit file Qt's reader decodes right open as they did: the same format, pixels,
// colour space, resolution, offset and texts.
TEST(PngKinds, SixteenBitFilesKeepWhatQtsReaderGivesThem)
{
    const auto be32 = [](std::initializer_list<quint32> values) {
        QByteArray out;
        for (const quint32 v : values)
            out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
        return out;
    };
    const QByteArray profile = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    QByteArray compressed(qsizetype(compressBound(uLong(profile.size()))), Qt::Uninitialized);
    uLongf compressedSize = uLongf(compressed.size());
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize,
                       reinterpret_cast<const Bytef*>(profile.constData()), uLong(profile.size())),
              Z_OK);
    compressed.resize(qsizetype(compressedSize));
    const QList<QByteArray> details{
        pngChunk("pHYs", be32({3780, 5906}) + '\1') + pngChunk("oFFs", be32({7, 3}) + '\0') +
            pngChunk("tEXt", QByteArray("Comment\0taken at noon", 21)),
        pngChunk("sRGB", QByteArray(1, '\0')),
        pngChunk("gAMA", be32({100000})),
        pngChunk("gAMA", be32({45455})) +
            pngChunk("cHRM", be32({31270, 32900, 68000, 32000, 26500, 69000, 15000, 6000})),
        pngChunk("iCCP", QByteArray("Display P3\0\0", 12) + compressed),
    };
    for (const int colourType : {0, 2, 4, 6}) {
        for (const QByteArray& chunks : details) {
            const QByteArray png = pngOfKind({colourType, 16, false, false}, 9, 5, 3, chunks);
            SCOPED_TRACE(QStringLiteral("colour type %1 with %2")
                             .arg(colourType)
                             .arg(QString::fromLatin1(chunks.mid(4, 4)))
                             .toStdString());
            const QImage qt = QImage::fromData(png, "png");
            ASSERT_FALSE(qt.isNull());
            const auto read = readImage(png);
            ASSERT_TRUE(read);
            EXPECT_EQ(read->format(), qt.format());
            EXPECT_TRUE(*read == qt);
            EXPECT_EQ(read->colorSpace(), qt.colorSpace());
            EXPECT_EQ(read->colorSpace().description(), qt.colorSpace().description());
            EXPECT_EQ(read->dotsPerMeterX(), qt.dotsPerMeterX());
            EXPECT_EQ(read->dotsPerMeterY(), qt.dotsPerMeterY());
            EXPECT_EQ(read->offset(), qt.offset());
            EXPECT_EQ(read->text(), qt.text());
        }
    }
}

TEST(PngKinds, SixteenBitImagesAreBoundedScaledAndRefusedWhenDamaged)
{
    // 400 x 400 at 8 bytes a pixel is over 1 MB, though its 4 bytes a pixel are not.
    const QByteArray large = pngOfKind({2, 16, true, false}, 400, 400);
    EXPECT_EQ(readImage(large, ImageReadLimits{.allocationLimitMB = 1}).error(),
              ImageReadError::tooLarge);
    const auto whole = readImage(large, ImageReadLimits{.allocationLimitMB = 2});
    ASSERT_TRUE(whole);

    // Reduced to the side asked for, the colour space kept.
    const QByteArray wide =
        pngOfKind({6, 16, false, true}, 400, 200, 1, pngChunk("sRGB", QByteArray(1, '\0')));
    const auto reduced = readImage(wide, ImageReadLimits{.maxSide = 100});
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->size(), QSize(100, 50));
    EXPECT_EQ(reduced->colorSpace(), QColorSpace(QColorSpace::SRgb));

    // A stream that ends rows early, every chunk sound: refused, in silence.
    QByteArray cut = pngOfKind({2, 16, true, false}, 40, 30);
    const qsizetype idat = cut.indexOf("IDAT") - 4;
    const quint32 length = quint32(uchar(cut[idat])) << 24 | quint32(uchar(cut[idat + 1])) << 16 |
                           quint32(uchar(cut[idat + 2])) << 8 | quint32(uchar(cut[idat + 3]));
    QByteArray stream = cut.mid(idat + 8, length);
    QByteArray rows(qsizetype(40 * 6 + 1) * 30, Qt::Uninitialized);
    uLongf rowsSize = uLongf(rows.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &rowsSize,
                         reinterpret_cast<const Bytef*>(stream.constData()), uLong(length)),
              Z_OK);
    QByteArray shortStream(qsizetype(compressBound(uLong(rowsSize / 2))), Qt::Uninitialized);
    uLongf shortSize = uLongf(shortStream.size());
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(shortStream.data()), &shortSize,
                       reinterpret_cast<const Bytef*>(rows.constData()), uLong(rowsSize / 2)),
              Z_OK);
    shortStream.resize(qsizetype(shortSize));
    cut.replace(idat, qsizetype(length) + 12, pngChunk("IDAT", shortStream));
    testing::internal::CaptureStderr();
    const auto refused = readImage(cut);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), ImageReadError::unreadable);
}
