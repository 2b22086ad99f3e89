#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace snapkin::platform {

// The settings file as read from disk, for Defaults.
//
// Only a regular file (or a link to one) is opened, and never in a way that can wait: a pipe
// where the file belongs would hold the reader until something writes into it, a device may do
// anything when opened. What is not a regular file, and a file that can't be read (no
// permission, another user's), is reported as such, so that nobody replaces it unseen.
//
// A link (a dotfile manager's) stays a link: the file it names is what is read, written and set
// aside, so a write replaces that file and never the link. A link to a file not made yet counts
// as missing while the folder that file goes in exists, and the write makes it there.
struct SettingsFile {
    enum State {
        missing,    // there is none
        present,    // a JSON object, in `object`
        damaged,    // a regular file that is not a JSON object, or over the size limit
        unreadable, // a regular file that could not be opened or read
        notRegular, // a pipe, a folder, a device or a socket (or a link to one)
        brokenLink, // a link to nothing that could be made: into a missing folder, or a loop
    };
    State state = missing;
    QJsonObject object;
    // Where the file's contents are: the path read, or the file a link there names, followed
    // through every link.
    QString target;

    static SettingsFile read(const QString& path);
};

// Keeps a damaged settings file for the user to inspect, under a ".corrupt" suffix.
void setAsideDamagedSettings(const QString& path);

// An accumulating list (newest first: recent documents) as this store holds it (`ours`), as it
// was when this store last read or wrote the file (`base`), and as the file holds it now
// (`theirs`), made into one: the items this store put in front since `base` first, then the
// file's in its order less the items this store removed since `base`, each item once, at most
// `limit` of them. An item another process removed stays removed unless this store put it in
// front again.
QStringList mergeNewestFirst(const QStringList& ours, const QStringList& base,
                             const QStringList& theirs, qsizetype limit);

} // namespace snapkin::platform
