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
    switch (aspect) {
    case CropAspect::free:
        return L10n::text("Free");
    case CropAspect::square:
        return QStringLiteral("1:1");
    case CropAspect::r4x3:
        return QStringLiteral("4:3");
    case CropAspect::r3x4:
        return QStringLiteral("3:4");
    case CropAspect::r16x9:
        return QStringLiteral("16:9");
    case CropAspect::r9x16:
        return QStringLiteral("9:16");
    }
    return {};
}

std::optional<double> cropAspectRatio(CropAspect aspect)
{
    switch (aspect) {
    case CropAspect::free:
        return std::nullopt;
    case CropAspect::square:
        return 1.0;
    case CropAspect::r4x3:
        return 4.0 / 3.0;
    case CropAspect::r3x4:
        return 0.75;
    case CropAspect::r16x9:
        return 16.0 / 9.0;
    case CropAspect::r9x16:
        return 0.5625;
    }
    return std::nullopt;
}

} // namespace snapkin
