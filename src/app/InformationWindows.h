#pragma once

namespace snapkin {

// Joins the welcome, newsletter, What's New and About windows to the application: their
// start-up steps, their menu and tray items, and the capture service's hooks. Called once,
// before the application delegate is made.
void installInformationWindows();

} // namespace snapkin
