#include "model/SnapkinDocument.h"

#include "model/AnnotationStore.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "platform/PngEncoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMimeDatabase>

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <unistd.h>

namespace snapkin {

namespace {

SnapkinDocument::PreviewRenderer& previewRenderer()
{
    static SnapkinDocument::PreviewRenderer renderer;
    return renderer;
}

// A regular file (not a link, not a folder) of at most `limit` bytes, read whole.
std::optional<QByteArray> readEntry(const QString& folder, const QString& name, qint64 limit)
{
    const QFileInfo info(folder + QLatin1Char('/') + name);
    if (info.isSymLink() || !info.isFile() || info.size() > limit) return std::nullopt;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Sized by what the file holds, never by the limit: QIODevice::read(n) reserves n bytes up
    // front, which under a memory limit (a container, ulimit -v) fails for every open. Asking one
    // byte more than the size tells a file that changed while it was read.
    const qint64 size = file.size();
    if (size > limit) return std::nullopt;
    QByteArray data = file.read(size + 1);
    if (data.size() != size || file.error() != QFile::NoError) return std::nullopt;
    return data;
}

bool writeEntry(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    if (file.write(data) != data.size() || !file.flush()) return false;
    // On disk before the folder is renamed into place, so a crash never leaves a package that
    // looks complete with empty files.
    if (::fsync(file.handle()) != 0) return false;
    file.close();
    return file.error() == QFile::NoError;
}

// The version a document declares, learnt from the "version" key alone, so a document that
// does not decode in full can still be told apart as newer. Missing, null or not an integer
// reads as 1.
qint64 probeVersion(const QJsonDocument& parsed)
{
    if (!parsed.isObject()) return 1;
    const QJsonValue v = parsed.object().value(QStringLiteral("version"));
    if (!v.isDouble()) return 1;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9.0e15) return 1;
    return static_cast<qint64>(d);
}

} // namespace

QString SnapkinDocument::Failure::describe(const QString& path) const
{
    if (kind == Kind::writeFailed) return platform::describeWriteFailure(path, writeError, true);
    if (kind == Kind::outOfMemory) {
        return platform::L10n::format("There isn't enough memory to open “%@”.",
                                      QFileInfo(path).fileName());
    }
    return userMessage();
}

QString SnapkinDocument::Failure::userMessage() const
{
    switch (kind) {
    case Kind::newerVersion:
        return platform::L10n::text("This document was created with a newer version of Snapkin. "
                                    "Update Snapkin to open it.");
    case Kind::damaged:
        return platform::L10n::text("The document is damaged or incomplete.");
    case Kind::notFound:
        return platform::userMessage(platform::ImageReadError::notFound);
    case Kind::notEncodable:
        return platform::L10n::text(
            "The document holds a value that can't be saved, such as an invalid number.");
    case Kind::writeFailed:
        return platform::userMessage(writeError);
    case Kind::tooLarge:
        return platform::L10n::text("The document is too large to open.");
    case Kind::imageTooLarge:
        return platform::userMessage(platform::ImageReadError::tooLarge);
    case Kind::outOfMemory:
        return platform::L10n::text("There isn't enough memory to open the document.");
    }
    return {};
}

bool SnapkinDocument::isDocument(const QString& path)
{
    if (QFileInfo(path).suffix().toLower() == QLatin1String(extension)) return true;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.isValid() && type.inherits(QLatin1String(mimeType));
}

std::expected<SnapkinDocument::Package, SnapkinDocument::Failure>
SnapkinDocument::readPackage(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return std::unexpected(Failure::notFound());
    if (!info.isDir()) return std::unexpected(Failure::damaged());
    // Both entries are looked up before anything is decoded; an image longer than any within
    // the budget is refused by its size on disk, unread.
    const QFileInfo imageInfo(path + QLatin1Char('/') + QLatin1String(imageEntry));
    if (!imageInfo.isSymLink() && imageInfo.isFile() && imageInfo.size() > maxImageBytes)
        return std::unexpected(Failure::imageTooLarge());
    auto document = readEntry(path, documentEntry, maxDocumentBytes);
    auto image = readEntry(path, imageEntry, maxImageBytes);
    if (!document || !image) return std::unexpected(Failure::damaged());
    // The preview is never read back: no reader needs it.
    return Package{std::move(*document), std::move(*image), std::nullopt};
}

std::expected<SnapkinDocument::Contents, SnapkinDocument::Failure>
SnapkinDocument::contents(const Package& package)
{
    // Bounded before anything is parsed, and parsed once for both the version and the document.
    if (!AnnotationDocument::withinDecodingCost(package.documentJSON))
        return std::unexpected(Failure::tooLarge());
    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(package.documentJSON, &parseError);
    const qint64 version = probeVersion(parsed);
    auto document =
        parseError.error == QJsonParseError::NoError && parsed.isObject()
            ? AnnotationDocument::fromJson(parsed.object())
            : std::unexpected(JsonError{JsonErrorKind::malformed, parseError.errorString()});
    if (!document) {
        if (version >= 2)
            return std::unexpected(
                Failure::newerVersion(static_cast<int>(std::min<qint64>(version, INT_MAX))));
        return std::unexpected(Failure::damaged());
    }
    // Within the image budget, or as large as the application's own captures where the PNG can
    // honestly hold that many pixels; checked from the header before any pixel is decoded and
    // again on the editor's copy.
    auto image = platform::ImageBudget::decodeDocumentImage(package.imagePNG);
    if (!image) {
        switch (image.error()) {
        case platform::ImageReadError::tooLarge:
            return std::unexpected(Failure::imageTooLarge());
        case platform::ImageReadError::outOfMemory:
            return std::unexpected(Failure::outOfMemory());
        default:
            return std::unexpected(Failure::damaged());
        }
    }
    const QSizeF points = document->imagePointSize(image->pixelSize());
    return Contents{std::move(*document), image->withPointSize(points)};
}

std::expected<SnapkinDocument::Contents, SnapkinDocument::Failure>
SnapkinDocument::read(const QString& path)
{
    // Memory that runs out on the way (an entry's bytes, the document's objects) is refused as
    // an image's is, never thrown at the caller.
    try {
        auto package = readPackage(path);
        if (!package) return std::unexpected(package.error());
        return contents(*package);
    } catch (const std::bad_alloc&) {
        return std::unexpected(Failure::outOfMemory());
    }
}

QString SnapkinDocument::generator()
{
    // The application declares its version with QCoreApplication::setApplicationVersion() and
    // may declare a build number as the application property "buildVersion".
    QString version = QCoreApplication::applicationVersion();
    QString build;
    if (auto* app = QCoreApplication::instance()) {
        const QVariant value = app->property("buildVersion");
        if (value.typeId() == QMetaType::QString) build = value.toString();
    }
    if (version.isEmpty()) version = QStringLiteral("?");
    if (build.isEmpty()) build = QStringLiteral("?");
    return QStringLiteral("Snapkin ") + version + QStringLiteral(" (") + build + QLatin1Char(')');
}

std::optional<QByteArray> SnapkinDocument::pngData(const QImage& image)
{
    if (image.isNull()) return std::nullopt;
    return platform::PngEncoder::encode(image);
}

std::optional<QByteArray> SnapkinDocument::pngData(const platform::BaseImage& image)
{
    if (image.isNull()) return std::nullopt;
    return platform::PngEncoder::encode(image);
}

std::optional<QByteArray> SnapkinDocument::thumbnailPNG(const QImage& flattened)
{
    if (flattened.isNull()) return std::nullopt;
    const int w = flattened.width();
    const int h = flattened.height();
    const double scale = std::min(double(thumbnailMaxSide) / std::max(w, h), 1.0);
    const int tw = std::max(1, int(std::lround(w * scale)));
    const int th = std::max(1, int(std::lround(h * scale)));
    QImage thumbnail = (tw == w && th == h) ? flattened
                                            : flattened.scaled(tw, th, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation);
    if (thumbnail.isNull()) return std::nullopt;
    thumbnail.setDevicePixelRatio(1.0);
    return pngData(thumbnail);
}

std::expected<SnapkinDocument::Package, SnapkinDocument::Failure>
SnapkinDocument::wrapper(const AnnotationDocument& document, const QByteArray& imagePNG,
                         std::optional<QByteArray> thumbnailPNG)
{
    auto json = document.encoded();
    if (!json) return std::unexpected(Failure{Failure::Kind::notEncodable, 0, {}});
    return Package{std::move(*json), imagePNG, std::move(thumbnailPNG)};
}

std::expected<SnapkinDocument::Package, SnapkinDocument::Failure>
SnapkinDocument::wrapper(const AnnotationStore& store)
{
    const platform::BaseImage& image = store.image();
    if (image.isNull()) return std::unexpected(Failure::damaged());
    auto imagePNG = pngData(image);
    if (!imagePNG) return std::unexpected(Failure::damaged());

    AnnotationDocument document;
    document.version = 1;
    document.canvasSize = image.pointSize();
    document.annotations = store.annotations();
    document.nextStampNumber = store.nextStampNumber();
    document.pixelSize = QSizeF(image.pixelSize());
    document.generator = generator();
    document.frame = store.frame();
    document.watermark = store.watermark();
    document.skippedAnnotations = 0;

    // A missing preview never fails the write.
    std::optional<QByteArray> thumbnail;
    if (const auto& render = previewRenderer()) {
        if (auto flattened = render(store)) thumbnail = thumbnailPNG(*flattened);
    }
    return wrapper(document, *imagePNG, std::move(thumbnail));
}

std::expected<void, SnapkinDocument::Failure>
SnapkinDocument::write(const Package& package, const QString& path, platform::FileAccess access)
{
    auto written = platform::writeFolderAtomically(
        path,
        [&package](const QString& folder) {
            if (!writeEntry(folder + QLatin1Char('/') + documentEntry, package.documentJSON))
                return false;
            if (!writeEntry(folder + QLatin1Char('/') + imageEntry, package.imagePNG)) return false;
            if (package.thumbnailPNG) {
                const QString preview = folder + QLatin1Char('/') + previewFolder;
                if (!QDir().mkdir(preview)) return false;
                if (!writeEntry(preview + QLatin1Char('/') + thumbnailEntry, *package.thumbnailPNG))
                    return false;
            }
            return true;
        },
        access);
    if (!written) return std::unexpected(Failure{Failure::Kind::writeFailed, 0, written.error()});
    return {};
}

void SnapkinDocument::setPreviewRenderer(PreviewRenderer renderer)
{
    previewRenderer() = std::move(renderer);
}

} // namespace snapkin
