#pragma once

namespace snapkin {

// Installs the options bar's groups for every tool and the crop controls, the crop overlay
// and the collage maker into the editor's hooks. Call once at start-up, before editor
// windows open.
void installEditorOptions();

} // namespace snapkin
