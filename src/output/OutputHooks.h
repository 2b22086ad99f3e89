#pragma once

namespace snapkin {

// Installs what the output layer provides to the layers below it: flattening for the document
// package's preview. Call once at start-up, before any document is written; calling it again
// is harmless.
void installOutputHooks();

} // namespace snapkin
