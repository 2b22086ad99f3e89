#include "editor/EditorCanvasCursor.h"

#include "canvas/ToolCursor.h"

namespace snapkin {

QCursor editorCanvasCursor(Tool tool, bool isCropping)
{
    if (isCropping) return ToolCursor::cursor(Tool::crop);
    if (tool == Tool::select || tool == Tool::frame) return QCursor(Qt::ArrowCursor);
    return ToolCursor::cursor(tool);
}

} // namespace snapkin
