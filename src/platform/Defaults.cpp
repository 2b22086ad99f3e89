#include "platform/Defaults.h"

#include "platform/AppPaths.h"
#include "platform/AtomicWrite.h"
#include "platform/FileLock.h"
#include "platform/L10n.h"
#include "platform/SerialQueue.h"
#include "platform/SettingValues.h"
#include "platform/SettingsFile.h"
#include "platform/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QThread>

#include <mutex>
#include <optional>
#include <utility>

namespace snapkin::platform {

namespace {

// The accumulating lists: their keys and how many items each keeps.
QList<std::pair<QString, qsizetype>> accumulatingLists()
{
    QList<std::pair<QString, qsizetype>> lists;
    for (const SettingSpec& spec : SettingsTable::all()) {
        if (spec.mergedNewest > 0) lists.append({QString::fromLatin1(spec.key), spec.mergedNewest});
    }
    return lists;
}

// The file's value for `key` as a load takes it; invalid where the file holds none, or one its
// declaration does not allow.
QVariant valueInFile(const QJsonObject& object, const QString& key)
{
    const QJsonValue stored = object.value(key);
    const QVariant value = Defaults::fromJson(stored);
    const SettingSpec* spec = SettingsTable::find(key);
    if (!value.isValid() || (spec && !SettingsTable::accepts(*spec, stored, value))) return {};
    return value;
}

// Why a file that is there but not read is left alone, as a clause to follow a colon.
QString whyLeftAlone(const QString& path, SettingsFile::State state)
{
    const QString name = QFileInfo(path).fileName();
    switch (state) {
    case SettingsFile::unreadable:
        return L10n::format("“%@” can't be read, so it was left as it is.", name);
    case SettingsFile::brokenLink:
        return L10n::format("“%@” is a link to a file that can't be written, so it was left as it "
                            "is.",
                            name);
    default:
        return L10n::format("“%@” isn't a regular file, so it was left as it is.", name);
    }
}

const QString lockSuffix = QStringLiteral(".lock");

// A file that is there, or a link, that a write must not replace.
bool isLeftAlone(SettingsFile::State state)
{
    return state == SettingsFile::unreadable || state == SettingsFile::notRegular ||
           state == SettingsFile::brokenLink;
}

} // namespace

Defaults& Defaults::standard()
{
    static Defaults* instance = new Defaults(AppPaths::configDir() + "/settings.json");
    return *instance;
}

Defaults::Defaults(QString filePath, QObject* parent) : QObject(parent), m_path(std::move(filePath))
{
    reload();
}

Defaults::~Defaults()
{
    flush();
    m_writer.reset();
}

void Defaults::reload()
{
    QMutexLocker lock(&m_mutex);
    m_stored.clear();
    m_changed.clear();
    m_standIns.clear();
    m_increases.clear();
    m_replaceFile = false;
    m_listBase.clear();
    const SettingsFile file = SettingsFile::read(m_path);
    if (isLeftAlone(file.state)) {
        qWarning("Settings file %s can't be read; using defaults", qPrintable(m_path));
        return;
    }
    if (file.state == SettingsFile::damaged) {
        // The file a link names goes aside, so the link stays.
        setAsideDamagedSettings(file.target);
        return;
    }
    for (auto it = file.object.begin(); it != file.object.end(); ++it) {
        const QVariant value = fromJson(it.value());
        if (!value.isValid()) continue;
        // A value of the wrong type or out of its range is dropped: the key reads its default.
        if (const SettingSpec* spec = SettingsTable::find(it.key());
            spec && !SettingsTable::accepts(*spec, it.value(), value)) {
            qWarning("Settings file %s: the value of \"%s\" is not allowed; using its default",
                     qPrintable(m_path), qPrintable(it.key()));
            continue;
        }
        m_stored.insert(it.key(), value);
    }
    for (const auto& [key, limit] : accumulatingLists())
        m_listBase.insert(key, stringsOf(m_stored.value(key)));
    m_listsAdopted = ++m_listUpdates;
}

bool Defaults::save()
{
    // Told with both locks released: a listener may change a setting, which writes again.
    const QString failure = writeChanges();
    if (failure.isEmpty()) return true;
    qWarning("Settings could not be written to %s: %s", qPrintable(m_path), qPrintable(failure));
    emit saveFailed(failure);
    return false;
}

QString Defaults::writeChanges()
{
    const auto writePending = [this] {
        QMutexLocker lock(&m_mutex);
        return m_writePending;
    };
    // The write waiting for the lock carries this change (asked before waiting for that write's
    // own turn, should it be under way).
    if (writePending()) return {};
    const QMutexLocker saving(&m_saveMutex);
    if (writePending()) return {};
    // It lists recent documents and folders: the user's alone.
    makePrivateFolder(QFileInfo(m_path).absolutePath());
    // Another process writing the same file meanwhile would write a merge that misses these
    // keys, or this one a merge that misses its. The lock is tried once: while another holds
    // it, the write waits on the writer thread instead of here.
    const FileLock lock(m_path + lockSuffix, 0);
    if (lock.isBusy()) {
        QMutexLocker pending(&m_mutex);
        m_writePending = true;
        if (!m_writer) m_writer = std::make_unique<SerialQueue>(QStringLiteral("settings write"));
        m_writer->async([this] { writeWhenLockIsFree(); });
        return {};
    }
    if (!lock.isHeld())
        qWarning("Settings lock for %s couldn't be taken; writing without it", qPrintable(m_path));
    return writeLocked();
}

void Defaults::writeWhenLockIsFree()
{
    // Polled in steps, so that flush() can end the wait.
    std::optional<FileLock> lock;
    for (;;) {
        lock.emplace(m_path + lockSuffix, 100);
        if (!lock->isBusy()) break;
        QMutexLocker state(&m_mutex);
        if (m_stopWaiting.hasExpired()) break;
    }
    if (!lock->isHeld())
        qWarning("Settings lock for %s couldn't be taken; writing without it", qPrintable(m_path));
    QString failure;
    {
        const QMutexLocker saving(&m_saveMutex);
        // Changes made while this one was written go with the next, under the same lock.
        for (bool more = true; more;) {
            failure = writeLocked();
            QMutexLocker state(&m_mutex);
            more = failure.isEmpty() && (!m_changed.isEmpty() || m_replaceFile);
            if (!more) m_writePending = false;
        }
    }
    lock.reset();
    if (failure.isEmpty()) return;
    qWarning("Settings could not be written to %s: %s", qPrintable(m_path), qPrintable(failure));
    // Told on this store's thread, with every lock released, as save() tells its own.
    QMetaObject::invokeMethod(
        this, [this, failure] { emit saveFailed(failure); }, Qt::QueuedConnection);
}

QString Defaults::writeLocked()
{
    QSet<QString> changed;
    // The stand-in values this write carries, each with the file's own value where it holds one.
    QVariantMap standInsMet;
    QHash<QString, Increase> increases;
    // What each count reads while the file holds none.
    QHash<QString, qint64> countDefaults;
    QVariantMap stored;
    QHash<QString, QStringList> listBase;
    bool replaceFile = false;
    {
        QMutexLocker lock(&m_mutex);
        changed = std::exchange(m_changed, {});
        for (const QString& key : std::as_const(m_standIns)) {
            if (changed.contains(key)) standInsMet.insert(key, QVariant());
        }
        // This write carries each count's increase; what is added meanwhile goes with the next.
        increases = m_increases;
        increases.detach();
        for (auto it = m_increases.begin(); it != m_increases.end(); ++it) {
            it->delta = 0;
            countDefaults.insert(it.key(), integerOf(m_registered.value(it.key())));
        }
        replaceFile = std::exchange(m_replaceFile, false);
        // Copied whole under the lock: a copy that shared the members' data would copy it later,
        // outside the lock, while a setter on another thread changes it.
        stored = m_stored;
        stored.detach();
        listBase = m_listBase;
        listBase.detach();
    }
    const auto keepForLater = [&](const QString& message) {
        // Written with the next change, or whenever a later write succeeds.
        QMutexLocker relock(&m_mutex);
        m_changed.unite(changed);
        // A count set or removed since keeps that value; the others keep their increase.
        for (auto it = increases.cbegin(); it != increases.cend(); ++it) {
            if (const auto mine = m_increases.find(it.key()); mine != m_increases.end())
                mine->delta = boundedSum(mine->delta, it->delta);
        }
        m_replaceFile = m_replaceFile || replaceFile;
        m_saveFailure = message;
        return message;
    };
    // The file as it is now, with this store's changes over it.
    QJsonObject object;
    const SettingsFile onDisk = SettingsFile::read(m_path);
    // Where a link leads, so that the write replaces that file and the link stays.
    const QString folder = QFileInfo(onDisk.target).absolutePath();
    if (isLeftAlone(onDisk.state)) {
        // What the user keeps there is not replaced by what little this store holds.
        return keepForLater(L10n::format("Snapkin couldn't write to “%@”: %@",
                                         QDir::toNativeSeparators(folder),
                                         whyLeftAlone(m_path, onDisk.state)));
    }
    const bool merging = !replaceFile && onDisk.state == SettingsFile::present;
    // Each accumulating list as this write leaves it in the file.
    QHash<QString, QStringList> listsWritten;
    // The counts this write added to the file's, as written.
    QHash<QString, qint64> countsWritten;
    if (merging) {
        object = onDisk.object;
        for (const QString& key : changed) {
            if (standInsMet.contains(key)) {
                if (const QVariant theirs = valueInFile(onDisk.object, key); theirs.isValid()) {
                    standInsMet.insert(key, theirs);
                    continue;
                }
            }
            if (const auto increase = increases.constFind(key); increase != increases.constEnd()) {
                // The file's count (its default where it holds none, or one not allowed), with
                // what this store counted since its last write.
                const QVariant theirs = valueInFile(onDisk.object, key);
                const qint64 count =
                    boundedSum(isNumeric(theirs) ? integerOf(theirs) : countDefaults.value(key),
                               increase->delta, increase->minimum, increase->maximum);
                object.insert(key, count);
                countsWritten.insert(key, count);
                continue;
            }
            if (const auto value = stored.constFind(key); value != stored.constEnd())
                object.insert(key, toJson(*value));
            else
                object.remove(key);
        }
        for (const auto& [key, limit] : accumulatingLists()) {
            const QStringList theirs = stringsOf(valueInFile(onDisk.object, key));
            if (!changed.contains(key)) {
                listsWritten.insert(key, theirs);
                continue;
            }
            const QStringList merged =
                mergeNewestFirst(stringsOf(stored.value(key)), listBase.value(key), theirs, limit);
            if (merged.isEmpty())
                object.remove(key);
            else
                object.insert(key, QJsonArray::fromStringList(merged));
            listsWritten.insert(key, merged);
        }
    } else {
        // Nothing to merge with: what this store holds is the whole file. A damaged file is
        // kept aside first, as at load.
        if (!replaceFile && onDisk.state == SettingsFile::damaged)
            setAsideDamagedSettings(onDisk.target);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            object.insert(it.key(), toJson(it.value()));
        for (const auto& [key, limit] : accumulatingLists())
            listsWritten.insert(key, stringsOf(stored.value(key)));
    }
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    const auto written = writeFileAtomically(onDisk.target, bytes, FileAccess::userOnly);
    if (!written) {
        // Names the folder and what stood in the way, as an automatic save's alert does.
        return keepForLater(
            L10n::format("Snapkin couldn't write to “%@”: %@", QDir::toNativeSeparators(folder),
                         writeFailureReason(folder, written.error(), bytes.size())));
    }
    QHash<QString, QStringList> listsBefore;
    for (const auto& [key, limit] : accumulatingLists())
        listsBefore.insert(key, stringsOf(stored.value(key)));
    QMutexLocker relock(&m_mutex);
    m_saveFailure.clear();
    // Each count as written, with what was added since. Taken at once, on any thread: add()
    // reads and changes a count in one step under m_mutex, so none adds to one from before.
    for (auto it = countsWritten.cbegin(); it != countsWritten.cend(); ++it) {
        // Set or removed since: a value of this store's own, written with its change.
        const auto increase = m_increases.constFind(it.key());
        if (increase == m_increases.constEnd()) continue;
        m_stored.insert(it.key(), boundedSum(it.value(), increase->delta, increase->minimum,
                                             increase->maximum));
    }
    const quint64 number = ++m_listUpdates;
    if (QThread::currentThread() == thread()) {
        adoptLists(listsBefore, listsWritten, number);
        adoptStandIns(standInsMet);
    } else {
        // The lists change only on this store's thread, so that a reader there that adds an item
        // to what it just read never writes back a list from before the merge (which would drop
        // what another instance added).
        QMetaObject::invokeMethod(
            this,
            [this, listsBefore, listsWritten, number, standInsMet] {
                QMutexLocker lock(&m_mutex);
                adoptLists(listsBefore, listsWritten, number);
                adoptStandIns(standInsMet);
            },
            Qt::QueuedConnection);
    }
    return {};
}

void Defaults::adoptLists(const QHash<QString, QStringList>& before,
                          const QHash<QString, QStringList>& onDisk, quint64 number)
{
    // A later write or read has adopted lists that already hold these.
    if (number <= m_listsAdopted) return;
    m_listsAdopted = number;
    for (const auto& [key, limit] : accumulatingLists()) {
        if (!onDisk.contains(key)) continue;
        const QStringList disk = onDisk.value(key);
        const QStringList then = before.value(key);
        const QStringList now = stringsOf(m_stored.value(key));
        // What this store changed since `then` stays.
        const QStringList held = now == then ? disk : mergeNewestFirst(now, then, disk, limit);
        if (held.isEmpty())
            m_stored.remove(key);
        else
            m_stored.insert(key, held);
        m_listBase.insert(key, disk);
    }
}

void Defaults::adoptStandIns(const QVariantMap& onDisk)
{
    for (auto it = onDisk.cbegin(); it != onDisk.cend(); ++it) {
        // Set or removed since: a value of this store's own, written with its change.
        if (!m_standIns.remove(it.key())) continue;
        if (it.value().isValid()) m_stored.insert(it.key(), it.value());
    }
}

void Defaults::flush(std::chrono::milliseconds bound)
{
    SerialQueue* writer = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_writePending) return;
        m_stopWaiting.setRemainingTime(bound);
        writer = m_writer.get();
    }
    writer->drain();
    QMutexLocker lock(&m_mutex);
    m_stopWaiting = QDeadlineTimer(QDeadlineTimer::Forever);
}

void Defaults::mergeFromFile(const Setting<QStringList>& setting)
{
    if (setting.mergedNewest <= 0) return;
    // A write under way merges the list itself.
    const std::unique_lock saving(m_saveMutex, std::try_to_lock);
    if (!saving.owns_lock()) return;
    const SettingsFile file = SettingsFile::read(m_path);
    if (file.state != SettingsFile::present) return;
    const QString key = setting.name();
    QMutexLocker lock(&m_mutex);
    adoptLists({{key, m_listBase.value(key)}}, {{key, stringsOf(valueInFile(file.object, key))}},
               ++m_listUpdates);
}

void Defaults::registerDefaults(const QVariantMap& defaults)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

bool Defaults::setValue(const QString& key, const QVariant& value)
{
    if (!value.isValid()) return removeObject(key);
    {
        QMutexLocker lock(&m_mutex);
        m_stored.insert(key, value);
        m_changed.insert(key);
        m_standIns.remove(key);
        m_increases.remove(key);
    }
    const bool saved = save();
    emit valueChanged(key);
    return saved;
}

bool Defaults::setIfMissing(const QString& key, const QVariant& value)
{
    if (!value.isValid()) return true;
    {
        QMutexLocker lock(&m_mutex);
        if (m_stored.contains(key)) return true;
        m_stored.insert(key, value);
        m_changed.insert(key);
        m_standIns.insert(key);
    }
    const bool saved = save();
    emit valueChanged(key);
    return saved;
}

bool Defaults::add(const QString& key, qint64 delta, qint64 minimum, qint64 maximum)
{
    {
        QMutexLocker lock(&m_mutex);
        const auto stored = m_stored.constFind(key);
        const qint64 current =
            integerOf(stored != m_stored.constEnd() ? *stored : m_registered.value(key));
        m_stored.insert(key, boundedSum(current, delta, minimum, maximum));
        // A value set or removed and not yet written is written as this store now holds it.
        if (m_increases.contains(key) || !m_changed.contains(key)) {
            Increase& increase = m_increases[key];
            increase = {boundedSum(increase.delta, delta), minimum, maximum};
        }
        m_changed.insert(key);
        m_standIns.remove(key);
    }
    const bool saved = save();
    emit valueChanged(key);
    return saved;
}

bool Defaults::removeObject(const QString& key)
{
    {
        QMutexLocker lock(&m_mutex);
        m_standIns.remove(key);
        m_increases.remove(key);
        if (!m_stored.remove(key)) return true;
        m_changed.insert(key);
    }
    const bool saved = save();
    emit valueChanged(key);
    return saved;
}

QString Defaults::saveFailure() const
{
    QMutexLocker lock(&m_mutex);
    return m_saveFailure;
}

QVariantMap Defaults::storedValues() const
{
    QMutexLocker lock(&m_mutex);
    return m_stored;
}

void Defaults::removeAllStored()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stored.clear();
        m_changed.clear();
        m_standIns.clear();
        m_increases.clear();
        m_replaceFile = true;
    }
    save();
}

} // namespace snapkin::platform
