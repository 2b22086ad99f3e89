#pragma once

#include <QByteArray>
#include <QString>

#include <expected>
#include <functional>

namespace snapkin::platform {

enum class WriteError {
    cannotCreate,  // the temporary file or folder could not be made beside the target
    writeFailed,   // writing the contents failed (for example a full disk)
    cannotReplace, // the finished temporary could not be moved into place
};

QString userMessage(WriteError error);

// One sentence that names the file and, where it can be told, what stood in the way of writing
// it: a folder at that path, a missing folder, a file where the folder should be, no permission,
// a read-only disk. Otherwise the file's name with userMessage(error). `targetIsFolder` for a
// folder written whole (a document package), which may stand at `path` already.
QString describeWriteFailure(const QString& path, WriteError error, bool targetIsFolder = false);

// What kept a write of `bytes` bytes into `folder` from happening, as a clause to follow a colon
// ("the disk is full.", "the folder doesn't exist.", "you don't have permission to write to
// it."); that the file couldn't be created or written when nothing more can be told.
QString writeFailureReason(const QString& folder, WriteError error, qint64 bytes);

// Who may read what a write makes.
enum class FileAccess {
    // A replaced file keeps its mode; a new one gets the umask's (documents, exports, files
    // shared with other programs).
    standard,
    // Files 0600 and folders 0700 whatever the umask (settings, the history, the private
    // temporary folder).
    userOnly,
};

// Writes a file through a temporary beside it (".<name>.tmp-<random>") that is renamed into
// place once every byte is written and synced to the disk; a short write, a full disk at the
// sync or at close all count as failures. On failure the old file is left byte for byte as it
// was and no temporary stays. Temporaries that earlier writes into the same folder left behind
// (a crash, a kill) are removed first; the temporary of a write still under way is locked and
// stays (see StaleTemporaries). The folder must exist. A link at `path` to an existing file is
// written through (the file a user keeps elsewhere and links here stays where it is).
std::expected<void, WriteError> writeFileAtomically(const QString& path, const QByteArray& data,
                                                    FileAccess access = FileAccess::standard);

// Builds a folder through `fill`, which writes into the temporary folder it is given
// (".<name>.tmp-<random>" beside the target) and returns false on failure. The finished folder
// replaces `path` in one step; on any failure the old folder stays untouched and the temporary
// is removed. The folder that holds `path` must exist: it is never made here. Temporaries that
// earlier writes into that folder left behind (a crash, a kill) are removed first; the
// temporary folder is locked while it is written, so that other writers leave it alone.
std::expected<void, WriteError>
writeFolderAtomically(const QString& path,
                      const std::function<bool(const QString& tempFolder)>& fill,
                      FileAccess access = FileAccess::standard);

// Makes `path` a folder of the user's alone (0700 whatever the umask) when it does not exist
// yet, with its parents as ordinary folders. An existing folder is left as it is. False when
// there is no folder at `path` afterwards.
bool makePrivateFolder(const QString& path);

} // namespace snapkin::platform
