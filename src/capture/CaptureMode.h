#pragma once

namespace snapkin {

// The kind of picture a capture request asks for.
enum class CaptureMode { region, window, fullScreen };

} // namespace snapkin
