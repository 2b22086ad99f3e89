#pragma once

#include "history/HistoryEntry.h"

#include <QAbstractListModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <functional>

namespace snapkin {

class CaptureHistory;

// The rows of the start window's grid: the history's entries, newest first, each day group
// led by a heading row ("Today", "Yesterday", "Monday", "November 2026"). A query keeps only
// the entries whose title, date or recognised text holds every word of it (through the
// history's search and its cached search lines); the headings of emptied groups go too.
//
// Heading rows are neither selectable nor enabled, so selection, Ctrl+A and the arrow keys
// pass over them. The model follows the history's list as it changes, keeping the query.
class HistoryGridModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        isHeadingRole = Qt::UserRole + 1,
        idRole,
        modifiedRole,
        timeTextRole,
        sizeTextRole,
        // The first line of the recognised text that holds a word of the query; empty when
        // there is no query or the words matched elsewhere.
        matchLineRole,
        packagePathRole,
    };
    using Today = std::function<QDate()>;

    explicit HistoryGridModel(CaptureHistory& history, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Filters as the user types; an empty or blank query shows every entry.
    void setQuery(const QString& query);
    QString query() const { return m_query; }
    bool isSearching() const { return !m_words.isEmpty(); }

    // The number of entries shown (headings not counted), and of entries in the history.
    int shownEntryCount() const { return m_shownEntries; }
    qsizetype historyCount() const { return m_entries.size(); }

    const HistoryEntry* entryAt(const QModelIndex& index) const;
    QModelIndex indexOf(const QUuid& id) const;
    // The heading an entry is shown under.
    QString headingOf(const HistoryEntry& entry) const;

    // What "today" is (tests fix it); the local date by default.
    void setToday(Today today);
    // Builds the rows again: the history changed (done by itself once the change is stored),
    // or the day did.
    void reload();
    void reloadIfTheDayChanged();
    // The row of the entry shows a new thumbnail.
    void thumbnailChanged(const QUuid& id);

    // The line of `text` to show under a thumbnail for the folded query `words`: the first
    // line holding the most of them, trimmed; empty when no line holds any.
    static QString matchingLine(const QString& text, const QStringList& words);

private:
    struct Row {
        int entry = -1; // index into m_entries; -1 for a heading
        QString heading;
        bool operator==(const Row&) const = default;
    };

    void rebuild(bool entriesChanged);

    CaptureHistory& m_history;
    QList<HistoryEntry> m_entries;
    QList<Row> m_rows;
    QHash<QUuid, int> m_rowOfID;
    int m_shownEntries = 0;
    QString m_query;
    QStringList m_words;
    Today m_today;
    bool m_reloadQueued = false;
    bool m_laidOutSearching = false;
    QDate m_builtFor;
    mutable QHash<QDate, QString> m_headings;
    QStringList m_entryHeadings; // by index into m_entries
    QHash<QUuid, QString> m_headingOfID;
    mutable QHash<int, QString> m_matchLines;
};

} // namespace snapkin
