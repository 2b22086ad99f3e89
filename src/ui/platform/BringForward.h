#pragma once

class QWidget;

namespace snapkin::platform {

// Brings the top-level window of `widget` in front of the user: shown, restored when it was
// minimised (an iconified window stays iconified through raise and activate alone; a maximised
// or full-screen state it had is kept), raised and activated. Every "bring forward" of the
// application goes through here. Null does nothing.
void bringForward(QWidget* widget);

} // namespace snapkin::platform
