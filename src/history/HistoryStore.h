#pragma once

#include "history/HistoryEntry.h"
#include "platform/AtomicWrite.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <expected>
#include <optional>

namespace snapkin {

// The history on disk: one private folder holding "index.json" (the list of entries) and one
// document package per capture, "<UPPER-CASE-ID>.snapkin", with the entry's own record
// "History.json" beside the document. The store keeps nothing in memory but the folder's
// path; the capture history service owns the list and calls every operation, writes on its
// serial queue.
//
// The folder is the user's alone: it is created with mode 0700 without following a link, and
// a folder that is a link, not a folder, or owned by someone else is refused: then nothing is
// read from or written to it.
class HistoryStore {
public:
    enum class Error {
        unsafeFolder, // "History" is a link, not a folder, or someone else's
        cannotCreate, // the folder could not be made
        writeFailed,  // a file could not be written (the previous one stays)
        outOfMemory,  // what was to be written could not be made (the previous one stays)
    };
    static QString userMessage(Error error);

    struct Loaded {
        QList<HistoryEntry> entries; // in history order
        // True when the index does not describe the folder as it is (or had to be filled in),
        // so the caller should save the list back.
        bool repaired = false;
    };

    // How the history folder stands before anything is written.
    enum class FolderState { missing, usable, unsafe };

    static constexpr const char* indexName = "index.json";
    static constexpr const char* recordName = "History.json";
    static constexpr const char* packageExtension = "snapkin";

    explicit HistoryStore(QString directory);

    // "History" in the application's data folder.
    static QString defaultDirectory();

    const QString& directory() const { return m_directory; }
    QString packagePath(const QUuid& id) const;

    FolderState folderState() const;

    // Reads and reconciles the index with the packages; rebuilds the list from the packages
    // when the index is unreadable. Never writes and never fails; it only removes the hidden
    // temporaries that writes cut short left in the folder. `now` stands in for dates the
    // files do not hold.
    Loaded load(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
    // Creates the folder when needed and writes the index with `entries` in this order.
    std::expected<void, Error> save(const QList<HistoryEntry>& entries) const;
    // `entries` without those whose package is not in the folder (not written yet, or never
    // written): what an index may name.
    QList<HistoryEntry> withPackages(QList<HistoryEntry> entries) const;
    // Deletes each id's package; links are removed, never followed. Failures are ignored.
    void remove(const QList<QUuid>& ids) const;
    // Writes the entry's record into its package when the package exists; never creates it.
    std::expected<void, Error> writeEntry(const HistoryEntry& entry) const;

    // Newest first; equal creation times by ascending upper-case id text. Stable.
    static QList<HistoryEntry> sorted(QList<HistoryEntry> entries);
    static bool precedes(const HistoryEntry& a, const HistoryEntry& b);

    // Makes the folder (mode 0700, parents as needed) unless it exists; refuses a link, a
    // non-folder or a folder of another user, and takes group and other access away from our
    // own folder.
    std::expected<void, Error> prepareFolder() const;

    // The compact index bytes of `entries`, keys sorted.
    static QByteArray encodeIndex(const QList<HistoryEntry>& entries);

private:
    QSet<QUuid> packageIDs() const;
    QList<HistoryEntry> rebuild(const QSet<QUuid>& ids, const QDateTime& now) const;
    std::optional<HistoryEntry> readEntry(const QUuid& id, const QDateTime& now) const;

    QString m_directory;
};

} // namespace snapkin
