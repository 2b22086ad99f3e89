#pragma once

#include "platform/SettingsKeys.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <type_traits>

namespace snapkin::platform {

class SerialQueue;

// The settings store. A registration domain (defaults registered at launch, kept in memory,
// never written) lies under a persistent domain kept as JSON in
// $XDG_CONFIG_HOME/snapkin/<name>.json and written atomically on every change.
//
// Other processes may write the file meanwhile (a second instance on another display, a hand
// edit): a write carries only the keys this store set or removed since it read the file, merged
// over the file as it is on disk at that moment, so what others wrote stays. Two stores that
// write the same file take turns through a lock file beside it ("<name>.json.lock"), kept
// there for good. The caller never waits for that lock: while another process holds it (an
// instance stopped in the middle of a write, a hung network home), the write waits on a thread
// of its own and carries every change made meanwhile; flush() ends that wait before quitting.
// The values in memory stay as this store read or set them: keys others change are picked up at
// the next start (or reload()), never under code that already read them. Lists that accumulate
// (Setting::mergedNewest: the recent documents) are the exception: each write merges them item
// by item with the file's, newest first, and this store then holds the merged list, so two
// instances keep each other's documents and a list one of them cleared stays cleared. So is a
// value that only stood in for a missing one (setIfMissing): it never replaces the file's own,
// and gives way to it. And so is a count (add()): a write adds what this store counted since the
// last one to the file's count, so two instances counting at once, or a file that could not be
// read at start, lose no count.
//
// Only a regular file (or a link to one) is read, without ever waiting on it. One that can't be
// read, or a pipe, folder or device in its place, is never replaced: the store starts from its
// defaults and every write fails, told through saveFailed(), until the file can be read again.
// A link stays a link: writes replace the file it names, and make it where it doesn't exist yet
// but its folder does. A link into a folder that doesn't exist, or links that loop, are left as
// they are, as a pipe is.
//
// Reads follow the usual rules of a preferences store: a missing number reads 0, a missing Bool
// false, a missing string empty; numbers and Bools stay apart across a restart. Binary data is
// kept as base64 inside a tagged object. A corrupt file, or one over SettingsTable's 1 MB, is
// set aside with a ".corrupt" suffix and the store starts from its defaults. Each value read
// from the file is checked against its key's declaration in SettingsTable (type, finiteness,
// length, a range far beyond real use); one that does not fit is dropped, so the key reads its
// default.
class Defaults : public QObject {
    Q_OBJECT
public:
    // The application's store, "settings.json" in the config folder.
    static Defaults& standard();
    // A store kept in the given file; used for named domains and by tests.
    explicit Defaults(QString filePath, QObject* parent = nullptr);
    // Ends a write waiting for the lock as flush() does.
    ~Defaults() override;

    QString filePath() const { return m_path; }

    void registerDefaults(const QVariantMap& defaults);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant object(const QString& key) const;
    bool contains(const QString& key) const { return object(key).isValid(); }
    bool hasStoredValue(const QString& key) const;

    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;
    QStringList stringArrayForKey(const QString& key) const;
    // True when the value (stored or registered) is a number, not a Bool or a string.
    bool isNumber(const QString& key) const;

    // Stores a value (Bool, integer, double, string, data, list or map of these) and writes
    // the file. Returns false when the file could not be written; the value is kept in memory.
    // While another process holds the lock, the write is left to a thread that waits for it and
    // this returns true at once; should that write fail, saveFailed() tells it later, on the
    // thread this store belongs to.
    bool setValue(const QString& key, const QVariant& value);
    bool removeObject(const QString& key);
    // Stores a value that only stands in for one the file lacks, as the time of a first launch
    // does; nothing happens where this store holds a value already. The file's own value wins:
    // should the file hold one when this is written (it could not be read at start, another
    // instance wrote one meanwhile), that value stays on disk and this store takes it.
    bool setIfMissing(const QString& key, const QVariant& value);
    // Adds `delta` to a count, held within [minimum, maximum]. A write adds this store's increase
    // since its last write to the count the file holds then (its default where the file holds
    // none), and this store takes the sum; a count set or removed and not yet written is
    // written as set, with what is added after.
    bool add(const QString& key, qint64 delta, qint64 minimum, qint64 maximum);

    // A declared key (SettingsKeys.h) read and written by its type, with the rules of the
    // getters above: what is stored, else what is registered, else 0, false or empty.
    bool get(const Setting<bool>& setting) const { return boolForKey(setting.name()); }
    qint64 get(const Setting<qint64>& setting) const { return integerForKey(setting.name()); }
    double get(const Setting<double>& setting) const { return doubleForKey(setting.name()); }
    QString get(const Setting<QString>& setting) const { return stringForKey(setting.name()); }
    QByteArray get(const Setting<QByteArray>& setting) const { return dataForKey(setting.name()); }
    QStringList get(const Setting<QStringList>& setting) const
    {
        return stringArrayForKey(setting.name());
    }
    // A Bool key that reads its declared default while missing or holding no Bool (a switch a
    // hand-edited file set to 1 or "yes" keeps its default rather than turning on).
    bool getOrDefault(const Setting<bool>& setting) const
    {
        const QVariant value = object(setting.name());
        return value.typeId() == QMetaType::Bool ? value.toBool()
                                                 : setting.fallback.value_or(false);
    }
    template <typename V> bool set(const Setting<V>& setting, const std::type_identity_t<V>& value)
    {
        return setValue(setting.name(), QVariant::fromValue(value));
    }
    // The value as stored or registered, for readers that tell its type apart themselves
    // (a Bool from a missing key, a path kept as text from one kept as bytes).
    template <typename V> QVariant object(const Setting<V>& setting) const
    {
        return object(setting.name());
    }
    template <typename V> bool contains(const Setting<V>& setting) const
    {
        return contains(setting.name());
    }
    template <typename V> bool hasStoredValue(const Setting<V>& setting) const
    {
        return hasStoredValue(setting.name());
    }
    template <typename V> bool isNumber(const Setting<V>& setting) const
    {
        return isNumber(setting.name());
    }
    // Stores a value taken from a control's data as it stands.
    template <typename V> bool setValue(const Setting<V>& setting, const QVariant& value)
    {
        return setValue(setting.name(), value);
    }
    template <typename V>
    bool setIfMissing(const Setting<V>& setting, const std::type_identity_t<V>& value)
    {
        return setIfMissing(setting.name(), QVariant::fromValue(value));
    }
    // Adds to a whole-number key within its declared range; see add() above.
    bool add(const Setting<qint64>& setting, qint64 delta)
    {
        return add(setting.name(), delta, qint64(setting.minimum), qint64(setting.maximum));
    }
    template <typename V> bool removeObject(const Setting<V>& setting)
    {
        return removeObject(setting.name());
    }
    // Registers the key's declared default.
    template <typename V> void registerDefault(const Setting<V>& setting)
    {
        registerDefaults({{setting.name(), setting.declaredDefault()}});
    }

    // Why the latest write of the file failed, as saveFailed() said it; empty once a write
    // succeeds. Lets a failure from before anyone listened be told later.
    QString saveFailure() const;

    // The whole persistent domain, for inspection.
    QVariantMap storedValues() const;

    // Forgets every stored value (registered defaults stay) and writes the file with none, also
    // dropping what other processes wrote; used by tests to start clean.
    void removeAllStored();

    // Re-reads the file (for tests of what survives a restart); changes not yet written are
    // forgotten.
    void reload();

    // Returns once a write left waiting for another process's lock is on disk. Waits for the
    // lock `bound` at most, then writes without it: the file stays whole, and only a holder
    // that later goes on with a write of its own could miss these changes. Called before the
    // application ends; at once when no write waits.
    void flush(std::chrono::milliseconds bound = std::chrono::seconds(2));

    // An accumulating list (Setting::mergedNewest) merged with the file's as it is now: what
    // other instances added or removed since this store last read or wrote the file shows,
    // and this store's own changes stay. Skipped while this store is writing (the write merges).
    void mergeFromFile(const Setting<QStringList>& setting);

    // Converts between stored JSON and QVariant values, keeping Bools, numbers and data apart.
    static QJsonValue toJson(const QVariant& value);
    static QVariant fromJson(const QJsonValue& value);

signals:
    void valueChanged(const QString& key);
    // The file could not be written (the old one stays); `message` names its folder and the
    // reason ("the disk is full.").
    void saveFailed(const QString& message);

private:
    bool save();
    // The write of save(): the failure's message; empty when written, or when left to the
    // thread that waits for the lock.
    QString writeChanges();
    // On the writer thread: waits for the lock, then writes until no change is left.
    void writeWhenLockIsFree();
    // The merge and write, with m_saveMutex and (where it could be had) the file's lock held.
    QString writeLocked();
    // With m_mutex held: takes each accumulating list as it is on disk (`onDisk`), with what
    // this store changed since it held `before`; update `number` unless a later one came first.
    void adoptLists(const QHash<QString, QStringList>& before,
                    const QHash<QString, QStringList>& onDisk, quint64 number);
    // With m_mutex held: after a write, each stand-in value it handled is one no longer; where
    // the file held a value of its own (valid in `onDisk`), this store takes it.
    void adoptStandIns(const QVariantMap& onDisk);

    // A count's increase that no write has carried yet, and its bounds.
    struct Increase {
        qint64 delta = 0;
        qint64 minimum = 0;
        qint64 maximum = 0;
    };

    QString m_path;
    mutable QMutex m_mutex;
    // Held for a whole write, so this store's writes follow one another.
    QMutex m_saveMutex;
    QVariantMap m_registered;
    QVariantMap m_stored;
    // Keys set or removed since the file was read or last written.
    QSet<QString> m_changed;
    // Keys whose value only stands in for a missing one (setIfMissing) until a write finds
    // whether the file holds one.
    QSet<QString> m_standIns;
    // Counts whose latest change is an add(), each with what the next write adds to the file's
    // count (0 once written, until the next add()).
    QHash<QString, Increase> m_increases;
    // The next write replaces the file with m_stored instead of merging (removeAllStored).
    bool m_replaceFile = false;
    QString m_saveFailure;
    // Each accumulating list as this store last read or wrote it: what tells an item this store
    // removed from one another process added.
    QHash<QString, QStringList> m_listBase;
    // Writes and reads numbered in the order they met the file, and the latest whose lists this
    // store took: a write on the writer thread hands its lists over later.
    quint64 m_listUpdates = 0;
    quint64 m_listsAdopted = 0;
    // A write waits for another process's lock on m_writer and carries every change.
    bool m_writePending = false;
    // When that write stops waiting and goes on without the lock (flush()).
    QDeadlineTimer m_stopWaiting{QDeadlineTimer::Forever};
    // Made at the first write that has to wait; set under both mutexes, never reset before the
    // destructor.
    std::unique_ptr<SerialQueue> m_writer;
};

} // namespace snapkin::platform
