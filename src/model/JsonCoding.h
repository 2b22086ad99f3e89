#pragma once

#include "model/EnumCoding.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <expected>
#include <optional>

namespace snapkin {

enum class JsonErrorKind {
    malformed,       // the bytes are not JSON
    notAnObject,     // an object was expected
    missingValue,    // a required key is missing or null
    wrongType,       // a value of the wrong type (a Bool is not a number, a text not a size)
    unknownCase,     // a text that names no case of an enumeration
    invalidValue,    // a UUID or Base64 text that does not parse, a number that is not an integer
    nonFiniteNumber, // the writer refuses NaN and infinity
    tooLarge,        // more values than a reader accepts: decoding would cost too much memory
};

// Why a value could not be read from or written to JSON; `key` names the field concerned.
struct JsonError {
    JsonErrorKind kind = JsonErrorKind::malformed;
    QString key;

    // One sentence for the explanation of an alert.
    QString userMessage() const;
    bool operator==(const JsonError&) const = default;
};

// Strict readers for the values of annotations and documents: null counts as missing
// (callers check that first), a Bool is never a number, integers must be integral.
namespace json {

// What each array, object and further value or member (a comma or colon outside texts) of JSON
// text takes once parsed, in bytes: a QJsonDocument spends about 190 on an array or object with
// its place in its parent (a pen point [x, y] is one) and 16 on every other value. Texts and
// numbers take about their own length and are not counted. A reader adds what it decodes from
// an object.
struct ParsedCosts {
    qint64 perArray = 192;
    qint64 perObject = 192;
    qint64 perValue = 16;
};
// The cost of JSON text under `costs`, counted without parsing it, however the text is laid
// out, and stopping once past `stopAfter`. A reader checks this before building a QJsonDocument
// from untrusted bytes, since "[0]," costs a parsed document fifty times its text.
qint64 parsedCost(const QByteArray& json, qint64 stopAfter, ParsedCosts costs = {});

std::expected<double, JsonError> readDouble(const QJsonValue& value, const QString& key);
std::expected<qint64, JsonError> readInteger(const QJsonValue& value, const QString& key);
std::expected<bool, JsonError> readBool(const QJsonValue& value, const QString& key);
std::expected<QString, JsonError> readString(const QJsonValue& value, const QString& key);
// [x, y]; further elements are ignored.
std::expected<QPointF, JsonError> readPoint(const QJsonValue& value, const QString& key);
// [width, height]; further elements are ignored.
std::expected<QSizeF, JsonError> readSize(const QJsonValue& value, const QString& key);
std::expected<QList<QPointF>, JsonError> readPoints(const QJsonValue& value, const QString& key);
// The standard hyphenated form, upper or lower case.
std::expected<QUuid, JsonError> readUuid(const QJsonValue& value, const QString& key);
// Strict Base64 (invalid characters fail).
std::expected<QByteArray, JsonError> readBase64(const QJsonValue& value, const QString& key);
std::expected<QStringList, JsonError> readStringArray(const QJsonValue& value, const QString& key);

template <NamedEnum E>
std::expected<E, JsonError> readEnum(const QJsonValue& value, const QString& key)
{
    if (!value.isString()) return std::unexpected(JsonError{JsonErrorKind::wrongType, key});
    if (auto e = fromRaw<E>(value.toString())) return *e;
    return std::unexpected(JsonError{JsonErrorKind::unknownCase, key});
}

// True when the key is absent or holds null.
inline bool isMissing(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    return v.isUndefined() || v.isNull();
}

// Reads `key` through `read` into `field` when it is present and not null (an optional field
// takes the value). The first value that does not read is kept in `error`; once there is one,
// nothing more is read.
template <typename T, typename Reader>
void readField(const QJsonObject& object, const QString& key, Reader read, T& field,
               std::optional<JsonError>& error)
{
    if (error || isMissing(object, key)) return;
    auto value = read(object.value(key), key);
    if (value)
        field = std::move(*value);
    else
        error = value.error();
}

// Upper-case hyphenated form without braces.
QString uuidText(const QUuid& id);

// Builds JSON values and remembers the first number that JSON cannot hold, so that a writer
// can refuse the whole value instead of writing null or garbage in its place.
class JsonWriter {
public:
    QJsonValue number(double value, const QString& key);
    QJsonArray point(QPointF point, const QString& key);
    QJsonArray size(QSizeF size, const QString& key);
    QJsonArray points(const QList<QPointF>& points, const QString& key);

    // Adds to the first error seen (used when a nested writer failed).
    void fail(const JsonError& error);
    const std::optional<JsonError>& error() const { return m_error; }

private:
    std::optional<JsonError> m_error;
};

} // namespace json
} // namespace snapkin
