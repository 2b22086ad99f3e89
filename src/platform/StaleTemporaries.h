#pragma once

#include <QString>

namespace snapkin::platform {

// The hidden temporaries our atomic writers make beside a target "<name>", and their removal
// when a crash, a kill or a power loss left them behind:
//   ".<name>.tmp-<12 hex>"  a file or folder being written
//   ".<name>.old-<12 hex>"  the previous folder, moved aside while the new one takes its place
//   ".<name>.keep-<12 hex>" a package built to be kept beside an existing one, with its own
//                           "..<name>.keep-<hex>.tmp-<hex>" while it is written
// Only names of exactly this form are touched. A file that its writer holds locked (flock) is
// still being written and stays. Removal never follows a link: a link with such a
// name is removed itself, folders are entered without following links, and only entries that
// belong to the current user go.
struct StaleTemporaries {
    // A temporary name for `name` of the given kind ("tmp", "old", "keep") with a fresh random
    // part.
    static QString name(const QString& targetName, const char* kind);

    // Removes from `folder` the temporaries of `targetName`. Returns how many entries went.
    static int removeOf(const QString& folder, const QString& targetName);
    // Removes from `folder` every temporary of any target (a folder that is ours alone).
    static int removeAll(const QString& folder);
};

} // namespace snapkin::platform
