#include "ui/canvas/handlers/CreationHandler.h"

#include "canvas/handlers/TextEditing.h"
#include "model/AnnotationDocument.h"
#include "model/AnnotationStore.h"
#include "platform/ImageReader.h"
#include "platform/PngEncoder.h"
#include "platform/SrgbConversion.h"
#include "ui/canvas/handlers/ImagePicker.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

double distance(QPointF a, QPointF b)
{
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

} // namespace

CreationHandler::CreationHandler(AnnotationStore& store, CanvasState& state,
                                 TextEditing& textEditing)
    : m_store(store), m_state(state), m_textEditing(textEditing)
{
}

void CreationHandler::place(Annotation annotation)
{
    const QUuid id = annotation.id;
    m_store.appendAnnotation(annotation);
    m_store.setSelectedID(id);
}

void CreationHandler::createChanged(const DragValue& drag, Tool tool)
{
    const auto kind = annotationKind(tool);
    if (!kind || tool == Tool::text) return;

    if (!m_state.draftID) {
        m_store.beginChange();
        Annotation a{.kind = *kind,
                     .p1 = drag.startLocation,
                     .p2 = drag.location,
                     .colorHex = m_store.colorHex(),
                     .lineWidth = m_store.lineWidth()};
        if (a.kind == AnnotationKind::highlight) a.colorHex = QString::fromLatin1(highlightColor);
        if (a.kind == AnnotationKind::pen) a.points = {drag.startLocation};
        m_state.draftID = a.id;
        place(a);
        // The tool's other settings, carried onto the new draft as onto any selection.
        m_store.applyStyleToSelection(false);
        return;
    }

    const auto index = m_store.indexOf(*m_state.draftID);
    if (!index) return; // removed meanwhile, for example by an undo
    Annotation draft = m_store.annotations()[*index];
    switch (draft.kind) {
    case AnnotationKind::pen:
        draft.points.append(drag.location);
        break;
    case AnnotationKind::magnifier:
        if (draft.magnifierRound) {
            // The loupe stays square and grows in the direction of the drag on each axis.
            const QPointF d = drag.translation();
            const double m = std::max(std::abs(d.x()), std::abs(d.y()));
            const QPointF s = drag.startLocation;
            draft.p2 = QPointF(drag.location.x() < s.x() ? s.x() - m : s.x() + m,
                               drag.location.y() < s.y() ? s.y() - m : s.y() + m);
            break;
        }
        draft.p2 = drag.location;
        break;
    default:
        draft.p2 = drag.location;
        break;
    }
    m_store.replaceAnnotation(*index, draft);
}

void CreationHandler::createEnded()
{
    const std::optional<QUuid> id = std::exchange(m_state.draftID, std::nullopt);
    if (!id) return;
    const auto index = m_store.indexOf(*id);
    if (!index) return;
    Annotation draft = m_store.annotations()[*index];

    bool tooSmall = false;
    switch (draft.kind) {
    case AnnotationKind::arrow:
    case AnnotationKind::line:
        tooSmall = distance(draft.p1, draft.p2) < smallestKeptDrag;
        break;
    case AnnotationKind::pen:
        tooSmall = draft.points.size() < 2;
        break;
    default: {
        const QRectF box = draft.box();
        tooSmall = box.width() < smallestKeptDrag || box.height() < smallestKeptDrag;
        break;
    }
    }
    if (!tooSmall) return;

    if (draft.kind == AnnotationKind::magnifier) {
        // A click (or a sliver) places a default loupe centred where the drag began.
        const QPointF half(defaultLoupe / 2, defaultLoupe / 2);
        const QPointF start = draft.p1;
        draft.p1 = start - half;
        draft.p2 = start + half;
        m_store.replaceAnnotation(*index, draft);
        return;
    }
    m_store.cancelLastChange(*id);
}

void CreationHandler::textTap(const DragValue& drag)
{
    if (distance(drag.startLocation, drag.location) > tapTolerance) return;
    if (auto hit = m_store.annotationAt(drag.startLocation);
        hit && hit->kind == AnnotationKind::text) {
        m_textEditing.beginTextEditing(hit->id, false, EditField::text);
        return;
    }
    m_store.beginChange();
    Annotation a{.kind = AnnotationKind::text,
                 .p1 = drag.startLocation,
                 .p2 = drag.startLocation,
                 .colorHex = m_store.colorHex(),
                 .fontSize = m_store.textSize(),
                 .bold = m_store.textBold(),
                 .italic = m_store.textItalic(),
                 .fontName = m_store.textFont()};
    place(a);
    m_textEditing.beginNewText(a.id);
}

void CreationHandler::stampTap(const DragValue& drag)
{
    if (distance(drag.startLocation, drag.location) > tapTolerance) return;
    m_store.beginChange();
    const QPointF half(stampSide / 2, stampSide / 2);
    Annotation a{.kind = AnnotationKind::stamp,
                 .p1 = drag.startLocation - half,
                 .p2 = drag.startLocation + half,
                 .colorHex = m_store.colorHex(),
                 .stamp = m_store.stampKind(),
                 .disc = true};
    if (a.stamp == StampKind::number) {
        // The counter is 64 bits wide, as a document stores it, and saturates at its limit.
        const qint64 number = m_store.nextStampNumber();
        a.text = QString::number(number);
        m_store.setNextStampNumber(AnnotationDocument::stampNumberAfter(number));
    }
    place(a);
}

void CreationHandler::stickerTap(const DragValue& drag)
{
    if (distance(drag.startLocation, drag.location) > tapTolerance) return;
    m_store.beginChange();
    const QPointF half(stickerSide / 2, stickerSide / 2);
    place(Annotation{.kind = AnnotationKind::sticker,
                     .p1 = drag.startLocation - half,
                     .p2 = drag.startLocation + half,
                     .colorHex = QString::fromLatin1(stickerColor),
                     .text = m_store.stickerEmoji(),
                     .fontSize = stickerFontSize});
}

QSizeF CreationHandler::placedImageSize(QSizeF pointSize)
{
    const double w = pointSize.width();
    const double h = pointSize.height();
    const double s =
        std::min({1.0, placedImageSide / std::max(w, 1.0), placedImageSide / std::max(h, 1.0)});
    return {w * s, h * s};
}

QImage CreationHandler::placedImagePixels(QImage image)
{
    // The PNG is written untagged, which every reader takes for sRGB: pixels in another
    // profile would show in the wrong colours, unlike the same file opened as an image.
    if (!platform::convertToSrgb(image)) return {};
    return image;
}

void CreationHandler::imageTap(const DragValue& drag, ImagePicker* picker, QWidget* dialogParent)
{
    if (!picker) return;
    const std::optional<QString> path = picker->chooseImageFile(dialogParent);
    if (!path) return;
    // A file refused for the memory it would take is told in words; one that isn't an image
    // places nothing, as a cancelled choice.
    const QString name = QFileInfo(*path).fileName();
    const auto refuse = [&](platform::ImageReadError error) {
        picker->tellRefusal(dialogParent, platform::userMessage(error, name));
    };
    const auto read = platform::readImage(*path);
    if (!read) {
        if (platform::refusedForMemory(read.error())) refuse(read.error());
        return;
    }
    if (read->isNull()) return;
    // The conversion and the encoding fail only for want of memory.
    const QImage image = placedImagePixels(*read);
    const auto png = image.isNull() ? std::nullopt : platform::PngEncoder::encode(image);
    if (!png || png->isEmpty()) {
        refuse(platform::ImageReadError::outOfMemory);
        return;
    }

    // Recorded only now: a cancelled or failed attempt leaves no undo step.
    m_store.beginChange();
    const QSizeF box = placedImageSize(image.deviceIndependentSize());
    const QPointF half(box.width() / 2, box.height() / 2);
    place(Annotation{.kind = AnnotationKind::imageOverlay,
                     .p1 = drag.startLocation - half,
                     .p2 = drag.startLocation + half,
                     .colorHex = QString::fromLatin1(stickerColor),
                     .imageData = *png});
}

} // namespace snapkin
