#include "app/start/HistoryGridModel.h"

#include "app/start/HistoryDayGroups.h"
#include "history/CaptureHistory.h"
#include "history/HistorySearch.h"
#include "platform/L10n.h"

#include <QLocale>

namespace snapkin {

using platform::L10n;

HistoryGridModel::HistoryGridModel(CaptureHistory& history, QObject* parent)
    : QAbstractListModel(parent), m_history(history), m_today([] { return QDate::currentDate(); })
{
    // The history announces a change before it stores it, so the rows are built once the
    // change is in place (and once for a burst of changes).
    connect(&history, &CaptureHistory::entriesChanged, this, [this] {
        if (m_reloadQueued) return;
        m_reloadQueued = true;
        QMetaObject::invokeMethod(this, &HistoryGridModel::reload, Qt::QueuedConnection);
    });
    connect(&history.thumbnails(), &HistoryThumbnails::thumbnailReady, this,
            [this](const QUuid& id) { thumbnailChanged(id); });
    reload();
}

void HistoryGridModel::setToday(Today today)
{
    m_today = std::move(today);
    reload();
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

const HistoryEntry* HistoryGridModel::entryAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) return nullptr;
    const int entry = m_rows[index.row()].entry;
    return entry < 0 ? nullptr : &m_entries[entry];
}

QModelIndex HistoryGridModel::indexOf(const QUuid& id) const
{
    const auto row = m_rowOfID.constFind(id);
    return row == m_rowOfID.cend() ? QModelIndex() : index(*row);
}

QString HistoryGridModel::headingOf(const HistoryEntry& entry) const
{
    const QDate date = entry.created.toLocalTime().date();
    auto found = m_headings.constFind(date);
    if (found == m_headings.cend())
        found = m_headings.insert(date, historyDayGroups::title(date, m_builtFor, L10n::locale()));
    return *found;
}

Qt::ItemFlags HistoryGridModel::flags(const QModelIndex& index) const
{
    if (!entryAt(index)) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const Row& row = m_rows[index.row()];
    if (row.entry < 0) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return row.heading;
        if (role == isHeadingRole) return true;
        return {};
    }
    const HistoryEntry& entry = m_entries[row.entry];
    switch (role) {
    case Qt::DisplayRole:
        return entry.title;
    case Qt::AccessibleTextRole:
        return entry.title + QStringLiteral(", ") + data(index, timeTextRole).toString();
    case isHeadingRole:
        return false;
    case idRole:
        return entry.id;
    case modifiedRole:
        return entry.modified;
    case timeTextRole:
        return L10n::locale().toString(entry.created.toLocalTime().time(), QLocale::ShortFormat);
    case sizeTextRole:
        return L10n::format("%lld × %lld px", entry.pixelWidth, entry.pixelHeight);
    case matchLineRole: {
        if (m_words.isEmpty() || !entry.recognizedText) return QString();
        auto line = m_matchLines.constFind(row.entry);
        if (line == m_matchLines.cend())
            line = m_matchLines.insert(row.entry, matchingLine(*entry.recognizedText, m_words));
        return *line;
    }
    case packagePathRole:
        return m_history.files().packagePath(entry.id);
    default:
        return {};
    }
}

void HistoryGridModel::setQuery(const QString& query)
{
    if (query == m_query) return;
    m_query = query;
    m_words = historySearch::queryWords(query);
    rebuild(false);
}

void HistoryGridModel::reload()
{
    m_reloadQueued = false;
    m_entries = m_history.entries();
    rebuild(true);
}

void HistoryGridModel::reloadIfTheDayChanged()
{
    if (m_today() != m_builtFor) reload();
}

void HistoryGridModel::rebuild(bool entriesChanged)
{
    const QDate today = m_today();
    const bool newDay = today != m_builtFor;
    if (newDay) {
        m_builtFor = today;
        m_headings.clear();
    }
    // Each entry's heading, worked out once per list and day: local dates are slow to make.
    if (entriesChanged || newDay) {
        m_entryHeadings.clear();
        m_entryHeadings.reserve(m_entries.size());
        m_headingOfID.clear();
        for (const HistoryEntry& entry : std::as_const(m_entries)) {
            m_entryHeadings.append(headingOf(entry));
            m_headingOfID.insert(entry.id, m_entryHeadings.last());
        }
    }

    QList<QUuid> found;
    if (!m_words.isEmpty()) {
        found = m_history.search(m_query, [this](const HistoryEntry& entry) {
            const auto heading = m_headingOfID.constFind(entry.id);
            return heading != m_headingOfID.cend() ? *heading : headingOf(entry);
        });
    }
    // The search answers in list order, so both lists are walked together.
    QList<Row> rows;
    rows.reserve(m_entries.size() + 16);
    qsizetype next = 0;
    QString lastHeading;
    for (int i = 0; i < m_entries.size(); ++i) {
        const HistoryEntry& entry = m_entries[i];
        if (!m_words.isEmpty()) {
            if (next >= found.size() || found[next] != entry.id) continue;
            ++next;
        }
        const QString& heading = m_entryHeadings[i];
        if (rows.isEmpty() || heading != lastHeading) {
            rows.append(Row{-1, heading});
            lastHeading = heading;
        }
        rows.append(Row{i, {}});
    }

    m_matchLines.clear();
    const bool searching = !m_words.isEmpty();
    // A keystroke that keeps the same cards (and their height) only changes the matched lines:
    // the grid keeps its layout, selection and scroll position.
    if (!entriesChanged && !newDay && rows == m_rows && searching == m_laidOutSearching) {
        if (!m_rows.isEmpty()) emit dataChanged(index(0), index(int(m_rows.size()) - 1));
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    m_laidOutSearching = searching;
    m_rowOfID.clear();
    m_shownEntries = 0;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].entry < 0) continue;
        m_rowOfID.insert(m_entries[m_rows[row].entry].id, row);
        ++m_shownEntries;
    }
    endResetModel();
}

void HistoryGridModel::thumbnailChanged(const QUuid& id)
{
    const QModelIndex at = indexOf(id);
    if (at.isValid()) emit dataChanged(at, at, {Qt::DecorationRole});
}

QString HistoryGridModel::matchingLine(const QString& text, const QStringList& words)
{
    QString best;
    int bestCount = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed().toString();
        if (trimmed.isEmpty()) continue;
        const QString folded = historySearch::folded(trimmed);
        int count = 0;
        for (const QString& word : words)
            if (folded.contains(word)) ++count;
        if (count > bestCount) {
            best = trimmed;
            bestCount = count;
            if (count == words.size()) break;
        }
    }
    return best;
}

} // namespace snapkin
