#pragma once

#include "editor/EditorViewHooks.h"

namespace snapkin {

class TextCopier;

// What an editor page gets from the text layer: the Selectable Text overlay with its status
// badge, and with a `copier` the toolbar's Copy Text (the text of the flattened image).
EditorViewHooks editorTextHooks(TextCopier* copier);

} // namespace snapkin
