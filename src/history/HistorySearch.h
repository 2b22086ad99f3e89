#pragma once

#include "history/HistoryEntry.h"

#include <QString>
#include <QStringList>

namespace snapkin {

// Finding history entries as the user types: an entry matches when its title, its creation
// date or its recognised text holds every word of the query, whatever the letter case and
// accents. Each entry has one search line, built once from those three and rebuilt only when
// one of them changes.
namespace historySearch {

// What a search line is made from; the line is rebuilt when it changes.
struct Key {
    QString title;
    QDateTime created;
    std::optional<QString> recognizedText;
    bool operator==(const Key&) const = default;
};

Key keyOf(const HistoryEntry& entry);

// Case folded, accents removed: "Café" and "CAFE" both become "cafe".
QString folded(const QString& text);

// The folded words of a query, split at white space; empty words are dropped.
QStringList queryWords(const QString& query);

// The folded line of an entry: its title, its creation date in the local time zone (as
// "2026-12-07", in the locale's long and short forms, and the time "14:05"), and its text.
QString line(const Key& key);

} // namespace historySearch
} // namespace snapkin
