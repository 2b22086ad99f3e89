#pragma once

namespace snapkin {

class AnnotationStore;

// Commands that several controls of an editor page share, so they act alike wherever the
// user finds them.
namespace editorcommands {

// Asks the page of `store` to show its Resize Image sheet. Crop mode is left first, without
// applying the crop, and the select tool chosen.
void resizeImage(AnnotationStore& store);

} // namespace editorcommands

} // namespace snapkin
