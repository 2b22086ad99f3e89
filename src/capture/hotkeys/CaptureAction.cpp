#include "capture/hotkeys/CaptureAction.h"

#include "capture/CaptureService.h"
#include "platform/L10n.h"

namespace snapkin {

using platform::L10n;

void runOn(CaptureService& service, CaptureAction action)
{
    switch (action) {
    case CaptureAction::region:
        service.capture(CaptureMode::region, CaptureSink::editor);
        break;
    case CaptureAction::window:
        service.capture(CaptureMode::window, CaptureSink::editor);
        break;
    case CaptureAction::frontWindow:
        service.captureFrontWindow(CaptureSink::editor);
        break;
    case CaptureAction::fullScreen:
        service.capture(CaptureMode::fullScreen, CaptureSink::editor);
        break;
    case CaptureAction::lastRegion:
        service.captureLastRegion();
        break;
    case CaptureAction::copyText:
        service.capture(CaptureMode::region, CaptureSink::text);
        break;
    }
}

namespace {

CaptureActionRunner& runner()
{
    static CaptureActionRunner installed;
    return installed;
}

} // namespace

QString label(CaptureAction action)
{
    switch (action) {
    case CaptureAction::region:
        return L10n::text("Capture Region");
    case CaptureAction::window:
        return L10n::text("Capture Window");
    case CaptureAction::frontWindow:
        return L10n::text("Capture Front Window");
    case CaptureAction::fullScreen:
        return L10n::text("Capture Full Screen");
    case CaptureAction::lastRegion:
        return L10n::text("Recapture Last Region");
    case CaptureAction::copyText:
        return L10n::text("Copy Text from Region");
    }
    return {};
}

void run(CaptureAction action)
{
    if (runner()) runner()(action);
}

CaptureActionRunner setCaptureActionRunner(CaptureActionRunner next)
{
    CaptureActionRunner previous = std::move(runner());
    runner() = std::move(next);
    return previous;
}

} // namespace snapkin
