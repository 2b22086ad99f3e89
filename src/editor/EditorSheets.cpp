#include "editor/EditorSheets.h"

#include "editor/EditorViewHooks.h"
#include "editor/KeyboardShortcutsSheet.h"
#include "editor/ToolKeyMonitor.h"

namespace snapkin {

void installEditorSheets(EditorViewHooks& hooks)
{
    ToolKeyMonitor::install(hooks);
    hooks.shortcutsSheet = [](AnnotationStore&, QWidget* parent) -> QDialog* {
        return new KeyboardShortcutsSheet(parent);
    };
}

} // namespace snapkin
