#include "editor/EditorSheets.h"

#include "editor/EditorViewHooks.h"
#include "editor/KeyboardShortcutsSheet.h"
#include "editor/ResizeView.h"
#include "editor/SharpenView.h"
#include "editor/ToolKeyMonitor.h"

namespace snapkin {

void installEditorSheets(EditorViewHooks& hooks)
{
    ToolKeyMonitor::install(hooks);
    hooks.resizeSheet = [](AnnotationStore& store, QWidget* parent) -> QDialog* {
        return new ResizeView(store, parent);
    };
    hooks.sharpenSheet = [](AnnotationStore& store, QWidget* parent) -> QDialog* {
        return new SharpenView(store, parent);
    };
    hooks.shortcutsSheet = [](AnnotationStore&, QWidget* parent) -> QDialog* {
        return new KeyboardShortcutsSheet(parent);
    };
}

} // namespace snapkin
