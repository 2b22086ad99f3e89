#include "grab/CaptureEngineError.h"

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

QString x11SessionAdvice()
{
    return platform::L10n::text("Screen capture needs an X11 (Xorg) session. If you are in a "
                                "Wayland session, log out and choose an Xorg session.");
}

} // namespace snapkin
