#include "model/AnnotationDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <limits>

namespace snapkin {

namespace {

bool sameSize(QSizeF a, QSizeF b)
{
    return a.width() == b.width() && a.height() == b.height();
}

} // namespace

std::expected<QJsonObject, JsonError> AnnotationDocument::toJson() const
{
    json::JsonWriter w;
    QJsonObject o;
    o.insert(u"version", QJsonValue(version));
    o.insert(u"canvasSize", w.size(canvasSize, "canvasSize"));
    QJsonArray list;
    for (const Annotation& a : annotations) {
        auto object = a.toJson();
        if (!object) return std::unexpected(object.error());
        list.append(*object);
    }
    o.insert(u"annotations", list);
    o.insert(u"nextStampNumber", QJsonValue(nextStampNumber));
    if (pixelSize) o.insert(u"pixelSize", w.size(*pixelSize, "pixelSize"));
    if (generator) o.insert(u"generator", *generator);
    if (frame) {
        auto object = frame->toJson();
        if (!object) return std::unexpected(object.error());
        o.insert(u"frame", *object);
    }
    if (watermark) {
        auto object = watermark->toJson();
        if (!object) return std::unexpected(object.error());
        o.insert(u"watermark", *object);
    }
    if (w.error()) return std::unexpected(*w.error());
    return o;
}

std::expected<QByteArray, JsonError> AnnotationDocument::encoded() const
{
    auto object = toJson();
    if (!object) return std::unexpected(object.error());
    // QJsonObject keeps its keys sorted, so the output is the same for the same document.
    return QJsonDocument(*object).toJson(QJsonDocument::Indented);
}

std::expected<AnnotationDocument, JsonError> AnnotationDocument::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(JsonError{JsonErrorKind::notAnObject, QStringLiteral("document")});
    const QJsonObject o = value.toObject();
    AnnotationDocument d;

    auto canvas = json::readSize(o.value(u"canvasSize"), QStringLiteral("canvasSize"));
    if (!canvas) return std::unexpected(canvas.error());
    d.canvasSize = *canvas;

    std::optional<JsonError> error;
    json::readField(o, "version", json::readInteger, d.version, error);
    if (error) return std::unexpected(*error);

    if (!json::isMissing(o, QStringLiteral("annotations"))) {
        const QJsonValue list = o.value(u"annotations");
        if (!list.isArray())
            return std::unexpected(
                JsonError{JsonErrorKind::wrongType, QStringLiteral("annotations")});
        const QJsonArray array = list.toArray();
        d.annotations.reserve(array.size());
        for (const QJsonValue& element : array) {
            if (auto a = Annotation::fromJson(element))
                d.annotations.append(std::move(*a));
            else
                ++d.skippedAnnotations;
        }
    }

    json::readField(o, "nextStampNumber", json::readInteger, d.nextStampNumber, error);
    json::readField(o, "pixelSize", json::readSize, d.pixelSize, error);
    json::readField(o, "generator", json::readString, d.generator, error);
    if (error) return std::unexpected(*error);

    // A malformed frame or watermark is dropped; the document still opens.
    if (auto frame = FrameStyle::fromJson(o.value(u"frame"))) d.frame = *frame;
    if (auto watermark = Watermark::fromJson(o.value(u"watermark"))) d.watermark = *watermark;
    return d;
}

qint64 AnnotationDocument::DecodingBudget::allowanceFor(qint64 textBytes) const
{
    // Both factors are small and a text's length is below 2^40, so the product cannot overflow.
    const qint64 bytes = std::clamp<qint64>(textBytes, 0, qint64(1) << 40);
    return std::max(floorBytes, bytes * bytesPerTextByte);
}

bool AnnotationDocument::withinDecodingCost(const QByteArray& json)
{
    return withinDecodingCost(json, DecodingBudget{});
}

bool AnnotationDocument::withinDecodingCost(const QByteArray& json, DecodingBudget budget)
{
    const qint64 allowance = budget.allowanceFor(json.size());
    return json::parsedCost(json, allowance, decodingCosts) <= allowance;
}

std::expected<AnnotationDocument, JsonError> AnnotationDocument::decode(const QByteArray& json)
{
    return decode(json, DecodingBudget{});
}

std::expected<AnnotationDocument, JsonError> AnnotationDocument::decode(const QByteArray& json,
                                                                        DecodingBudget budget)
{
    if (!withinDecodingCost(json, budget))
        return std::unexpected(JsonError{JsonErrorKind::tooLarge, QStringLiteral("document")});
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(JsonError{JsonErrorKind::malformed, error.errorString()});
    if (!document.isObject())
        return std::unexpected(JsonError{JsonErrorKind::notAnObject, QStringLiteral("document")});
    return fromJson(document.object());
}

bool AnnotationDocument::operator==(const AnnotationDocument& o) const
{
    const bool samePixelSize = pixelSize.has_value() == o.pixelSize.has_value() &&
                               (!pixelSize || sameSize(*pixelSize, *o.pixelSize));
    return version == o.version && sameSize(canvasSize, o.canvasSize) &&
           annotations == o.annotations && nextStampNumber == o.nextStampNumber && samePixelSize &&
           generator == o.generator && frame == o.frame && watermark == o.watermark &&
           skippedAnnotations == o.skippedAnnotations;
}

QSizeF AnnotationDocument::imagePointSize(QSize imagePixels) const
{
    const QSizeF pixels(imagePixels);
    const auto usable = [](double points, double pixelCount) {
        return std::isfinite(points) && points > 0 && pixelCount > 0 &&
               points <= pixelCount * maxPointsPerPixelRatio &&
               points * maxPointsPerPixelRatio >= pixelCount;
    };
    if (usable(canvasSize.width(), pixels.width()) && usable(canvasSize.height(), pixels.height()))
        return canvasSize;
    return pixels;
}

qint64 AnnotationDocument::stampNumberAfter(qint64 n)
{
    return n == std::numeric_limits<qint64>::max() ? n : n + 1;
}

} // namespace snapkin
