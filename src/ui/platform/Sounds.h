#pragma once

#include <QString>

namespace snapkin::platform {

// Event sounds of the desktop's sound theme (freedesktop naming: "screen-capture",
// "dialog-warning"), played through libcanberra, and the plain warning beep.
//
// Playing never waits for the sound and never fails loudly: without a sound server, without the
// theme or without the event, nothing is heard. Tests install a recording player with
// `setShared` and read what was played.
class Sounds {
public:
    virtual ~Sounds() = default;

    // The player the application uses: libcanberra's unless a test installed another.
    static Sounds& shared();
    // Installs `sounds` (not owned; nullptr restores the default). Returns the previous one.
    static Sounds* setShared(Sounds* sounds);

    // Starts the theme's sound for `eventID` and returns at once.
    virtual void playEvent(const QString& eventID) = 0;
    // The short warning signal for "nothing to do" (the X server's bell).
    virtual void beep() = 0;
};

} // namespace snapkin::platform
