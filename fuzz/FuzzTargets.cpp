#include "FuzzTargets.h"
#include "PngReference.h"

#include "model/AnnotationDocument.h"
#include "model/FrameLayout.h"
#include "model/SavedStyles.h"
#include "model/SnapkinDocument.h"
#include "output/FlattenService.h"
#include "platform/Defaults.h"
#include "platform/ImageBudget.h"
#include "platform/ImageProbes.h"
#include "platform/ImageReader.h"
#include "platform/PngDirectDecoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonValue>
#include <QPainter>
#include <QTemporaryDir>

#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace snapkin::fuzz {

namespace {

void check(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
}

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "a scratch folder");
    return dir;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "a scratch file opens");
    check(file.write(data) == data.size(), "a scratch file is written");
}

// A PNG that the reader read and the direct decoder takes (the reader checked its chunks and
// size first) has the pixels, format and resolution that Qt's reader gives it.
void checkDirectDecoderAgainstQt(const QByteArray& data)
{
    if (!data.startsWith("\x89PNG")) return;
    const std::optional<QImage> direct = platform::decodePngDirectly(data, 64 * 1024 * 1024);
    if (!direct) return;
    const QImage qt = QImage::fromData(data, "png");
    check(!qt.isNull(), "Qt reads what the direct decoder reads");
    check(direct->format() == qt.format(), "the direct decoder's format is Qt's");
    check(direct->dotsPerMeterX() == qt.dotsPerMeterX() &&
              direct->dotsPerMeterY() == qt.dotsPerMeterY(),
          "the direct decoder's resolution is Qt's");
    check(*direct == qt, "the direct decoder's pixels are Qt's");
}

// The data of the first chunk of `type` in a PNG, or nothing.
std::optional<QByteArray> chunkData(const QByteArray& png, const char* type)
{
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const auto* header = reinterpret_cast<const uchar*>(png.constData() + at);
        const quint32 length = platform::imageprobe::bigEndian32(header);
        if (length > quint32(png.size() - at - 12)) return std::nullopt;
        if (std::memcmp(header + 4, type, 4) == 0) return png.mid(at + 8, qsizetype(length));
        at += 12 + qsizetype(length);
    }
    return std::nullopt;
}

// Whether a grey image below 16 bits names a transparent grey past its depth's largest: libpng
// compares only the sample's low bits, where Qt's reader, which keeps such a file as it reads
// it, makes no pixel transparent.
bool transparentGreyOutOfRange(const QByteArray& png)
{
    if (png.size() < 26 || png[25] != 0 || uchar(png[24]) >= 16) return false;
    const std::optional<QByteArray> trns = chunkData(png, "tRNS");
    if (!trns || trns->size() != 2) return false;
    const int grey = uchar(trns->at(0)) << 8 | uchar(trns->at(1));
    return grey >= 1 << uchar(png[24]);
}

// A PNG that the reader read has the pixels that libpng's own transformations decode from it
// (PngReference.h), when libpng decodes it too; the colour of a pixel both make wholly
// transparent is not compared. Only where a damaged file may rightly be read otherwise than
// libpng reads it, as Qt's reader always has, are pixels let pass:
// - in an indexed image, libpng makes an index past the palette's end opaque black, where Qt's
//   reader shows the palette's first entry (or white, in one bit);
// - a transparent grey out of its depth's range (transparentGreyOutOfRange()).
void checkPixelsAgainstLibpng(const QByteArray& data, const QImage& read)
{
    if (!data.startsWith("\x89PNG") || transparentGreyOutOfRange(data)) return;
    const std::optional<QImage> reference = decodedByLibpng(data);
    if (!reference) return;
    check(read.size() == reference->size(), "the reader's size is libpng's");
    const bool indexed = data.size() > 25 && data[25] == 3;
    const QImage pixels = read.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const QRgb got = pixels.pixel(x, y), want = reference->pixel(x, y);
            if (got == want || (qAlpha(got) == 0 && qAlpha(want) == 0)) continue;
            if (indexed && want == qRgb(0, 0, 0)) continue;
            std::fprintf(stderr, "at %d,%d the reader gives #%08x, libpng #%08x\n", x, y, got,
                         want);
            check(false, "the reader's pixels are libpng's");
        }
    }
}

} // namespace

void initialize()
{
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "snapkin-fuzz";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
    // The readers' warnings (a damaged settings file set aside, for one) are expected here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Loads the image plugins and the reader's once-only set-up.
    QImage tiny(2, 2, QImage::Format_ARGB32);
    tiny.fill(Qt::red);
    for (const char* format : {"png", "jpeg", "webp", "tiff", "gif", "bmp"}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        tiny.save(&buffer, format);
        (void)platform::readImage(bytes);
    }
    scratch();
}

void document(const QByteArray& data)
{
    // A budget far below the reader's own, so that inputs of a few kilobytes reach both the
    // refusal and the allowance that grows with a text's length.
    constexpr AnnotationDocument::DecodingBudget budget{.floorBytes = 16 * 1024,
                                                        .bytesPerTextByte = 3};
    auto decoded = AnnotationDocument::decode(data, budget);
    if (!decoded) {
        if (decoded.error().kind == JsonErrorKind::tooLarge)
            check(!AnnotationDocument::withinDecodingCost(data, budget), "refused past the budget");
        return;
    }
    check(AnnotationDocument::withinDecodingCost(data), "within the reader's own budget");
    // Every annotation was an object of the text, and every pen point an array.
    qint64 cost = decoded->annotations.size() * AnnotationDocument::decodingCosts.perObject;
    for (const Annotation& a : decoded->annotations)
        cost += a.points.size() * AnnotationDocument::decodingCosts.perArray;
    check(cost <= budget.allowanceFor(data.size()), "annotations and points within the budget");
    const QSizeF points = decoded->imagePointSize(QSize(640, 480));
    check(std::isfinite(points.width()) && points.width() > 0, "a usable point size");
    const FrameLayout layout(points, decoded->frame, 2);
    check(std::isfinite(layout.canvasSize.width()) && std::isfinite(layout.canvasSize.height()),
          "a finite canvas");
    // JSON holds only finite numbers, so what was read can be written and read back, and the
    // writer's indented text of it is within the budget it was read within.
    const auto encoded = decoded->encoded();
    check(encoded.has_value(), "a decoded document encodes");
    const auto again = AnnotationDocument::decode(*encoded, budget);
    check(again.has_value(), "an encoded document decodes within the same budget");
    check(again->annotations.size() == decoded->annotations.size(), "annotations survive");
    check(again->skippedAnnotations == 0, "nothing written is skipped");
}

namespace {

// The pixels a flatten of `input` gives: its canvas (the image's, or the frame's around it) at
// the image's pixel scale.
double flattenedPixels(const FlattenService::Input& input)
{
    const double scale = FlattenService::pixelScale(input.image);
    const QSizeF canvas =
        input.hasPresentation() ? input.frameLayout().canvasSize : input.image.pointSize();
    return std::ceil(canvas.width() * scale) * std::ceil(canvas.height() * scale);
}

} // namespace

void render(const QByteArray& data)
{
    constexpr AnnotationDocument::DecodingBudget budget{.floorBytes = 1024 * 1024,
                                                        .bytesPerTextByte = 3};
    const auto decoded = AnnotationDocument::decode(data, budget);
    if (!decoded) return;
    // A picture with something in it, so that blurs, pixelation and the magnifier have work.
    QImage pixels(64, 48, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::white);
    {
        QPainter painter(&pixels);
        painter.fillRect(8, 8, 24, 16, Qt::darkBlue);
        painter.fillRect(36, 20, 20, 20, QColor(200, 40, 40, 160));
    }
    platform::BaseImage image(pixels, decoded->imagePointSize(pixels.size()));
    FlattenService::Input input = FlattenService::input(*decoded, image);
    if (!(flattenedPixels(input) <= double(renderMaxPixels))) {
        input.frame.reset();
        input.watermark.reset();
    }
    if (!(flattenedPixels(input) <= double(renderMaxPixels))) {
        input.image = platform::BaseImage(pixels);
        check(flattenedPixels(input) <= double(renderMaxPixels), "a small picture unframed");
    }
    const auto flattened = FlattenService::flatten(input);
    if (!flattened) {
        check(flattened.error() == FlattenError::outOfMemory, "a small picture is drawn");
        return;
    }
    check(!flattened->isNull(), "a drawn picture has pixels");
    check(double(flattened->width()) * flattened->height() <= double(renderMaxPixels),
          "the picture's size is its canvas's");
}

void package(const QByteArray& data)
{
    const QString folder = scratch().filePath(QStringLiteral("p.snapkin"));
    QDir(folder).removeRecursively();
    check(QDir().mkpath(folder), "a package folder");
    const qsizetype split = data.indexOf(packageSeparator);
    writeFile(folder + QStringLiteral("/document.json"), split < 0 ? data : data.left(split));
    if (split >= 0) {
        writeFile(folder + QStringLiteral("/image.png"),
                  data.mid(split + qsizetype(std::strlen(packageSeparator))));
    }
    const auto contents = SnapkinDocument::read(folder);
    if (!contents) {
        check(!contents.error().userMessage().isEmpty(), "a failure has a message");
        return;
    }
    check(!contents->image.isNull(), "an opened document has pixels");
    const QSizeF size = contents->image.pointSize();
    check(std::isfinite(size.width()) && size.width() > 0, "a usable point size");
}

void styles(const QByteArray& data)
{
    auto decoded = SavedStyles::decode(data);
    if (!decoded) return;
    const auto encoded = SavedStyles::encode(*decoded);
    check(encoded.has_value(), "decoded styles encode");
    const auto again = SavedStyles::decode(*encoded);
    check(again.has_value() && again->size() == decoded->size(), "styles survive");
}

void settings(const QByteArray& data)
{
    const QString path = scratch().filePath(QStringLiteral("settings.json"));
    QFile::remove(path + QStringLiteral(".corrupt"));
    writeFile(path, data);
    platform::Defaults defaults(path);
    const QVariantMap stored = defaults.storedValues();
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        (void)defaults.boolForKey(it.key());
        (void)defaults.integerForKey(it.key());
        (void)defaults.doubleForKey(it.key());
        (void)defaults.stringForKey(it.key());
        (void)defaults.dataForKey(it.key());
        (void)defaults.stringArrayForKey(it.key());
        check(platform::Defaults::toJson(it.value()).type() != QJsonValue::Undefined,
              "a stored value can be written back");
    }
}

void image(const QByteArray& data)
{
    const auto decoded = platform::readImage(data, platform::ImageReadLimits{4'000'000, 64});
    if (!decoded) return;
    check(!decoded->isNull(), "a read image has pixels");
    check(qint64(decoded->width()) * decoded->height() <= 4'000'000, "the pixel cap");
    checkDirectDecoderAgainstQt(data);
    checkPixelsAgainstLibpng(data, *decoded);
    // Then into an editor's pixels, as every picture from outside goes (ImageBudget::decode is
    // this reading under the budget's limits): to sRGB from any other profile, premultiplied.
    const auto accepted = platform::ImageBudget::accept(*decoded);
    check(accepted.has_value(), "a read image within the budget is accepted");
    const QImage& pixels = accepted->image();
    check(pixels.size() == decoded->size(), "the size is kept");
    check(pixels.format() == QImage::Format_ARGB32_Premultiplied, "premultiplied pixels");
    check(!pixels.colorSpace().isValid() || pixels.colorSpace() == QColorSpace(QColorSpace::SRgb),
          "sRGB pixels");
    // Touch every row, as anything that shows the image would.
    quint32 sum = 0;
    for (int y = 0; y < pixels.height(); ++y)
        sum += pixels.constScanLine(y)[0];
    (void)sum;
}

void repairPngChecksums(std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype at = 0;
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        at = bytes.indexOf(packageSeparator);
        if (at < 0) return;
        at += qsizetype(std::strlen(packageSeparator));
        if (bytes.mid(at, 8) != QByteArray("\x89PNG\r\n\x1a\n", 8)) return;
    }
    for (std::size_t chunk = std::size_t(at) + 8; chunk + 12 <= size;) {
        const std::uint8_t* p = data + chunk;
        const std::size_t length = platform::imageprobe::bigEndian32(p);
        if (length > size - chunk - 12) return;
        const uLong crc = crc32(0, p + 4, uInt(4 + length));
        std::uint8_t* stored = data + chunk + 8 + length;
        for (int i = 0; i < 4; ++i)
            stored[i] = std::uint8_t(crc >> (24 - 8 * i));
        chunk += 12 + length;
    }
}

Target targetNamed(const char* name)
{
    struct Entry {
        const char* name;
        Target target;
    };
    static const Entry entries[] = {{"document", document}, {"package", package},
                                    {"render", render},     {"styles", styles},
                                    {"settings", settings}, {"image", image}};
    for (const Entry& entry : entries) {
        if (std::strcmp(entry.name, name) == 0) return entry.target;
    }
    return nullptr;
}

} // namespace snapkin::fuzz
