#pragma once

#include <QMutex>
#include <QSet>
#include <QString>

namespace snapkin::platform {

// The files Snapkin itself has written (saved images, companion documents, drag and share
// files, settings). A folder watcher asks here before it treats a new file as someone else's,
// so the application never reopens what it has just saved.
//
// A path is registered before the file appears under it, so a watcher that wakes up on the
// rename already finds it. Paths are compared after resolving the folder they lie in (symbolic
// links and "..") and keep the file name as written. Thread-safe: the history writes from its
// own queue.
class OwnWrites {
public:
    static OwnWrites& shared();

    void add(const QString& path);
    bool contains(const QString& path) const;
    // True when `path` was registered, and forgets it: a watcher passes each of our files over
    // once, so a stranger's file that later takes the same name is seen. Also drops the
    // registration of a write that failed or went to another name.
    bool take(const QString& path);
    // Forgets every registration (tests).
    void clear();

    // The form in which paths are kept: the canonical folder plus the file name; the absolute,
    // cleaned path when the folder does not exist.
    static QString key(const QString& path);

private:
    mutable QMutex m_mutex;
    QSet<QString> m_paths;
};

} // namespace snapkin::platform
