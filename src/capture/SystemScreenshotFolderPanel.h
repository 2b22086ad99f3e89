#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace snapkin {

// The dialog in which the user picks the folder the desktop's own screenshot tool saves into.
// The watcher drives it; tests answer it with a fake.
class SystemScreenshotFolderPanel {
public:
    virtual ~SystemScreenshotFolderPanel() = default;
    // Runs modally, starting in `startFolder`. The chosen folder, nothing when cancelled.
    virtual std::optional<QString> run(const QString& startFolder) = 0;
};

// Qt's own folder dialog with the "Use This Folder" button and a line that says what to pick.
std::unique_ptr<SystemScreenshotFolderPanel> makeFileDialogFolderPanel();

// Where the panel starts: the Pictures folder's "Screenshots" when it exists, else the
// Pictures folder, else home.
QString defaultScreenshotFolderGuess();

} // namespace snapkin
