#pragma once

#include "model/JsonCoding.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <compare>
#include <expected>
#include <optional>

namespace snapkin {

// One capture in the history. Dates are UTC; on disk they keep whole seconds.
//
// `recognizedText` has three states: none (not recognised yet, or recognition failed and is
// tried again at the next launch), empty (recognised, no text found) and the trimmed text.
struct HistoryEntry {
    QUuid id;
    QString title;
    QDateTime created;
    QDateTime modified;
    qint64 pixelWidth = 0;
    qint64 pixelHeight = 0;
    std::optional<QString> recognizedText;

    // The entry's JSON: keys are the field names; "recognizedText" is left out when none.
    QJsonObject toJson() const;

    // What fromJson() read and whether it had to fill in a missing field.
    struct Decoded;
    // A missing or null "id" fails, as does a present key of the wrong type or a date in
    // another layout. A missing "title", "created", "modified", "pixelWidth" or "pixelHeight"
    // takes its default (empty, `now`, the created date, 0, 0) and is reported as filled in.
    static std::expected<Decoded, JsonError> fromJson(const QJsonObject& object,
                                                      const QDateTime& now);

    bool operator==(const HistoryEntry&) const = default;
};

struct HistoryEntry::Decoded {
    HistoryEntry entry;
    bool filledIn = false;
};

// Dates as "yyyy-MM-ddTHH:mm:ssZ" in UTC, whole seconds (fractions are dropped).
QString historyDateText(const QDateTime& date);
// The strict reader of that layout: exactly twenty characters, a real calendar date and time
// of day, "Z" as the zone. Fractions of a second, offsets and other layouts fail.
std::optional<QDateTime> historyDateFromText(QStringView text);

// The upper-case text of an id, as packages are named.
QString historyIDText(const QUuid& id);
// Orders ids as their upper-case texts compare, character by character.
std::strong_ordering compareHistoryIDs(const QUuid& a, const QUuid& b);

} // namespace snapkin
