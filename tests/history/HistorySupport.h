#pragma once

#include "history/CaptureHistory.h"
#include "history/HistoryEntry.h"
#include "history/HistoryStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QUuid>

#include <atomic>

namespace snapkin::testing {

// A fixed moment in UTC, whole seconds.
QDateTime utc(const char* text);
HistoryEntry entry(const QUuid& id, const QString& title, const QDateTime& created);
// An id whose upper-case text starts with `prefix` (hex digits), the rest zero.
QUuid idStartingWith(const char* prefix);

// A document package of a small image in `store`'s folder, as the history writes them.
void writePackage(const HistoryStore& store, const QUuid& id, QSize pixels = {40, 20});
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

} // namespace snapkin::testing

namespace snapkin::testing {

// Lists `entries` in the index of `store` with an empty package folder each: enough for a
// load, which only lists package names.
void seedEntries(const HistoryStore& store, const QList<HistoryEntry>& entries);

} // namespace snapkin::testing

namespace snapkin::testing {

// A drawing that takes as long as it is let (a minute at most): it sets `drawing` when it
// starts, ends when it is told to stop, sets `toldToStop` if it was, and gives `drawn`.
CaptureHistory::Flattener drawingUntilStopped(std::atomic<bool>& drawing,
                                              std::atomic<bool>& toldToStop, const QImage& drawn);

} // namespace snapkin::testing
