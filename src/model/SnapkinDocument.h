#pragma once

#include "model/AnnotationDocument.h"
#include "platform/AtomicWrite.h"
#include "platform/BaseImage.h"
#include "platform/ImageBudget.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <expected>
#include <functional>
#include <optional>

namespace snapkin {

class AnnotationStore;

// The editable document on disk: a folder with the extension "snapkin" holding
// "document.json" (the AnnotationDocument), "image.png" (the base image, unannotated) and,
// when one could be made, "Preview/Thumbnail.png" (the finished result, at most 1024 pixels on
// its longer side). Reading turns a package into the document and its image; writing builds a
// package from a store and puts it in place through a temporary folder beside the destination.
class SnapkinDocument {
public:
    SnapkinDocument() = delete;

    static constexpr const char* extension = "snapkin";
    static constexpr const char* mimeType = "application/x-snapkin";
    static constexpr const char* documentEntry = "document.json";
    static constexpr const char* imageEntry = "image.png";
    static constexpr const char* previewFolder = "Preview";
    static constexpr const char* thumbnailEntry = "Thumbnail.png";
    static constexpr int thumbnailMaxSide = 1024;
    // Entries larger than these are not read: a package is untrusted input. The document JSON
    // carries placed images as Base64, hence its generous bound; the image is held to what the
    // largest image the application writes into a document can take encoded.
    static constexpr qint64 maxDocumentBytes = 512LL * 1024 * 1024;
    static constexpr qint64 maxImageBytes = platform::ImageBudget::maxOwnEncodedBytes;

    struct Failure {
        enum class Kind {
            newerVersion,  // the document decodes only with a newer Snapkin (`version` says which)
            notFound,      // nothing at the path
            damaged,       // a missing entry, undecodable JSON or image, an image without pixels
            notEncodable,  // the document holds a value JSON cannot hold (a non-finite number)
            writeFailed,   // the file system refused the write (`writeError` says how)
            tooLarge,      // a document that would take more memory to parse than it may
            imageTooLarge, // an image over what a document's image may be
            outOfMemory,   // a package within bounds whose memory couldn't be had
        };
        Kind kind = Kind::damaged;
        int version = 0;
        platform::WriteError writeError = platform::WriteError::writeFailed;

        static Failure newerVersion(int version) { return {Kind::newerVersion, version, {}}; }
        static Failure damaged() { return {Kind::damaged, 0, {}}; }
        static Failure notFound() { return {Kind::notFound, 0, {}}; }
        static Failure tooLarge() { return {Kind::tooLarge, 0, {}}; }
        static Failure imageTooLarge() { return {Kind::imageTooLarge, 0, {}}; }
        static Failure outOfMemory() { return {Kind::outOfMemory, 0, {}}; }

        QString userMessage() const;
        // userMessage(), or for a refused write one sentence naming `path` and, where it can be
        // told, the reason (as an image save says it); for memory that ran out, one sentence
        // naming the file.
        QString describe(const QString& path) const;
        bool operator==(const Failure&) const = default;
    };

    // The entries of a package in memory: what is read from disk or about to be written.
    struct Package {
        QByteArray documentJSON;
        QByteArray imagePNG;
        std::optional<QByteArray> thumbnailPNG;
    };

    struct Contents {
        AnnotationDocument document;
        platform::BaseImage image;
    };

    // True when `path` names a document package: by its extension (any letter case), else by
    // the MIME type the system knows for it.
    static bool isDocument(const QString& path);

    // Reads the package folder at `path` into memory. A path that is not a folder, or a folder
    // without both required regular files, is `damaged`; an image entry longer than
    // maxImageBytes is `imageTooLarge`, told before it is read.
    static std::expected<Package, Failure> readPackage(const QString& path);
    // Decodes a package. A document that decodes is returned whatever its version; deciding
    // what to do with a newer one is the caller's.
    static std::expected<Contents, Failure> contents(const Package& package);
    // readPackage() then contents(); memory that runs out in either is `outOfMemory`.
    static std::expected<Contents, Failure> read(const QString& path);

    // "Snapkin <version> (<build>)"; "?" stands for what the application does not declare.
    static QString generator();
    // PNG bytes of an image, or none when encoding fails.
    static std::optional<QByteArray> pngData(const QImage& image);
    // The same for a base image: a capture already encoded for the clipboard or a saved file is
    // not compressed again.
    static std::optional<QByteArray> pngData(const platform::BaseImage& image);
    // The preview of a flattened image: never enlarged, longer side at most 1024 pixels.
    static std::optional<QByteArray> thumbnailPNG(const QImage& flattened);

    static std::expected<Package, Failure> wrapper(const AnnotationDocument& document,
                                                   const QByteArray& imagePNG,
                                                   std::optional<QByteArray> thumbnailPNG);
    // The package of the store's current state; `damaged` when the base image has no pixels.
    static std::expected<Package, Failure> wrapper(const AnnotationStore& store);

    // Writes the package at `path`, new or replacing a package there. The package is built in a
    // temporary folder beside the destination and renamed into place; on any failure what was
    // at `path` stays as it was and the temporary is removed.
    static std::expected<void, Failure>
    write(const Package& package, const QString& path,
          platform::FileAccess access = platform::FileAccess::standard);

    // Flattening (the finished image with annotations, frame and watermark) belongs to the
    // output layer, which installs this hook at start-up. It is called on the main thread while
    // a package is built from a store, for the preview only; with no hook installed, or when
    // it returns nothing, the package is written without a preview.
    using PreviewRenderer = std::function<std::optional<QImage>(const AnnotationStore& store)>;
    static void setPreviewRenderer(PreviewRenderer renderer);
};

} // namespace snapkin
