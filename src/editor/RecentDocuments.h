#pragma once

#include "platform/SettingsKeys.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

namespace snapkin {

// The documents and images the user opened or wrote lately, for the "Open Recent" menu.
//
// Snapkin keeps its own list in the settings (keys::recentDocuments: paths, newest first, at most
// 10, shared item by item with other instances that use the same settings); `urls` is that list
// without the files that are gone. Noting a file also records it in the
// desktop's list of recently used files ($XDG_DATA_HOME/recently-used.xbel), which file
// dialogs and file managers show, keeping every other program's entries.
//
// The Open Recent menu reads the list each time it opens; a list kept longer is re-read when
// the application becomes active or refreshed, and observers hear of it only when it really
// changed.
class RecentDocuments : public QObject {
    Q_OBJECT
public:
    static constexpr int maxCount = keys::recentDocuments.mergedNewest;

    // The stored list as it is now, with what other instances noted or cleared meanwhile;
    // re-read when the application becomes active.
    explicit RecentDocuments(QObject* parent = nullptr);

    const QList<QUrl>& urls() const { return m_urls; }
    // Re-reads the stored list, merged with the settings file's; emits urlsChanged only when
    // the result differs.
    void refresh();
    // The menu title: the file name, followed by " — " and the parent folder's name when
    // another listed file has the same name (compared case-sensitively).
    QString title(const QUrl& url) const;

    // Puts `url` first in the stored list (once) and in the desktop's recently used files. A
    // list read before sees it once refreshed.
    static void noteNewRecentDocument(const QUrl& url);
    // While notes are held, files noted are kept in memory and written, in the order noted,
    // when the last hold is released. The application holds them while its first windows come
    // up, so that the writes (flushed to disk) don't delay the first picture. Holds nest.
    static void holdNotes();
    static void releaseNotes();
    // "Clear Menu": forgets Snapkin's list (the desktop's file is the desktop's). A list read
    // before sees it once refreshed.
    static void clear();

    // Records `filePath` in the recently-used file at `xbelPath`: a new bookmark, or the
    // existing one with its visit time and Snapkin's count updated; every other entry is kept.
    // A file that does not parse is left untouched (false). Written atomically.
    static bool addToRecentlyUsed(const QString& xbelPath, const QString& filePath,
                                  const QDateTime& now = QDateTime::currentDateTimeUtc());
    // $XDG_DATA_HOME/recently-used.xbel.
    static QString recentlyUsedPath();

signals:
    void urlsChanged(const QList<QUrl>& urls);

private:
    QList<QUrl> m_urls;
};

} // namespace snapkin
