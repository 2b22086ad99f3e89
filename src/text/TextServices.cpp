#include "text/TextServices.h"

#include "output/FlattenService.h"
#include "text/SelectableText.h"

namespace snapkin {

EditorViewHooks editorTextHooks()
{
    EditorViewHooks hooks;
    hooks.copyText = [](AnnotationStore& store, QWidget* parent) {
        // What the user sees is what is read: annotations, frame and watermark included.
        if (const std::optional<QImage> image = FlattenService::flattenOrAlert(store, parent))
            TextCopier::shared().copyText(*image);
    };
    hooks.selectableText = [](EditorView& view) { new SelectableText(view); };
    return hooks;
}

} // namespace snapkin
