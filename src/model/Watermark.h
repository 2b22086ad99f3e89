#pragma once

#include "model/EnumCoding.h"
#include "model/JsonCoding.h"
#include "model/WatermarkPosition.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <array>
#include <expected>
#include <optional>
#include <string_view>

namespace snapkin {

enum class WatermarkKind { text, image };

template <> struct EnumTable<WatermarkKind> {
    static constexpr std::array cases{WatermarkKind::text, WatermarkKind::image};
    static constexpr std::array<std::string_view, 2> names{"text", "image"};
};

// A text or image watermark. Decoding is lenient (a bad field takes its default) and clamps
// opacity and size to their ranges.
struct Watermark {
    static constexpr double minOpacity = 0.1;
    static constexpr double minSize = 0.05;
    static constexpr double maxSize = 0.6;

    WatermarkKind kind = WatermarkKind::text;
    QString text{};
    // The logo's encoded image bytes, for the image kind.
    std::optional<QByteArray> imageData{};
    QString colorHex = QStringLiteral("#FFFFFF");
    WatermarkPosition position = WatermarkPosition::bottomRight;
    // 0.1 … 1.
    double opacity = 0.6;
    // Size relative to the shorter canvas side, 0.05 … 0.6.
    double size = 0.2;

    // Whether it draws anything: an image needs bytes (not examined), a text needs text that
    // is not only white space.
    bool isVisible() const;

    // Fails only when a number is not finite; "imageData" is written only when present.
    std::expected<QJsonObject, JsonError> toJson() const;
    // Fails only when `value` is not an object.
    static std::expected<Watermark, JsonError> fromJson(const QJsonValue& value);

    bool operator==(const Watermark&) const = default;
};

} // namespace snapkin
