#include "history/HistoryEntry.h"

#include <QDate>
#include <QTime>

#include <cstdio>

namespace snapkin {

namespace {

JsonError error(JsonErrorKind kind, const char* key)
{
    return JsonError{kind, QString::fromLatin1(key)};
}

// Digits at [from, from + count) of `text` as a number; -1 when any is not a digit.
int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

std::expected<std::optional<QString>, JsonError> optionalString(const QJsonObject& object,
                                                                const char* key)
{
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) return std::nullopt;
    if (!v.isString()) return std::unexpected(error(JsonErrorKind::wrongType, key));
    return v.toString();
}

std::expected<std::optional<qint64>, JsonError> optionalInteger(const QJsonObject& object,
                                                                const char* key)
{
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) return std::nullopt;
    auto n = json::readInteger(v, QString::fromLatin1(key));
    if (!n) return std::unexpected(n.error());
    return *n;
}

std::expected<std::optional<QDateTime>, JsonError> optionalDate(const QJsonObject& object,
                                                                const char* key)
{
    auto text = optionalString(object, key);
    if (!text) return std::unexpected(text.error());
    if (!*text) return std::nullopt;
    auto date = historyDateFromText(**text);
    if (!date) return std::unexpected(error(JsonErrorKind::invalidValue, key));
    return *date;
}

} // namespace

QJsonObject HistoryEntry::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), historyIDText(id));
    object.insert(QLatin1String("title"), title);
    object.insert(QLatin1String("created"), historyDateText(created));
    object.insert(QLatin1String("modified"), historyDateText(modified));
    object.insert(QLatin1String("pixelWidth"), pixelWidth);
    object.insert(QLatin1String("pixelHeight"), pixelHeight);
    if (recognizedText) object.insert(QLatin1String("recognizedText"), *recognizedText);
    return object;
}

std::expected<HistoryEntry::Decoded, JsonError> HistoryEntry::fromJson(const QJsonObject& object,
                                                                       const QDateTime& now)
{
    Decoded result;
    HistoryEntry& entry = result.entry;

    const QJsonValue idValue = object.value(QLatin1String("id"));
    auto id = json::readUuid(idValue, QStringLiteral("id"));
    if (!id) return std::unexpected(id.error());
    entry.id = *id;

    auto title = optionalString(object, "title");
    if (!title) return std::unexpected(title.error());
    auto created = optionalDate(object, "created");
    if (!created) return std::unexpected(created.error());
    auto modified = optionalDate(object, "modified");
    if (!modified) return std::unexpected(modified.error());
    auto width = optionalInteger(object, "pixelWidth");
    if (!width) return std::unexpected(width.error());
    auto height = optionalInteger(object, "pixelHeight");
    if (!height) return std::unexpected(height.error());
    auto text = optionalString(object, "recognizedText");
    if (!text) return std::unexpected(text.error());

    result.filledIn = !*title || !*created || !*modified || !*width || !*height;
    entry.title = title->value_or(QString());
    entry.created = created->value_or(now);
    entry.modified = modified->value_or(entry.created);
    entry.pixelWidth = width->value_or(0);
    entry.pixelHeight = height->value_or(0);
    entry.recognizedText = *text;
    return result;
}

QString historyDateText(const QDateTime& date)
{
    const QDateTime utc = date.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", d.year(), d.month(),
                  d.day(), t.hour(), t.minute(), t.second());
    return QString::fromLatin1(buffer);
}

std::optional<QDateTime> historyDateFromText(QStringView text)
{
    if (text.size() != 20) return std::nullopt;
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || text[19] != u'Z')
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return std::nullopt;
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}

QString historyIDText(const QUuid& id)
{
    return json::uuidText(id);
}

std::strong_ordering compareHistoryIDs(const QUuid& a, const QUuid& b)
{
    // Hexadecimal digits sort like the values they stand for and the hyphens sit at the same
    // places in every id, so comparing the fields as numbers, in text order, is comparing the
    // texts.
    if (auto c = a.data1 <=> b.data1; c != 0) return c;
    if (auto c = a.data2 <=> b.data2; c != 0) return c;
    if (auto c = a.data3 <=> b.data3; c != 0) return c;
    for (int i = 0; i < 8; ++i) {
        if (auto c = a.data4[i] <=> b.data4[i]; c != 0) return c;
    }
    return std::strong_ordering::equal;
}

} // namespace snapkin
