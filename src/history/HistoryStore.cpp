#include "history/HistoryStore.h"

#include "model/AnnotationDocument.h"
#include "model/SnapkinDocument.h"
#include "platform/AppPaths.h"
#include "platform/L10n.h"
#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin {

namespace {

// The index and records are small; anything larger is not ours.
constexpr qint64 maxIndexBytes = 256LL * 1024 * 1024;
constexpr qint64 maxRecordBytes = 16LL * 1024 * 1024;

// A regular file (not a link) of at most `limit` bytes, read whole.
std::optional<QByteArray> readFile(const QString& path, qint64 limit)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > limit) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Sized by what the file holds, never by the limit: QIODevice::read(n) reserves n bytes up
    // front, which under an address-space limit (ulimit -v) fails, and would end the start.
    // One byte more than the size tells a file that grew while it was read.
    const qint64 size = file.size();
    if (size > limit) return std::nullopt;
    QByteArray data = file.read(size + 1);
    if (data.size() > limit || file.error() != QFile::NoError) return std::nullopt;
    return data;
}

// A stored size as a pixel count: truncated toward zero; a value that is not finite or does
// not fit a 64-bit integer reads as 0.
qint64 pixelCount(double value)
{
    if (!std::isfinite(value)) return 0;
    const double truncated = std::trunc(value);
    // 2^63 is exactly representable; every double below it converts without overflow.
    if (truncated >= 9223372036854775808.0 || truncated < -9223372036854775808.0) return 0;
    return static_cast<qint64>(truncated);
}

// The UUID of a package name: "<UUID>.snapkin", the extension exactly so. Packages are
// addressed by the upper-case form of their id and file names are case-sensitive here, so a
// lower-case name could be neither read nor deleted: it is not a package.
std::optional<QUuid> packageID(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || QStringView(name).mid(dot + 1) != QLatin1String(HistoryStore::packageExtension))
        return std::nullopt;
    const QString stem = name.left(dot);
    auto id = json::readUuid(QJsonValue(stem), QString());
    if (!id || historyIDText(*id) != stem) return std::nullopt;
    return *id;
}

} // namespace

QString HistoryStore::userMessage(Error error)
{
    switch (error) {
    case Error::unsafeFolder:
        return platform::L10n::text(
            "The history folder is a link or belongs to another user, so the history is off.");
    case Error::cannotCreate:
        return platform::L10n::text("The history folder couldn't be created.");
    case Error::writeFailed:
        return platform::L10n::text("The history couldn't be written. The disk may be full.");
    case Error::outOfMemory:
        return platform::L10n::text("The history couldn't be written. There isn't enough memory.");
    }
    return {};
}

HistoryStore::HistoryStore(QString directory) : m_directory(std::move(directory)) {}

QString HistoryStore::defaultDirectory()
{
    return platform::AppPaths::dataDir() + QStringLiteral("/History");
}

QString HistoryStore::packagePath(const QUuid& id) const
{
    return m_directory + QLatin1Char('/') + historyIDText(id) + QLatin1Char('.') +
           QLatin1String(packageExtension);
}

HistoryStore::FolderState HistoryStore::folderState() const
{
    struct stat info {};
    if (::lstat(QFile::encodeName(m_directory).constData(), &info) != 0)
        return errno == ENOENT ? FolderState::missing : FolderState::unsafe;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return FolderState::unsafe;
    return FolderState::usable;
}

std::expected<void, HistoryStore::Error> HistoryStore::prepareFolder() const
{
    const QByteArray path = QFile::encodeName(m_directory);
    if (!platform::makePrivateFolder(QFileInfo(m_directory).absolutePath()))
        return std::unexpected(Error::cannotCreate);
    // mkdir never follows a link in the last component: a link there makes it fail with
    // EEXIST, and the check below refuses it.
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return std::unexpected(Error::cannotCreate);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::unexpected(Error::unsafeFolder);
    struct stat info {};
    bool safe = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
    if (safe && (info.st_mode & 077) != 0) safe = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    if (!safe) return std::unexpected(Error::unsafeFolder);
    return {};
}

QSet<QUuid> HistoryStore::packageIDs() const
{
    QSet<QUuid> ids;
    if (folderState() != FolderState::usable) return ids;
    const QStringList names =
        QDir(m_directory)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Unsorted);
    for (const QString& name : names) {
        if (auto id = packageID(name)) ids.insert(*id);
    }
    return ids;
}

std::optional<HistoryEntry> HistoryStore::readEntry(const QUuid& id, const QDateTime& now) const
{
    const QString package = packagePath(id);
    if (auto bytes =
            readFile(package + QLatin1Char('/') + QLatin1String(recordName), maxRecordBytes)) {
        const QJsonDocument json = QJsonDocument::fromJson(*bytes);
        if (json.isObject()) {
            if (auto decoded = HistoryEntry::fromJson(json.object(), now)) {
                decoded->entry.id = id; // the package name wins
                return decoded->entry;
            }
        }
    }

    auto bytes =
        readFile(package + QLatin1Char('/') + QLatin1String(SnapkinDocument::documentEntry),
                 SnapkinDocument::maxDocumentBytes);
    if (!bytes) return std::nullopt;
    auto document = AnnotationDocument::decode(*bytes);
    if (!document) return std::nullopt;

    const QFileInfo folder(package);
    const QDateTime born = folder.birthTime();
    const QDateTime changed = folder.lastModified();
    HistoryEntry entry;
    entry.id = id;
    entry.created = born.isValid() ? born.toUTC() : now;
    entry.modified = changed.isValid() ? changed.toUTC() : entry.created;
    const QSizeF size = document->pixelSize.value_or(document->canvasSize);
    entry.pixelWidth = pixelCount(size.width());
    entry.pixelHeight = pixelCount(size.height());
    return entry;
}

QList<HistoryEntry> HistoryStore::rebuild(const QSet<QUuid>& ids, const QDateTime& now) const
{
    QList<HistoryEntry> entries;
    entries.reserve(ids.size());
    for (const QUuid& id : ids) {
        if (auto entry = readEntry(id, now)) entries.append(std::move(*entry));
    }
    return sorted(std::move(entries));
}

HistoryStore::Loaded HistoryStore::load(const QDateTime& now) const
{
    if (folderState() != FolderState::usable) return {{}, folderState() == FolderState::missing};
    // What a killed or crashed write left half done is of no use and only takes room. Earlier
    // builds did not mark their temporaries; in this folder of ours alone, those of a package's
    // or the index's write are known for ours by their targets.
    using platform::StaleTemporaries;
    StaleTemporaries::removeAll(m_directory);
    StaleTemporaries::removeUnmarked(
        m_directory, [](const QString& target) -> std::optional<StaleTemporaries::Kind> {
            if (packageID(target)) return StaleTemporaries::Kind::package;
            if (target == QLatin1String(indexName)) return StaleTemporaries::Kind::file;
            return std::nullopt;
        });
    const QSet<QUuid> ids = packageIDs();

    const auto index =
        readFile(m_directory + QLatin1Char('/') + QLatin1String(indexName), maxIndexBytes);
    const QJsonDocument json = index ? QJsonDocument::fromJson(*index) : QJsonDocument();
    const QJsonObject root = json.object();
    const QJsonValue version = root.value(QLatin1String("version"));
    const QJsonValue list = root.value(QLatin1String("entries"));
    const bool versionOK = version.isDouble() && json::readInteger(version, QString()).has_value();
    if (!json.isObject() || !versionOK || !list.isArray()) return {rebuild(ids, now), true};

    const QJsonArray array = list.toArray();
    QList<HistoryEntry> entries;
    entries.reserve(array.size());
    QSet<QUuid> seen;
    seen.reserve(array.size());
    bool filledIn = false;
    for (const QJsonValue& value : array) {
        if (!value.isObject()) return {rebuild(ids, now), true};
        auto decoded = HistoryEntry::fromJson(value.toObject(), now);
        if (!decoded) return {rebuild(ids, now), true};
        const QUuid id = decoded->entry.id;
        if (!ids.contains(id) || seen.contains(id)) continue;
        seen.insert(id);
        // A value filled in here (a creation date of "now") must be written back, or it
        // would change at every launch.
        filledIn = filledIn || decoded->filledIn;
        entries.append(std::move(decoded->entry));
    }

    bool foundMissing = false;
    for (const QUuid& id : ids) {
        if (seen.contains(id)) continue;
        foundMissing = true;
        if (auto entry = readEntry(id, now)) entries.append(std::move(*entry));
    }

    const bool repaired = entries.size() != array.size() || foundMissing || filledIn;
    return {sorted(std::move(entries)), repaired};
}

QByteArray HistoryStore::encodeIndex(const QList<HistoryEntry>& entries)
{
    QJsonArray array;
    for (const HistoryEntry& entry : entries)
        array.append(entry.toJson());
    QJsonObject root;
    root.insert(QLatin1String("version"), 1);
    root.insert(QLatin1String("entries"), array);
    // QJsonObject keeps its keys sorted, so the output is in key order.
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::expected<void, HistoryStore::Error>
HistoryStore::save(const QList<HistoryEntry>& entries) const
{
    if (auto prepared = prepareFolder(); !prepared) return prepared;
    const QString path = m_directory + QLatin1Char('/') + QLatin1String(indexName);
    if (!platform::writeFileAtomically(path, encodeIndex(entries), platform::FileAccess::userOnly))
        return std::unexpected(Error::writeFailed);
    return {};
}

QList<HistoryEntry> HistoryStore::withPackages(QList<HistoryEntry> entries) const
{
    const QSet<QUuid> ids = packageIDs();
    entries.removeIf([&](const HistoryEntry& entry) { return !ids.contains(entry.id); });
    return entries;
}

void HistoryStore::remove(const QList<QUuid>& ids) const
{
    if (folderState() != FolderState::usable) return;
    for (const QUuid& id : ids) {
        std::error_code ignored;
        std::filesystem::remove_all(
            std::filesystem::path(QFile::encodeName(packagePath(id)).toStdString()), ignored);
    }
}

std::expected<void, HistoryStore::Error> HistoryStore::writeEntry(const HistoryEntry& entry) const
{
    switch (folderState()) {
    case FolderState::unsafe:
        return std::unexpected(Error::unsafeFolder);
    case FolderState::missing:
        return {}; // so is the package
    case FolderState::usable:
        break;
    }
    const QString package = packagePath(entry.id);
    struct stat info {};
    if (::lstat(QFile::encodeName(package).constData(), &info) != 0) return {};
    const QByteArray json = QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact);
    if (!platform::writeFileAtomically(package + QLatin1Char('/') + QLatin1String(recordName), json,
                                       platform::FileAccess::userOnly))
        return std::unexpected(Error::writeFailed);
    return {};
}

bool HistoryStore::precedes(const HistoryEntry& a, const HistoryEntry& b)
{
    if (a.created != b.created) return a.created > b.created;
    return compareHistoryIDs(a.id, b.id) < 0;
}

QList<HistoryEntry> HistoryStore::sorted(QList<HistoryEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), &HistoryStore::precedes);
    return entries;
}

} // namespace snapkin
