#include "platform/Defaults.h"

#include "platform/AppPaths.h"
#include "platform/AtomicWrite.h"
#include "platform/FileLock.h"
#include "platform/L10n.h"
#include "platform/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>

#include <cmath>
#include <utility>

namespace snapkin::platform {

namespace {

const QString dataTag = QStringLiteral("$data");

bool isIntegral(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

bool isNumeric(const QVariant& v)
{
    return isIntegral(v) || isFloating(v);
}

// A Bool as 1 or 0, a number as it is, a string that holds a number as that number; else 0.
double numberOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1 : 0;
    if (isNumeric(v)) return v.toDouble();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0;
    }
    return 0;
}

// The settings file as read from disk.
struct SettingsFile {
    enum State {
        missing,    // there is none
        present,    // a JSON object, in `object`
        damaged,    // not a JSON object, or over the size limit
        unreadable, // there, but it could not be opened
    };
    State state = missing;
    QJsonObject object;
};

SettingsFile readSettingsFile(const QString& path)
{
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) return {SettingsFile::unreadable, {}};
    // No settings of ours come near the limit; a file beyond it is not read at all.
    const bool tooLarge = file.size() > SettingsTable::maximumFileBytes;
    const QByteArray bytes =
        tooLarge ? QByteArray() : file.read(SettingsTable::maximumFileBytes + 1);
    file.close();
    if (tooLarge || bytes.size() > SettingsTable::maximumFileBytes)
        return {SettingsFile::damaged, {}};
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (!doc.isObject()) return {SettingsFile::damaged, {}};
    return {SettingsFile::present, doc.object()};
}

// Keeps a damaged file for the user to inspect, under a ".corrupt" suffix.
void setAside(const QString& path)
{
    const QString aside = path + ".corrupt";
    QFile::remove(aside);
    if (!QFile::rename(path, aside)) QFile::remove(path);
    qWarning("Settings file %s was damaged; it was set aside as %s", qPrintable(path),
             qPrintable(aside));
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

QJsonValue Defaults::toJson(const QVariant& value)
{
    if (isIntegral(value)) return QJsonValue(value.toLongLong());
    if (isFloating(value)) {
        const double d = value.toDouble();
        return std::isfinite(d) ? QJsonValue(d) : QJsonValue();
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QByteArray:
        return QJsonObject{{dataTag, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& item : value.toList())
            array.append(toJson(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    default:
        return QJsonValue::fromVariant(value);
    }
}

QVariant Defaults::fromJson(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (std::trunc(d) == d && std::fabs(d) < 9.0e15) return static_cast<qint64>(d);
        return d;
    }
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        QVariantList list;
        for (const QJsonValue& item : value.toArray())
            list.append(fromJson(item));
        return list;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        if (object.size() == 1 && object.contains(dataTag) && object.value(dataTag).isString()) {
            return QByteArray::fromBase64(object.value(dataTag).toString().toLatin1());
        }
        QVariantMap map;
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    default:
        return {};
    }
}

void Defaults::reload()
{
    QMutexLocker lock(&m_mutex);
    m_stored.clear();
    m_changed.clear();
    m_replaceFile = false;
    const SettingsFile file = readSettingsFile(m_path);
    if (file.state == SettingsFile::unreadable) {
        qWarning("Settings file %s can't be read; using defaults", qPrintable(m_path));
        return;
    }
    if (file.state == SettingsFile::damaged) {
        setAside(m_path);
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
    const QMutexLocker saving(&m_saveMutex);
    QSet<QString> changed;
    QVariantMap stored;
    bool replaceFile = false;
    {
        QMutexLocker lock(&m_mutex);
        changed = std::exchange(m_changed, {});
        replaceFile = std::exchange(m_replaceFile, false);
        stored = m_stored;
    }
    // It lists recent documents and folders: the user's alone.
    makePrivateFolder(QFileInfo(m_path).absolutePath());
    // Another process writing the same file meanwhile would write a merge that misses these
    // keys, or this one a merge that misses its. One that holds the lock too long (stopped in
    // a debugger) is not waited for: at worst its newest keys are missed, the file stays whole.
    const FileLock lock(m_path + QStringLiteral(".lock"));
    if (!lock.isHeld())
        qWarning("Settings lock for %s couldn't be taken; writing without it", qPrintable(m_path));

    // The file as it is now, with this store's changes over it.
    QJsonObject object;
    const SettingsFile onDisk =
        replaceFile ? SettingsFile{SettingsFile::missing, {}} : readSettingsFile(m_path);
    if (onDisk.state == SettingsFile::present) {
        object = onDisk.object;
        for (const QString& key : changed) {
            if (const auto value = stored.constFind(key); value != stored.constEnd())
                object.insert(key, toJson(*value));
            else
                object.remove(key);
        }
    } else {
        // Nothing to merge with: what this store holds is the whole file. A damaged file is
        // kept aside first, as at load.
        if (onDisk.state == SettingsFile::damaged) setAside(m_path);
        for (auto it = stored.begin(); it != stored.end(); ++it)
            object.insert(it.key(), toJson(it.value()));
    }
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    const auto written = writeFileAtomically(m_path, bytes, FileAccess::userOnly);
    if (!written) {
        // Names the folder and what stood in the way, as an automatic save's alert does.
        const QString folder = QFileInfo(m_path).absolutePath();
        const QString message =
            L10n::format("Snapkin couldn't write to “%@”: %@", QDir::toNativeSeparators(folder),
                         writeFailureReason(folder, written.error(), bytes.size()));
        // Written with the next change, or whenever a later write succeeds.
        QMutexLocker relock(&m_mutex);
        m_changed.unite(changed);
        m_replaceFile = m_replaceFile || replaceFile;
        m_saveFailure = message;
        return message;
    }
    QMutexLocker relock(&m_mutex);
    m_saveFailure.clear();
    return {};
}

void Defaults::registerDefaults(const QVariantMap& defaults)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant Defaults::object(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    auto stored = m_stored.constFind(key);
    if (stored != m_stored.constEnd()) return *stored;
    return m_registered.value(key);
}

bool Defaults::hasStoredValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_stored.contains(key);
}

bool Defaults::boolForKey(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (isNumeric(v)) return v.toDouble() != 0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == "true" || s == "yes" || s.toDouble() != 0;
    }
    return false;
}

qint64 Defaults::integerForKey(const QString& key) const
{
    const QVariant v = object(key);
    if (isIntegral(v)) return v.toLongLong();
    const double d = numberOf(v);
    if (!std::isfinite(d)) return 0;
    if (d >= 9.2e18) return std::numeric_limits<qint64>::max();
    if (d <= -9.2e18) return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(d);
}

double Defaults::doubleForKey(const QString& key) const
{
    return numberOf(object(key));
}

QString Defaults::stringForKey(const QString& key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QString || isNumeric(v) ? v.toString() : QString();
}

QByteArray Defaults::dataForKey(const QString& key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

QStringList Defaults::stringArrayForKey(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() != QMetaType::QVariantList && v.typeId() != QMetaType::QStringList) return {};
    QStringList result;
    for (const QVariant& item : v.toList()) {
        if (item.typeId() != QMetaType::QString) return {};
        result.append(item.toString());
    }
    return result;
}

bool Defaults::isNumber(const QString& key) const
{
    return isNumeric(object(key));
}

bool Defaults::setValue(const QString& key, const QVariant& value)
{
    if (!value.isValid()) return removeObject(key);
    {
        QMutexLocker lock(&m_mutex);
        m_stored.insert(key, value);
        m_changed.insert(key);
    }
    const bool saved = save();
    emit valueChanged(key);
    return saved;
}

bool Defaults::removeObject(const QString& key)
{
    {
        QMutexLocker lock(&m_mutex);
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
        m_replaceFile = true;
    }
    save();
}

} // namespace snapkin::platform
