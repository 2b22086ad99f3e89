#pragma once

#include "model/AnnotationKinds.h"
#include "model/EnumCoding.h"
#include "model/JsonCoding.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <expected>
#include <string_view>

namespace snapkin {

enum class FrameBackgroundKind { gradient, solid, transparent };

template <> struct EnumTable<FrameBackgroundKind> {
    static constexpr std::array cases{FrameBackgroundKind::gradient, FrameBackgroundKind::solid,
                                      FrameBackgroundKind::transparent};
    static constexpr std::array<std::string_view, 3> names{"gradient", "solid", "transparent"};
};

// The decorative frame around an image: a background, padding, rounded corners, a shadow and
// an optional aspect of the whole canvas. Decoding is lenient (a bad field takes its default)
// and clamps the numbers to their ranges.
struct FrameStyle {
    // A gradient preset offered by the frame bar.
    struct Gradient {
        QString id;
        QStringList colors;

        // Localised title of the preset ("Pink"); an unknown id is titled like "mist".
        QString name() const;
        bool operator==(const Gradient&) const = default;
    };

    // The six presets, in the order the frame bar shows them.
    static const QList<Gradient>& gradients();

    static constexpr double maxPadding = 0.3;
    static constexpr double maxCornerRadius = 40;

    FrameBackgroundKind background = FrameBackgroundKind::gradient;
    QStringList gradientColors{QStringLiteral("#FF4D6D"), QStringLiteral("#D6174F")};
    QString solidHex = QStringLiteral("#FFFFFF");
    // Frame width on every side as a fraction of sqrt(image width × height), 0 … 0.3.
    double padding = 0.08;
    // Corner radius of the framed canvas in points, 0 … 40.
    double cornerRadius = 10;
    // Shadow strength, 0 … 1.
    double shadow = 0.5;
    CropAspect aspect = CropAspect::free;

    // Fails only when a number is not finite.
    std::expected<QJsonObject, JsonError> toJson() const;
    // Fails only when `value` is not an object.
    static std::expected<FrameStyle, JsonError> fromJson(const QJsonValue& value);

    // Numbers compare exactly.
    bool operator==(const FrameStyle&) const = default;
};

} // namespace snapkin
