#pragma once

#include <QString>

#include <expected>

namespace snapkin::platform {

// Opening Snapkin when the user logs in, through the desktop's autostart folder: the entry
// $XDG_CONFIG_HOME/autostart/snapkin.desktop (~/.config when XDG_CONFIG_HOME is unset or not
// absolute). The entry is the only record; there is no setting beside it.
//
// On means the file exists and does not say Hidden=true (the desktop's way of switching an
// autostart entry off). Turning it on writes the entry atomically, with Exec naming the
// program by its absolute path, quoted where the Desktop Entry rules ask for it; turning it
// off removes the file. The entry is DesktopEntry's autostart text for the program.
class LoginItem {
public:
    enum class Error {
        cannotCreateFolder, // the autostart folder is missing and cannot be made
        writeFailed,        // the entry could not be written (the old one stays)
        cannotRemove,       // the entry could not be removed
    };
    static QString userMessage(Error error);

    static QString entryPath();
    static bool isEnabled();

    // Writes or removes the entry; `program` defaults to the running program's absolute path.
    static std::expected<void, Error> setEnabled(bool enabled, const QString& program = {});
};

} // namespace snapkin::platform
