#pragma once

#include "editor/EditorViewHooks.h"

namespace snapkin {

class LinkOpening;
class TextCopier;

// What an editor page gets from the text layer: the Selectable Text overlay with its status
// badge, its clicked links going to `links`, and with a `copier` the toolbar's Copy Text (the
// text of the flattened image).
EditorViewHooks editorTextHooks(TextCopier* copier, LinkOpening& links);

} // namespace snapkin
