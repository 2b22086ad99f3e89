#include "model/JsonCoding.h"

#include "platform/L10n.h"

#include <QJsonArray>

#include <cmath>

namespace snapkin {

using platform::L10n;

QString JsonError::userMessage() const
{
    switch (kind) {
    case JsonErrorKind::malformed:
        return L10n::text("The file is not valid JSON.");
    case JsonErrorKind::notAnObject:
        return L10n::format("The value \"%@\" is not an object.", key);
    case JsonErrorKind::missingValue:
        return L10n::format("The value \"%@\" is missing.", key);
    case JsonErrorKind::wrongType:
        return L10n::format("The value \"%@\" has the wrong type.", key);
    case JsonErrorKind::unknownCase:
        return L10n::format("The value \"%@\" names no known option.", key);
    case JsonErrorKind::invalidValue:
        return L10n::format("The value \"%@\" is invalid.", key);
    case JsonErrorKind::nonFiniteNumber:
        return L10n::format("The value \"%@\" is not a finite number.", key);
    case JsonErrorKind::tooLarge:
        return L10n::text("The document is too large to open.");
    }
    return {};
}

namespace json {

qint64 parsedCost(const QByteArray& json, qint64 stopAfter, ParsedCosts costs)
{
    qint64 cost = 0;
    bool inString = false;
    const qsizetype size = json.size();
    const char* const text = json.constData();
    for (qsizetype i = 0; i < size && cost <= stopAfter; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[') {
            cost += costs.perArray;
        } else if (c == '{') {
            cost += costs.perObject;
        } else if (c == ',' || c == ':') {
            cost += costs.perValue;
        }
    }
    return cost;
}

namespace {

std::unexpected<JsonError> failure(JsonErrorKind kind, const QString& key)
{
    return std::unexpected(JsonError{kind, key});
}

} // namespace

// JSON numbers only: QJsonValue keeps Bools apart from numbers.
std::expected<double, JsonError> readDouble(const QJsonValue& value, const QString& key)
{
    if (value.isNull() || value.isUndefined()) return failure(JsonErrorKind::missingValue, key);
    if (!value.isDouble()) return failure(JsonErrorKind::wrongType, key);
    return value.toDouble();
}

std::expected<qint64, JsonError> readInteger(const QJsonValue& value, const QString& key)
{
    auto n = readDouble(value, key);
    if (!n) return std::unexpected(n.error());
    // toInteger() gives the stored integer, or an integral double in range, else the fallback:
    // two different fallbacks tell the cases apart.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b) return failure(JsonErrorKind::invalidValue, key);
    return a;
}

std::expected<bool, JsonError> readBool(const QJsonValue& value, const QString& key)
{
    if (value.isNull() || value.isUndefined()) return failure(JsonErrorKind::missingValue, key);
    if (!value.isBool()) return failure(JsonErrorKind::wrongType, key);
    return value.toBool();
}

std::expected<QString, JsonError> readString(const QJsonValue& value, const QString& key)
{
    if (value.isNull() || value.isUndefined()) return failure(JsonErrorKind::missingValue, key);
    if (!value.isString()) return failure(JsonErrorKind::wrongType, key);
    return value.toString();
}

std::expected<QPointF, JsonError> readPoint(const QJsonValue& value, const QString& key)
{
    if (value.isNull() || value.isUndefined()) return failure(JsonErrorKind::missingValue, key);
    if (!value.isArray()) return failure(JsonErrorKind::wrongType, key);
    const QJsonArray array = value.toArray();
    if (array.size() < 2) return failure(JsonErrorKind::wrongType, key);
    auto x = readDouble(array.at(0), key);
    if (!x) return failure(JsonErrorKind::wrongType, key);
    auto y = readDouble(array.at(1), key);
    if (!y) return failure(JsonErrorKind::wrongType, key);
    return QPointF(*x, *y);
}

std::expected<QSizeF, JsonError> readSize(const QJsonValue& value, const QString& key)
{
    auto p = readPoint(value, key);
    if (!p) return std::unexpected(p.error());
    return QSizeF(p->x(), p->y());
}

std::expected<QList<QPointF>, JsonError> readPoints(const QJsonValue& value, const QString& key)
{
    if (value.isNull() || value.isUndefined()) return failure(JsonErrorKind::missingValue, key);
    if (!value.isArray()) return failure(JsonErrorKind::wrongType, key);
    const QJsonArray array = value.toArray();
    QList<QPointF> points;
    points.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto p = readPoint(element, key);
        if (!p) return failure(JsonErrorKind::wrongType, key);
        points.append(*p);
    }
    return points;
}

std::expected<QUuid, JsonError> readUuid(const QJsonValue& value, const QString& key)
{
    auto text = readString(value, key);
    if (!text) return std::unexpected(text.error());
    // Only the plain hyphenated form: 8-4-4-4-12 hexadecimal digits, no braces.
    const auto isHex = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    if (text->size() != 36) return failure(JsonErrorKind::invalidValue, key);
    for (qsizetype i = 0; i < 36; ++i) {
        const QChar c = text->at(i);
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? c != u'-' : !isHex(c)) return failure(JsonErrorKind::invalidValue, key);
    }
    return QUuid::fromString(*text);
}

std::expected<QByteArray, JsonError> readBase64(const QJsonValue& value, const QString& key)
{
    auto text = readString(value, key);
    if (!text) return std::unexpected(text.error());
    auto result =
        QByteArray::fromBase64Encoding(text->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    // Characters outside Latin-1 become '?' in toLatin1(), which the decoder refuses.
    if (result.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return failure(JsonErrorKind::invalidValue, key);
    return std::move(result.decoded);
}

std::expected<QStringList, JsonError> readStringArray(const QJsonValue& value, const QString& key)
{
    if (value.isNull() || value.isUndefined()) return failure(JsonErrorKind::missingValue, key);
    if (!value.isArray()) return failure(JsonErrorKind::wrongType, key);
    QStringList list;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isString()) return failure(JsonErrorKind::wrongType, key);
        list.append(element.toString());
    }
    return list;
}

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QJsonValue JsonWriter::number(double value, const QString& key)
{
    if (!std::isfinite(value)) {
        fail(JsonError{JsonErrorKind::nonFiniteNumber, key});
        return QJsonValue(0.0);
    }
    return QJsonValue(value);
}

QJsonArray JsonWriter::point(QPointF point, const QString& key)
{
    return QJsonArray{number(point.x(), key), number(point.y(), key)};
}

QJsonArray JsonWriter::size(QSizeF size, const QString& key)
{
    return QJsonArray{number(size.width(), key), number(size.height(), key)};
}

QJsonArray JsonWriter::points(const QList<QPointF>& points, const QString& key)
{
    QJsonArray array;
    for (const QPointF& p : points)
        array.append(point(p, key));
    return array;
}

void JsonWriter::fail(const JsonError& error)
{
    if (!m_error) m_error = error;
}

} // namespace json
} // namespace snapkin
