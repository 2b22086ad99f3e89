#pragma once

#include <QString>

namespace snapkin::platform {

// What the build was configured with: the version and build number, and the addresses of the
// newsletter sign-up, the web site and the contact mailbox. Each address may be empty (none
// configured); whoever shows or uses it then leaves it out.
struct BuildInfo {
    static QString version();     // "2.0.0"
    static QString buildNumber(); // "1"
    static QString newsletterEndpoint();
    // Ends in "/" when set, so relative pages ("privacy/") resolve below it.
    static QString siteRoot();
    static QString contactEmail();
};

} // namespace snapkin::platform
