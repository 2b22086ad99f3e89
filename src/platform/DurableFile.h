#pragma once

#include <QByteArray>

namespace snapkin::platform {

// The low-level steps every atomic writer shares, so that none of them reports a write that
// never reached the disk as done.

// Writes all of `data` to `fd` (going on after short writes and interruptions), then fsync()s
// it. A full disk shows up at write() or, with delayed allocation, only at fsync(): both fail
// this. The caller still checks close().
bool writeAllAndSync(int fd, const QByteArray& data);

// Makes a rename inside `folder` durable. A folder that cannot be synced is no failure.
void syncFolder(const QByteArray& folder);

} // namespace snapkin::platform
