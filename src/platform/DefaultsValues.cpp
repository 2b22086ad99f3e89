// The settings store's reading side: stored values as their types, and their JSON coding.
#include "platform/Defaults.h"
#include "platform/SettingValues.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutexLocker>
#include <QtNumeric>

#include <algorithm>
#include <cmath>

namespace snapkin::platform {

namespace {

// The tag of the object that holds binary data as base64.
const QString dataTag = QStringLiteral("$data");

// An integer of any width.
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

// A double or a float.
bool isFloating(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
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

bool isNumeric(const QVariant& v)
{
    return isIntegral(v) || isFloating(v);
}

qint64 integerOf(const QVariant& v)
{
    if (isIntegral(v)) return v.toLongLong();
    const double d = numberOf(v);
    if (!std::isfinite(d)) return 0;
    if (d >= 9.2e18) return std::numeric_limits<qint64>::max();
    if (d <= -9.2e18) return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(d);
}

qint64 boundedSum(qint64 a, qint64 b, qint64 minimum, qint64 maximum)
{
    qint64 sum = 0;
    if (qAddOverflow(a, b, &sum))
        sum = b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return std::clamp(sum, minimum, maximum);
}

QStringList stringsOf(const QVariant& v)
{
    if (v.typeId() != QMetaType::QVariantList && v.typeId() != QMetaType::QStringList) return {};
    QStringList result;
    for (const QVariant& item : v.toList()) {
        if (item.typeId() != QMetaType::QString) return {};
        result.append(item.toString());
    }
    return result;
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
    return integerOf(object(key));
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
    return stringsOf(object(key));
}

bool Defaults::isNumber(const QString& key) const
{
    return isNumeric(object(key));
}

} // namespace snapkin::platform
