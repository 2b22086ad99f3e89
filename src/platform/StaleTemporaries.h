#pragma once

#include <QString>

namespace snapkin::platform {

// The hidden temporaries our atomic writers make beside a target "<name>", and their removal
// when a crash, a kill or a power loss left them behind:
//   ".<name>.tmp-<12 hex>"  a file or folder being written
//   ".<name>.old-<12 hex>"  the previous folder, moved aside while the new one takes its place
//   ".<name>.keep-<12 hex>" a package built to be kept beside an existing one, with its own
//                           "..<name>.keep-<hex>.tmp-<hex>" while it is written
// Only names of exactly this form are touched, and only when nobody writes them any more: every
// writer holds a lock (flock) on its temporary file or folder until it is in place, and the
// kernel drops that lock when the writer ends, however it ends. A writer makes and locks its
// temporary under a shared lock on the folder, and a sweep holds that lock exclusively, so no
// sweep ever sees a temporary that is made but not yet locked. A temporary that is locked, or
// that cannot be told unlocked (a file system without locks), stays. So does a previous folder
// moved aside while nothing stands at its target's name: it is then the last whole copy.
// Removal never follows a link: a link with such a name is removed itself, folders are entered
// without following links, and only entries that belong to the current user go.
struct StaleTemporaries {
    // A temporary name for `name` of the given kind ("tmp", "old", "keep") with a fresh random
    // part.
    static QString name(const QString& targetName, const char* kind);

    // Removes from `folder` the temporaries of `targetName`. Returns how many entries went.
    static int removeOf(const QString& folder, const QString& targetName);
    // Removes from `folder` every temporary of ours, of any target, that no writer holds: what
    // writes that were killed left. Every write into a folder calls it first, and the start
    // calls it for the folders it knows it writes to.
    static int removeAll(const QString& folder);

    // Held by a writer while it makes its temporary in `folder` and locks it (hold()): sweeps
    // of the folder wait meanwhile. Writers share it; a sweep under way holds a writer up for a
    // moment (a quarter of a second at most, then the writer goes on without it).
    class Making {
    public:
        explicit Making(const QString& folder);
        ~Making();
        Making(const Making&) = delete;
        Making& operator=(const Making&) = delete;

    private:
        int m_fd = -1;
    };

    // How a writer holds the temporary it just made (a file or folder open at `fd`).
    enum class Hold {
        held,     // locked until `fd` closes
        removed,  // a sweep took it before it was locked: make another
        unlocked, // the file system takes no lock: written without, which sweeps then keep
    };
    // Locks the temporary open at `fd` for its writer, waiting for a sweep that is looking at it.
    static Hold hold(int fd);
};

} // namespace snapkin::platform
