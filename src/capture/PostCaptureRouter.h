#pragma once

#include "capture/CaptureHooks.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "platform/BaseImage.h"
#include "ui/output/ExportDialogs.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace snapkin {

namespace platform {
class Defaults;
}

// Decides what happens to a finished capture, following the after-capture settings: it copies
// the picture, writes it into the default save folder, and opens it in an editor that the
// capture history follows, always in that order. Screenshots that the desktop's own tool saved
// into the watched folder come here too and always open in an editor.
//
// It keeps nothing of its own: the settings hold the default save folder (its absolute path,
// under both keys::defaultSaveFolder and keys::defaultSaveFolderBookmark). Files are written under
// "Screenshot <yyyy-MM-dd> at <HH.mm.ss>.<ext>", then " 2", " 3"… before the extension, as new
// files that never replace anything; when that fails, or no folder is usable, an alert names the
// folder and the reason and then the save dialog takes over with the same name. GUI thread only.
class PostCaptureRouter final {
public:
    // What the router does outside itself. Each has a default over the application's services;
    // tests replace them.
    struct Routes {
        // Puts the picture on the clipboard, counted as an export.
        std::function<void(const platform::BaseImage&)> copy;
        // Runs the save dialog for the picture in `format`, proposing `fileName` (it reports its
        // own failures). Empty: the router's export dialogs (see setExports).
        std::function<void(const platform::BaseImage&, ExportFormat, const QString& fileName)>
            savePanel;
        // Tells the user why the picture could not be saved on its own, before the dialog.
        std::function<void(const QString& message)> alert;
        // The file's bytes in `format` at its remembered quality; nothing when it cannot be
        // encoded.
        std::function<std::optional<QByteArray>(const platform::BaseImage&, ExportFormat)> encode;
        // The application in front when the capture began, if known.
        std::function<std::optional<QString>()> sourceAppName;
        // The moment that names a saved file.
        std::function<QDateTime()> now;
    };
    static Routes defaultRoutes();

    // The editors and the history the pictures go to come from `hooks` (only those two are
    // used).
    explicit PostCaptureRouter(platform::Defaults& settings, CaptureHooks hooks = {},
                               Routes routes = defaultRoutes());
    // The standard save route refers to the router itself.
    PostCaptureRouter(const PostCaptureRouter&) = delete;
    PostCaptureRouter& operator=(const PostCaptureRouter&) = delete;

    void setHooks(const CaptureHooks& hooks) { m_hooks = hooks; }
    // The dialogs the standard save route runs (not owned; nullptr: the router's own, with Qt's
    // save dialog). The application gives its own at start-up.
    void setExports(const ExportDialogs* exports) { m_exports = exports ? exports : &m_ownExports; }

    // keys::afterCaptureShow on, keys::afterCaptureCopy, keys::afterCaptureSaveToDisk and
    // keys::afterCaptureQuickAccess off, in the registration domain.
    void registerDefaults();

    // A capture for the editor: copy, save, show as the settings say. With all three off the
    // editor opens anyway. A capture that opens no editor is handed to the history as a picture.
    void handleCapturedImage(const platform::BaseImage& image, const QString& title);
    // Writes the picture into the default save folder; the save dialog when there is none, or
    // when encoding or writing fails, after an alert that says why when a folder was chosen. Copies
    // it once more after a write when keys::autoCopyAfterSave is on. Runs the dialog modally.
    void saveToDisk(const platform::BaseImage& image);
    // A screenshot from the watched folder, `fileName` with its extension: copied when
    // keys::afterCaptureCopy is on, always opened (the window keeps the extension in its title, the
    // history entry does not).
    void handleSystemScreenshot(const platform::BaseImage& image, const QString& fileName);

    // Remembers `folder` (made absolute) as the default save folder. A path that is no folder
    // is kept for the save dialog, but leaves no usable default folder.
    void setDefaultSaveFolder(const QString& folder);
    // The default save folder when it exists, is a folder and can be written to, and is neither
    // a document package nor inside one.
    std::optional<QString> resolveDefaultFolder() const;

    // "Screenshot <stamp>.<ext>" for `attempt` 1, "Screenshot <stamp> <attempt>.<ext>" after.
    // The stamp has Western digits on the Gregorian calendar whatever the user's locale, so
    // the names sort and read the same everywhere.
    static QString fileName(const QDateTime& time, ExportFormat format, int attempt);

private:
    QString historyTitle() const;
    void openEditor(const platform::BaseImage& image, const QString& title,
                    const QString& historyTitle);
    // The folder the user chose for saving (absolute, cleaned), whether or not it is usable.
    QString chosenFolder() const;
    // Why `folder`, the chosen folder, is no usable default save folder.
    static QString unusableFolderReason(const QString& folder);
    // Shows why a picture could not be saved in `folder`.
    void failed(const QString& folder, const QString& reason);

    platform::Defaults& m_settings;
    CaptureHooks m_hooks;
    Routes m_routes;
    ExportService m_ownService;
    ExportDialogs m_ownExports{m_ownService};
    const ExportDialogs* m_exports = &m_ownExports;
};

} // namespace snapkin
