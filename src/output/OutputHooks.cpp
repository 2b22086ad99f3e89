#include "output/OutputHooks.h"

#include "model/SnapkinDocument.h"
#include "output/FlattenService.h"

namespace snapkin {

void installOutputHooks()
{
    SnapkinDocument::setPreviewRenderer([](const AnnotationStore& store) -> std::optional<QImage> {
        if (auto flattened = FlattenService::flatten(store)) return *flattened;
        return std::nullopt;
    });
}

} // namespace snapkin
