#include "capture/CaptureEngineError.h"

#include "platform/L10n.h"

namespace snapkin {

QString userMessage(CaptureEngineError error)
{
    using platform::L10n;
    switch (error) {
    case CaptureEngineError::noDisplay:
        return L10n::text("No display was found.");
    case CaptureEngineError::noFrontWindow:
        return L10n::text("No front window was found.");
    case CaptureEngineError::cropFailed:
        return L10n::text("Couldn't crop the selected region.");
    }
    return {};
}

} // namespace snapkin
