#pragma once

#include <QString>

namespace snapkin::platform {

// The disk space a folder's files take: the allocated blocks (st_blocks × 512) of every
// regular file under it, hidden ones and those in sub-folders included, so a sparse file
// counts what it really occupies. Links are never followed (neither to files nor to
// folders), folders themselves add nothing, and a sub-folder that cannot be read is left
// out. A folder that cannot be opened measures 0.
//
// Blocking; call it away from the GUI thread.
qint64 allocatedFolderSize(const QString& folder);

} // namespace snapkin::platform
