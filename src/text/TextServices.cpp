#include "text/TextServices.h"

#include "text/SelectableText.h"
#include "text/TextCopier.h"
#include "ui/output/FlattenAlert.h"

namespace snapkin {

EditorViewHooks editorTextHooks(TextCopier* copier, LinkOpening& links)
{
    EditorViewHooks hooks;
    if (copier) {
        hooks.copyText = [copier](AnnotationStore& store, QWidget* parent) {
            // What the user sees is what is read: annotations, frame and watermark included.
            if (const std::optional<QImage> image = flattenOrAlert(store, parent))
                copier->copyText(*image);
        };
    }
    hooks.selectableText = [&links](EditorView& view) { new SelectableText(view, links); };
    return hooks;
}

} // namespace snapkin
