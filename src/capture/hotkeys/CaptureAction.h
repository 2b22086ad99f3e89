#pragma once

#include "model/EnumCoding.h"

#include <QString>

#include <array>
#include <functional>
#include <string_view>

namespace snapkin {

class CaptureService;

// The capture commands a global shortcut can start, in the order the settings list them.
// Stored by case name.
enum class CaptureAction { region, window, frontWindow, fullScreen, lastRegion, copyText };

template <> struct EnumTable<CaptureAction> {
    static constexpr std::array cases{CaptureAction::region,      CaptureAction::window,
                                      CaptureAction::frontWindow, CaptureAction::fullScreen,
                                      CaptureAction::lastRegion,  CaptureAction::copyText};
    static constexpr std::array<std::string_view, 6> names{
        "region", "window", "frontWindow", "fullScreen", "lastRegion", "copyText"};
};

// The localised title ("Capture Region").
QString label(CaptureAction action);

// Starts the action and returns at once; the capture itself runs asynchronously.
void run(CaptureAction action);

// Starts the action on `service`.
void runOn(CaptureService& service, CaptureAction action);

// What run() hands the action to: nothing until one is installed. The application installs
// its capture service; tests put a recorder in its place. Returns the runner that was installed
// before.
using CaptureActionRunner = std::function<void(CaptureAction)>;
CaptureActionRunner setCaptureActionRunner(CaptureActionRunner runner);

} // namespace snapkin
