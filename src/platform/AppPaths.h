#pragma once

#include <QString>

namespace snapkin::platform {

// Where Snapkin keeps its files. Both honour XDG_CONFIG_HOME and XDG_DATA_HOME, so tests can
// point them at a temporary folder.
struct AppPaths {
    // $XDG_CONFIG_HOME/snapkin: settings.
    static QString configDir();
    // $XDG_DATA_HOME/snapkin: the application-support folder (history, watermark logo).
    static QString dataDir();
};

} // namespace snapkin::platform
