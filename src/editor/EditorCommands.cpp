#include "editor/EditorCommands.h"

#include "model/AnnotationStore.h"

namespace snapkin::editorcommands {

void resizeImage(AnnotationStore& store)
{
    if (store.isCropping()) {
        store.setIsCropping(false);
        store.setTool(Tool::select);
    }
    store.setIsResizing(true);
}

} // namespace snapkin::editorcommands
