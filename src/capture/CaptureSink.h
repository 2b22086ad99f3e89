#pragma once

namespace snapkin {

// Where a captured picture goes: a new editor, the clipboard, a file in the default save folder,
// or text recognition (its text is copied).
enum class CaptureSink { editor, clipboard, file, text };

} // namespace snapkin
