#pragma once

namespace snapkin {

// Puts the welcome window and the newsletter invitation behind the capture service's hooks: a
// capture that cannot read the screen opens the welcome window, and a delivered capture may
// bring up the invitation. Called once at start-up.
void installInformationHooks();

} // namespace snapkin
