#pragma once

#include <QString>

namespace snapkin::platform {

// The desktop entries Snapkin writes itself. The autostart entry comes from the same template
// as the launcher the build installs; only its program is this run's own executable.
class DesktopEntry {
public:
    DesktopEntry() = delete;

    // The text of $XDG_CONFIG_HOME/autostart/snapkin.desktop starting `executable`.
    static QString autostartText(const QString& executable);
    // `path` as one argument of an Exec line: quoted when it holds a reserved character, with
    // what the quoting rules reserve, % (field codes), backslashes and line breaks escaped.
    static QString execArgument(const QString& path);
};

} // namespace snapkin::platform
