#pragma once

#include <QString>

namespace snapkin {

// Conditions the capture service reports when it cannot produce a picture.
enum class CaptureEngineError {
    noDisplay,     // no display to take a full-screen or last-region capture of
    noFrontWindow, // no window qualifies for a front-window capture
    cropFailed,    // the selected region could not be cut out of the display image
};

// The localised message shown to the user.
QString userMessage(CaptureEngineError error);

// The advice shown when there is no X server to capture from.
QString x11SessionAdvice();

} // namespace snapkin
