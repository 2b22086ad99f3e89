#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>

namespace snapkin::platform {

// The hidden temporaries our atomic writers make beside a target "<name>", and their removal
// when a crash, a kill or a power loss left them behind:
//   ".<name>.tmp-<12 hex>"  a file or folder being written
//   ".<name>.old-<12 hex>"  the previous folder, moved aside while the new one takes its place
//   ".<name>.keep-<12 hex>" a package built to be kept beside an existing one, with its own
//                           "..<name>.keep-<hex>.tmp-<hex>" while it is written
// A name proves nothing: anyone may choose one of that form. So every writer marks the
// temporary it makes (an extended attribute that names its kind, its inode and its name), and
// a sweep removes only an entry that carries our mark for exactly that entry, of the current
// user, of the kind the mark says (a regular file with one name, or a folder), and that nobody
// writes any more. A copy or a renamed entry no longer matches its mark; on a file system
// without user extended attributes nothing is marked, and nothing is swept. A writer killed
// between making its temporary and marking it leaves it empty: an empty file or folder goes
// when its name is one that our writers signed with the user's secret (see name()).
// Temporaries that earlier builds left unmarked stay, but for those of our own targets in a
// private folder of ours (removeUnmarked).
//
// Every writer holds a lock (flock) on its temporary until it is in place, and the kernel drops
// that lock when the writer ends, however it ends. A writer makes and locks its temporary under
// a shared lock on the folder, and a sweep holds that lock exclusively, so no sweep ever sees a
// temporary that is made but not yet locked. A temporary that is locked, or that cannot be told
// unlocked (a file system without locks), stays. So does a previous version moved aside while
// nothing stands at its target's name: it is then the last whole copy.
//
// Removal never follows a link and never leaves the file system it started on; a folder is
// emptied by a walk that goes at most a few levels down (what our package writer makes), with
// a descriptor per level: deeper entries stay, and with them the folder.
struct StaleTemporaries {
    // A temporary name for `name` of the given kind ("tmp", "old", "keep"). Its 12 hex digits
    // are 6 random ones and 6 that sign them, the kind and the target with a secret of the
    // user's (kept in the private data folder; plain random where there is none).
    static QString name(const QString& targetName, const char* kind);
    // Whether `name` is a temporary's name that one of our writers made.
    static bool isOwnName(const QString& name);

    // What a writer makes: a file where a file is written, a folder where a package is.
    enum class Kind { file, package };
    // Marks the temporary open at `fd`, whose name in its folder is `name`, as this writer's
    // own (besides the names it is marked for already, so that it may be renamed from one
    // temporary's name to another's). False where the file system keeps no mark (the
    // temporary then outlives a kill).
    static bool mark(int fd, const QString& name, Kind kind);
    // Takes the mark off what a temporary became once it is in place.
    static void unmark(int fd);

    // Removes from `folder` the marked temporaries of `targetName`. Returns how many went.
    static int removeOf(const QString& folder, const QString& targetName);
    // Removes from `folder` every marked temporary of any target that no writer holds: what
    // writes that were killed left. Every write into a folder calls it first, and the start
    // calls it for the folders it knows it writes to.
    static int removeAll(const QString& folder);
    // Also removes, from a private folder of ours (the user's alone, mode 0700), what earlier
    // builds left there unmarked: ".<target>.tmp-<hex>" and ".<target>.old-<hex>" of the
    // targets `ownTarget` names as ours, and only of the kind it names.
    static int removeUnmarked(const QString& privateFolder,
                              const std::function<std::optional<Kind>(const QString&)>& ownTarget);

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

    // A temporary file made for a write: open for writing at `fd` (-1 when it could not be
    // made), held by this writer (hold()) until `fd` and its copies close, and marked as ours.
    struct File {
        int fd = -1;
        QByteArray path;
    };
    // Makes a new ".<targetName>.tmp-<hex>" in `folder` for writing, exclusively and never
    // through a link, with `mode` (less the umask): made and held under Making, made again under
    // a new name when a sweep took it before the lock, then marked.
    static File makeFile(const QString& folder, const QString& targetName, mode_t mode);
};

} // namespace snapkin::platform
