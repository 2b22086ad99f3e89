#pragma once

#include "model/Tool.h"

#include <QCursor>

namespace snapkin {

// The cursor the editor shows over its canvas: the crop cursor while cropping, the arrow for
// the select and frame tools, otherwise the tool's own cursor.
QCursor editorCanvasCursor(Tool tool, bool isCropping);

} // namespace snapkin
