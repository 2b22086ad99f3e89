#pragma once

#include "platform/AtomicWrite.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <functional>

namespace snapkin::platform {

// Writes `data` as a new file in `folder` under the first name that is free, never replacing
// anything. `nameAt(1)`, `nameAt(2)`, … are tried in turn; a name taken by a file, a folder or
// a link counts as taken, even when it was taken a moment before the file would have appeared.
//
// The data goes into a hidden temporary in the folder (".<first name>.tmp-<random>", locked
// while it is written, see StaleTemporaries), is synced to disk, and then takes its name in one
// step that refuses to replace (renameat2 with RENAME_NOREPLACE; a hard link and unlink, or an
// exclusively created placeholder, where the file system has no such rename). A file therefore
// never shows under its final name half written.
//
// The final path is registered with OwnWrites before it appears, so a folder watcher passes it
// over; names that turn out to be taken, and every name of a failed write, are unregistered.
// On failure neither the temporary nor a final file is left behind. Temporaries that earlier
// writes into the folder left behind (a crash, a kill) are removed first.
//
// Returns the path written.
std::expected<QString, WriteError> writeNewFile(const QString& folder,
                                                const std::function<QString(int attempt)>& nameAt,
                                                const QByteArray& data);

} // namespace snapkin::platform
