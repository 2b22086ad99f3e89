#include "output/OutputHooks.h"

#include "model/SnapkinDocument.h"
#include "output/FlattenService.h"

namespace snapkin {

void installOutputHooks()
{
    SnapkinDocument::setPreviewRenderer([](const AnnotationStore& store) -> std::optional<QImage> {
        auto flattened = FlattenService::flatten(store);
        if (!flattened) return std::nullopt;
        return *flattened;
    });
}

} // namespace snapkin
