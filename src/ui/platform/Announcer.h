#pragma once

#include <QString>

namespace snapkin::platform {

// Speaks a short message to assistive technology (a screen reader), for events that change no
// focused control: "Copied to clipboard", "Selection adjusted". Qt has no announcement call, so
// the default announcer raises an accessibility alert on a hidden, labelled widget that carries
// the message as its name.
//
// Tests install a recording announcer with `setShared` and read what was said.
class Announcer {
public:
    virtual ~Announcer() = default;

    // The announcer the application uses: the accessibility one unless a test installed another.
    static Announcer& shared();
    // Installs `announcer` (not owned; nullptr restores the default). Returns the previous one.
    static Announcer* setShared(Announcer* announcer);

    // Says `message`. An empty message says nothing.
    virtual void announce(const QString& message) = 0;
};

} // namespace snapkin::platform
