#include "platform/Defaults.h"

#include "platform/AppPaths.h"
#include "platform/AtomicWrite.h"
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
    QFile file(m_path);
    if (!file.exists()) return;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Settings file %s can't be read; using defaults", qPrintable(m_path));
        return;
    }
    // No settings of ours come near the limit; a file beyond it is not read at all.
    const bool tooLarge = file.size() > SettingsTable::maximumFileBytes;
    const QByteArray bytes =
        tooLarge ? QByteArray() : file.read(SettingsTable::maximumFileBytes + 1);
    file.close();
    QJsonParseError error{};
    const QJsonDocument doc = tooLarge || bytes.size() > SettingsTable::maximumFileBytes
                                  ? QJsonDocument()
                                  : QJsonDocument::fromJson(bytes, &error);
    if (!doc.isObject()) {
        // Keep the damaged file for the user to inspect, and start from the defaults.
        const QString aside = m_path + ".corrupt";
        QFile::remove(aside);
        if (!QFile::rename(m_path, aside)) QFile::remove(m_path);
        qWarning("Settings file %s was damaged; it was set aside as %s", qPrintable(m_path),
                 qPrintable(aside));
        return;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
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
    QJsonObject object;
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = m_stored.begin(); it != m_stored.end(); ++it) {
            object.insert(it.key(), toJson(it.value()));
        }
    }
    // It lists recent documents and folders: the user's alone.
    makePrivateFolder(QFileInfo(m_path).absolutePath());
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    const auto written = writeFileAtomically(m_path, bytes, FileAccess::userOnly);
    if (!written) {
        // Names the folder and what stood in the way, as an automatic save's alert does.
        const QString folder = QFileInfo(m_path).absolutePath();
        const QString message =
            L10n::format("Snapkin couldn't write to “%@”: %@", QDir::toNativeSeparators(folder),
                         writeFailureReason(folder, written.error(), bytes.size()));
        qWarning("Settings could not be written to %s: %s", qPrintable(m_path),
                 qPrintable(message));
        {
            QMutexLocker lock(&m_mutex);
            m_saveFailure = message;
        }
        emit saveFailed(message);
        return false;
    }
    QMutexLocker lock(&m_mutex);
    m_saveFailure.clear();
    return true;
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
    }
    save();
}

} // namespace snapkin::platform
