#pragma once

#include "model/EnumCoding.h"

#include <QString>

#include <array>
#include <optional>
#include <string_view>

namespace snapkin {

// What an annotation is. Stored by name; has no display label.
enum class AnnotationKind {
    arrow,
    text,
    rectangle,
    ellipse,
    line,
    highlight,
    pixelate,
    stamp,
    pen,
    spotlight,
    sticker,
    imageOverlay,
    magnifier,
};

enum class ArrowHeadStyle { tapered, filled, open, concave };

enum class StampKind { check, cross, exclamation, question, star, dot, number };

// How a pixelate annotation hides what lies under it.
enum class ObscureStyle { pixelate, blur, solid, stripes };

// The ratio the crop rectangle or a frame's canvas keeps.
enum class CropAspect { free, square, r4x3, r3x4, r16x9, r9x16 };

template <> struct EnumTable<AnnotationKind> {
    static constexpr std::array cases{
        AnnotationKind::arrow,     AnnotationKind::text,    AnnotationKind::rectangle,
        AnnotationKind::ellipse,   AnnotationKind::line,    AnnotationKind::highlight,
        AnnotationKind::pixelate,  AnnotationKind::stamp,   AnnotationKind::pen,
        AnnotationKind::spotlight, AnnotationKind::sticker, AnnotationKind::imageOverlay,
        AnnotationKind::magnifier,
    };
    static constexpr std::array<std::string_view, 13> names{
        "arrow", "text", "rectangle", "ellipse", "line",         "highlight", "pixelate",
        "stamp", "pen",  "spotlight", "sticker", "imageOverlay", "magnifier",
    };
};

template <> struct EnumTable<ArrowHeadStyle> {
    static constexpr std::array cases{ArrowHeadStyle::tapered, ArrowHeadStyle::filled,
                                      ArrowHeadStyle::open, ArrowHeadStyle::concave};
    static constexpr std::array<std::string_view, 4> names{"tapered", "filled", "open", "concave"};
};

template <> struct EnumTable<StampKind> {
    static constexpr std::array cases{StampKind::check,    StampKind::cross, StampKind::exclamation,
                                      StampKind::question, StampKind::star,  StampKind::dot,
                                      StampKind::number};
    static constexpr std::array<std::string_view, 7> names{
        "check", "cross", "exclamation", "question", "star", "dot", "number"};
};

template <> struct EnumTable<ObscureStyle> {
    static constexpr std::array cases{ObscureStyle::pixelate, ObscureStyle::blur,
                                      ObscureStyle::solid, ObscureStyle::stripes};
    static constexpr std::array<std::string_view, 4> names{"pixelate", "blur", "solid", "stripes"};
};

template <> struct EnumTable<CropAspect> {
    static constexpr std::array cases{CropAspect::free, CropAspect::square, CropAspect::r4x3,
                                      CropAspect::r3x4, CropAspect::r16x9,  CropAspect::r9x16};
    static constexpr std::array<std::string_view, 6> names{"free", "square", "r4x3",
                                                           "r3x4", "r16x9",  "r9x16"};
};

// Localised display names.
QString label(ArrowHeadStyle style);
QString label(StampKind kind);
QString label(ObscureStyle style);
// "Free" is localised; the ratios are shown as they stand ("16:9").
QString label(CropAspect aspect);

// Width over height of a fixed aspect; nothing for free.
std::optional<double> cropAspectRatio(CropAspect aspect);

} // namespace snapkin
