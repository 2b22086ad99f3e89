#pragma once

#include <QString>

#include <expected>

namespace snapkin::platform {

// The per-user folder for files Snapkin hands to other programs for a while (drag files, the
// picture an "Open With…" hands over): $XDG_RUNTIME_DIR/snapkin, or <cache>/snapkin/tmp when
// there is no runtime folder. Unlike the system-wide temporary folder nobody else can plant
// files or links in it: it is made with mode 0700 and refused when it is a symbolic link, not a
// folder or not owned by the current user.
//
// One user may run several instances at once (one per display), all over this one folder. Each
// running process keeps its files in a sub-folder of its own, which it marks as taken by a lock
// on a file inside it (".owner"), held for the life of the process: the kernel drops the lock
// when the process ends, a crash or SIGKILL included. Clean-up removes only what no running
// process holds, so one instance's start or quit never takes away a file another one has handed
// to a drop target.
//
// Each use takes a sub-folder of its own, so a later use never deletes a file that a drop target
// may still be reading; what earlier runs left behind is removed once, at start-up.
class PrivateFolder {
public:
    enum class Error {
        unavailable, // the folder could not be made
        unsafe,      // it exists but is a link, not a folder, or not the user's own
    };
    static QString userMessage(Error error);

    // This process's own folder inside location(), taken by the first call of the run (which
    // also removes what no running process holds, as cleanUp() does). Both are made (mode 0700)
    // when missing; a folder of ours with a looser mode is tightened.
    static std::expected<QString, Error> path();
    // A new, empty folder of its own under `purpose` ("Drag", "Share") in this process's folder,
    // mode 0700.
    static std::expected<QString, Error> makeUniqueFolder(const QString& purpose);

    // Of the folders under `purpose` in this process's folder, keeps the `count` newest and
    // removes the others with what is in them (as `clean` removes). Newest by the order
    // makeUniqueFolder made them, which holds for folders made within one tick of the file
    // system's clock; folders of other names count as older, by when they last changed. Other
    // entries, and other processes' folders, stay.
    static void keepNewest(const QString& purpose, int count);

    // Removes from location() what no running process holds: the folders of processes that
    // ended, and whatever else is there (as `clean` removes). Called at start-up.
    static void cleanUp();
    // Removes this process's own folder with everything in it, its owner file included, and
    // lets go of it: for the end of the run. Other processes' folders stay. A later path()
    // takes a new folder.
    static void release();
    // Removes from `folder` the user's own regular files and symbolic links (the link, never
    // its target) and every folder that is empty afterwards, descending only into real folders.
    // Other kinds of entries and other users' files stay. `folder` itself stays.
    static void clean(const QString& folder);

    // The folder all processes' own folders are in: a function of the environment only.
    static QString location();

    // Makes `folder` (its parent must exist) a private folder as `path()` does: made with mode
    // 0700 when missing, tightened when it is ours with a looser mode, refused when it is a
    // link, not a folder or not the user's own. Nothing in it is removed.
    static std::expected<void, Error> makePrivate(const QString& folder);
    // Whether `folder` already is private: a real folder (not a link) of the user's own that
    // nobody else may enter. Changes nothing.
    static bool isPrivate(const QString& folder);
};

} // namespace snapkin::platform
