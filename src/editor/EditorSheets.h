#pragma once

namespace snapkin {

struct EditorViewHooks;

// Gives every editor page built from now on its single tool keys and its sheets: resize,
// sharpen and keyboard shortcuts. Called once at start-up.
void installEditorSheets(EditorViewHooks& hooks);

} // namespace snapkin
