#pragma once

#include "model/Annotation.h"
#include "model/FrameStyle.h"
#include "model/Watermark.h"
#include "output/FrameComposition.h"
#include "platform/BaseImage.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QString>

#include <atomic>
#include <expected>
#include <optional>

namespace snapkin {

class AnnotationStore;
struct AnnotationDocument;

enum class FlattenError {
    emptyImage,  // the base image has no width or height
    tooLarge,    // the finished image would exceed the size limits
    outOfMemory, // a buffer for the finished image could not be allocated
};

// "Couldn't prepare the image", whatever the cause.
QString userMessage(FlattenError error);
// The alert's explanation.
QString explanation(FlattenError error);

// Turns a document into one flat image: the base image with every annotation drawn over it
// (text being edited included) and, when the document has a frame or a visible watermark, the
// frame, shadow and watermark around it. Every route out of the editor (copy, save, drag,
// share), the package preview and the history flatten through here. Nothing is kept between
// calls apart from the shadow and logo caches of the composition.
struct FlattenService {
    FlattenService() = delete;

    // What is flattened, a snapshot that may travel to another thread; a store or a document
    // with its image gives one. Its read-outs follow the store's rules, so a store and its
    // snapshot flatten alike.
    struct Input {
        platform::BaseImage image;
        QList<Annotation> annotations;
        std::optional<FrameStyle> frame;
        std::optional<Watermark> watermark;

        // AnnotationStore::hasPresentation and ::frameLayout of these values.
        bool hasPresentation() const;
        FrameLayout frameLayout() const;
    };
    static Input input(const AnnotationStore& store);
    static Input input(const AnnotationDocument& document, const platform::BaseImage& image);

    // Pixels per point of an image, at least 1 (AnnotationStore::pixelScale): a low-density
    // image is never scaled down and a 2x capture keeps its full pixel count.
    static double pixelScale(const platform::BaseImage& image);

    // The framed presentation for export (no checkerboard, content clipped to the corners),
    // laid out by the store's frameLayout().
    static FrameComposition composition(const AnnotationStore& store);
    static FrameComposition composition(const Input& input);

    // The finished image at the base image's pixel scale; its device pixel ratio is that scale,
    // so its size in points is the content's: the image's point size, or the frame layout's
    // canvas when the document has a presentation (a store's hasPresentation() decides for a
    // store). A failure to allocate is a failure, never an empty image.
    // Once `*cancelled` is set the drawing stops early and the image returned is unfinished, for
    // the caller to throw away.
    static std::expected<QImage, FlattenError>
    flatten(const Input& input, const std::atomic<bool>* cancelled = nullptr);
    static std::expected<QImage, FlattenError> flatten(const AnnotationStore& store);
    static std::expected<QImage, FlattenError> flatten(const AnnotationDocument& document,
                                                       const platform::BaseImage& image);

    // Why flatten() would refuse `input` (an empty image, one too large), found without drawing;
    // nothing when it would draw. A flatten may still fail for want of memory.
    static std::optional<FlattenError> refusal(const Input& input);

    // flatten() on a worker thread, for a caller with something else to do meanwhile (the save
    // dialog opens while a long document is drawn). `input` is copied: the store may change.
    static QFuture<std::expected<QImage, FlattenError>> flattenInBackground(Input input);

    // The finished image is refused beyond these: a document's point size may be far larger
    // than its pixels, and a frame adds padding and aspect on top.
    static constexpr int maxSide = 32767;
    static constexpr qint64 maxPixels = 268'435'456; // 16384², 1 GiB of pixels
};

} // namespace snapkin
