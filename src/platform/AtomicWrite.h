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
// a read-only disk. Otherwise the file's name with userMessage(error).
QString describeWriteFailure(const QString& path, WriteError error);

// Writes a file through a temporary beside it that is renamed into place; on failure the old
// file is left byte for byte as it was.
std::expected<void, WriteError> writeFileAtomically(const QString& path, const QByteArray& data);

// Builds a folder through `fill`, which writes into the temporary folder it is given and returns
// false on failure. The finished folder replaces `path` in one step; on any failure the old
// folder stays untouched and the temporary is removed.
std::expected<void, WriteError> writeFolderAtomically(
    const QString& path, const std::function<bool(const QString& tempFolder)>& fill);

} // namespace snapkin::platform
