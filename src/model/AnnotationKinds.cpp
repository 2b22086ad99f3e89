#include "model/AnnotationKinds.h"

#include "platform/L10n.h"

namespace snapkin {

using platform::L10n;

QString label(ArrowHeadStyle style)
{
    switch (style) {
    case ArrowHeadStyle::tapered:
        return L10n::text("arrowhead.tapered", "Tapered");
    case ArrowHeadStyle::filled:
        return L10n::text("arrowhead.filled", "Filled");
    case ArrowHeadStyle::open:
        return L10n::text("arrowhead.open", "Open");
    case ArrowHeadStyle::concave:
        return L10n::text("arrowhead.concave", "Concave");
    }
    return {};
}

QString label(StampKind kind)
{
    switch (kind) {
    case StampKind::check:
        return L10n::text("Check");
    case StampKind::cross:
        return L10n::text("Cross");
    case StampKind::exclamation:
        return L10n::text("stamp.exclamation", "Exclamation mark");
    case StampKind::question:
        return L10n::text("stamp.question", "Question mark");
    case StampKind::star:
        return L10n::text("Star");
    case StampKind::dot:
        return L10n::text("Dot");
    case StampKind::number:
        return L10n::text("Number");
    }
    return {};
}

QString label(ObscureStyle style)
{
    switch (style) {
    case ObscureStyle::pixelate:
        return L10n::text("Pixelate");
    case ObscureStyle::blur:
        return L10n::text("Blur");
    case ObscureStyle::solid:
        return L10n::text("Solid");
    case ObscureStyle::stripes:
        return L10n::text("Stripes");
    }
    return {};
}

QString label(CropAspect aspect)
{
    if (aspect == CropAspect::free) return L10n::text("Free");
    // In declaration order.
    static constexpr std::array<const char*, 6> ratios{"", "1:1", "4:3", "3:4", "16:9", "9:16"};
    return QString::fromLatin1(ratios[std::size_t(aspect)]);
}

std::optional<double> cropAspectRatio(CropAspect aspect)
{
    if (aspect == CropAspect::free) return std::nullopt;
    // In declaration order.
    static constexpr std::array<double, 6> ratios{0, 1.0, 4.0 / 3.0, 0.75, 16.0 / 9.0, 0.5625};
    return ratios[std::size_t(aspect)];
}

} // namespace snapkin
