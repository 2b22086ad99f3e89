#include "model/AnnotationStore.h"

#include "model/SavedStyle.h"
#include "model/ToolDefaults.h"
#include "platform/Defaults.h"
#include "platform/Observable.h"

#include <algorithm>

namespace snapkin {

using platform::publish;

AnnotationStore::AnnotationStore(platform::BaseImage image, QObject* parent)
    : AnnotationStore(std::move(image), platform::Defaults::standard(), parent)
{
}

AnnotationStore::AnnotationStore(platform::BaseImage image, const platform::Defaults& settings,
                                 QObject* parent)
    : QObject(parent), m_image(std::move(image))
{
    readSettings(settings);
}

AnnotationStore::~AnnotationStore() = default;

// The settings window writes these; a store reads them once, so a later change does not reach
// open windows.
void AnnotationStore::readSettings(const platform::Defaults& settings)
{
    const ToolDefaults tools = readToolDefaults(settings);
    if (tools.colorHex) setColorHex(*tools.colorHex);
    if (tools.arrowHead) setArrowHead(*tools.arrowHead);
    if (tools.lineWidth) setLineWidth(*tools.lineWidth);
    if (tools.textSize) setTextSize(*tools.textSize);
    if (tools.obscureStyle) setObscureStyle(*tools.obscureStyle);
    if (tools.obscureStrength) setObscureStrength(*tools.obscureStrength);
    if (tools.highlightOpacity) setHighlightOpacity(*tools.highlightOpacity);
    if (tools.spotDim) setSpotDim(*tools.spotDim);
    if (tools.spotEllipse) setSpotEllipse(*tools.spotEllipse);
    if (tools.stampKind) setStampKind(*tools.stampKind);
}

// ---- published fields --------------------------------------------------------------------

void AnnotationStore::setAnnotations(Annotations v)
{
    publish(this, m_annotations, std::move(v), &AnnotationStore::annotationsChanged);
}
void AnnotationStore::setSelectedID(std::optional<QUuid> v)
{
    publish(this, m_selectedID, std::move(v), &AnnotationStore::selectedIDChanged);
}
void AnnotationStore::setTool(Tool v)
{
    publish(this, m_tool, v, &AnnotationStore::toolChanged);
}
void AnnotationStore::setColorHex(QString v)
{
    publish(this, m_colorHex, std::move(v), &AnnotationStore::colorHexChanged);
}
void AnnotationStore::setLineWidth(double v)
{
    publish(this, m_lineWidth, v, &AnnotationStore::lineWidthChanged);
}
void AnnotationStore::setRectFilled(bool v)
{
    publish(this, m_rectFilled, v, &AnnotationStore::rectFilledChanged);
}
void AnnotationStore::setEllipseFilled(bool v)
{
    publish(this, m_ellipseFilled, v, &AnnotationStore::ellipseFilledChanged);
}
void AnnotationStore::setArrowDoubleHeaded(bool v)
{
    publish(this, m_arrowDoubleHeaded, v, &AnnotationStore::arrowDoubleHeadedChanged);
}
void AnnotationStore::setArrowHead(ArrowHeadStyle v)
{
    publish(this, m_arrowHead, v, &AnnotationStore::arrowHeadChanged);
}
void AnnotationStore::setTextSize(double v)
{
    publish(this, m_textSize, v, &AnnotationStore::textSizeChanged);
}
void AnnotationStore::setTextBold(bool v)
{
    publish(this, m_textBold, v, &AnnotationStore::textBoldChanged);
}
void AnnotationStore::setTextItalic(bool v)
{
    publish(this, m_textItalic, v, &AnnotationStore::textItalicChanged);
}
void AnnotationStore::setTextFont(QString v)
{
    publish(this, m_textFont, std::move(v), &AnnotationStore::textFontChanged);
}
void AnnotationStore::setStampKind(StampKind v)
{
    publish(this, m_stampKind, v, &AnnotationStore::stampKindChanged);
}
void AnnotationStore::setNextStampNumber(qint64 v)
{
    publish(this, m_nextStampNumber, v, &AnnotationStore::nextStampNumberChanged);
}
void AnnotationStore::setSpotEllipse(bool v)
{
    publish(this, m_spotEllipse, v, &AnnotationStore::spotEllipseChanged);
}
void AnnotationStore::setSpotDim(double v)
{
    publish(this, m_spotDim, v, &AnnotationStore::spotDimChanged);
}
void AnnotationStore::setStickerEmoji(QString v)
{
    publish(this, m_stickerEmoji, std::move(v), &AnnotationStore::stickerEmojiChanged);
}
void AnnotationStore::setObscureStyle(ObscureStyle v)
{
    publish(this, m_obscureStyle, v, &AnnotationStore::obscureStyleChanged);
}
void AnnotationStore::setObscureStrength(double v)
{
    publish(this, m_obscureStrength, v, &AnnotationStore::obscureStrengthChanged);
}
void AnnotationStore::setHighlightOpacity(double v)
{
    publish(this, m_highlightOpacity, v, &AnnotationStore::highlightOpacityChanged);
}
void AnnotationStore::setArrowCurved(bool v)
{
    publish(this, m_arrowCurved, v, &AnnotationStore::arrowCurvedChanged);
}
void AnnotationStore::setMagnifierZoom(double v)
{
    publish(this, m_magnifierZoom, v, &AnnotationStore::magnifierZoomChanged);
}
void AnnotationStore::setMagnifierRound(bool v)
{
    publish(this, m_magnifierRound, v, &AnnotationStore::magnifierRoundChanged);
}
void AnnotationStore::setImage(platform::BaseImage v)
{
    publish(this, m_image, std::move(v), &AnnotationStore::imageChanged);
}
void AnnotationStore::setIsCropping(bool v)
{
    publish(this, m_isCropping, v, &AnnotationStore::isCroppingChanged);
}
void AnnotationStore::setIsResizing(bool v)
{
    publish(this, m_isResizing, v, &AnnotationStore::isResizingChanged);
}
void AnnotationStore::setIsSharpening(bool v)
{
    publish(this, m_isSharpening, v, &AnnotationStore::isSharpeningChanged);
}
void AnnotationStore::setHasUnsavedChanges(bool v)
{
    publish(this, m_hasUnsavedChanges, v, &AnnotationStore::hasUnsavedChangesChanged);
}
void AnnotationStore::setDocumentURL(QUrl v)
{
    publish(this, m_documentURL, std::move(v), &AnnotationStore::documentURLChanged);
}
void AnnotationStore::setCropRect(QRectF v)
{
    publish(this, m_cropRect, v, &AnnotationStore::cropRectChanged);
}
void AnnotationStore::assignFrame(std::optional<FrameStyle> v)
{
    publish(this, m_frame, std::move(v), &AnnotationStore::frameChanged);
}
void AnnotationStore::assignWatermark(std::optional<Watermark> v)
{
    publish(this, m_watermark, std::move(v), &AnnotationStore::watermarkChanged);
}
void AnnotationStore::setCropAspectValue(CropAspect v)
{
    publish(this, m_cropAspect, v, &AnnotationStore::cropAspectChanged);
}
void AnnotationStore::setCropLock(bool v)
{
    publish(this, m_cropLock, v, &AnnotationStore::cropLockChanged);
}

void AnnotationStore::appendAnnotation(const Annotation& annotation)
{
    Annotations list = m_annotations;
    list.append(annotation);
    setAnnotations(std::move(list));
}

void AnnotationStore::replaceAnnotation(qsizetype index, const Annotation& annotation)
{
    if (index < 0 || index >= m_annotations.size()) return;
    Annotations list = m_annotations;
    list[index] = annotation;
    setAnnotations(std::move(list));
}

// ---- selection and tools -----------------------------------------------------------------

std::optional<qsizetype> AnnotationStore::indexOf(const QUuid& id) const
{
    const auto found = std::ranges::find(m_annotations, id, &Annotation::id);
    if (found == m_annotations.cend()) return std::nullopt;
    return found - m_annotations.cbegin();
}

std::optional<Annotation> AnnotationStore::selected() const
{
    if (!m_selectedID) return std::nullopt;
    if (auto index = indexOf(*m_selectedID)) return m_annotations[*index];
    return std::nullopt;
}

std::optional<Annotation> AnnotationStore::annotationAt(QPointF point) const
{
    for (qsizetype i = m_annotations.size() - 1; i >= 0; --i) {
        if (m_annotations[i].contains(point)) return m_annotations[i];
    }
    return std::nullopt;
}

void AnnotationStore::updateSelection(bool recordingUndo,
                                      const std::function<void(Annotation&)>& mutation)
{
    if (!m_selectedID) return;
    const auto index = indexOf(*m_selectedID);
    if (!index) return;
    Annotation changed = m_annotations[*index];
    mutation(changed);
    if (changed == m_annotations[*index]) return; // nothing to record or publish
    if (recordingUndo) beginChange();
    replaceAnnotation(*index, changed);
}

void AnnotationStore::applyStyleToSelection(bool recordingUndo)
{
    updateSelection(recordingUndo, [this](Annotation& a) {
        switch (a.kind) {
        case AnnotationKind::arrow:
            a.doubleHeaded = m_arrowDoubleHeaded;
            a.arrowHead = m_arrowHead;
            a.curved = m_arrowCurved;
            break;
        case AnnotationKind::text:
            a.fontSize = m_textSize;
            a.bold = m_textBold;
            a.italic = m_textItalic;
            a.fontName = m_textFont;
            break;
        case AnnotationKind::rectangle:
            a.filled = m_rectFilled;
            break;
        case AnnotationKind::ellipse:
            a.filled = m_ellipseFilled;
            break;
        case AnnotationKind::highlight:
            a.highlightOpacity = m_highlightOpacity;
            break;
        case AnnotationKind::pixelate:
            a.obscure = m_obscureStyle;
            a.obscureStrength = m_obscureStrength;
            break;
        case AnnotationKind::stamp:
            a.stamp = m_stampKind;
            break;
        case AnnotationKind::spotlight:
            a.spotEllipse = m_spotEllipse;
            a.spotDim = m_spotDim;
            break;
        case AnnotationKind::sticker:
            a.text = m_stickerEmoji;
            break;
        case AnnotationKind::magnifier:
            a.magnification = m_magnifierZoom;
            a.magnifierRound = m_magnifierRound;
            break;
        case AnnotationKind::line:
        case AnnotationKind::pen:
        case AnnotationKind::imageOverlay:
            break;
        }
    });
}

void AnnotationStore::squareMagnifier(Annotation& a)
{
    a.magnifierRound = true;
    const QRectF box = QRectF(a.p1, a.p2).normalized();
    const double half = std::min(box.width(), box.height()) * 0.5;
    const QPointF centre = box.center();
    a.p1 = QPointF(centre.x() - half, centre.y() - half);
    a.p2 = QPointF(centre.x() + half, centre.y() + half);
}

void AnnotationStore::activate(Tool tool)
{
    if (tool == Tool::crop) {
        setTool(Tool::crop);
        beginCrop();
        return;
    }
    if (m_isCropping) {
        setIsCropping(false);
        setTool(Tool::select);
    }
    setTool(tool);
    if (tool != Tool::select) setSelectedID(std::nullopt);
}

void AnnotationStore::apply(const SavedStyle& style, Tool tool)
{
    setColorHex(style.colorHex);
    switch (style.category) {
    case StyleCategory::arrow:
        setLineWidth(style.lineWidth);
        setArrowHead(style.arrowHead);
        setArrowDoubleHeaded(style.doubleHeaded);
        setArrowCurved(style.curved);
        break;
    case StyleCategory::text:
        setTextSize(style.textSize);
        setTextBold(style.bold);
        setTextItalic(style.italic);
        setTextFont(style.fontName);
        break;
    case StyleCategory::shape:
        setLineWidth(style.lineWidth);
        if (tool == Tool::ellipse)
            setEllipseFilled(style.filled);
        else
            setRectFilled(style.filled);
        break;
    }

    const auto current = selected();
    if (!current) return;
    // The category of the first tool, in palette order, that creates the selection's kind.
    std::optional<StyleCategory> category;
    for (Tool t : allCases<Tool>) {
        if (annotationKind(t) == current->kind) {
            category = styleCategory(t);
            break;
        }
    }
    if (category != style.category) return;
    updateSelection(true, [&style](Annotation& a) {
        a.colorHex = style.colorHex;
        switch (style.category) {
        case StyleCategory::arrow:
            a.lineWidth = style.lineWidth;
            a.arrowHead = style.arrowHead;
            a.doubleHeaded = style.doubleHeaded;
            a.curved = style.curved;
            break;
        case StyleCategory::text:
            a.fontSize = style.textSize;
            a.bold = style.bold;
            a.italic = style.italic;
            a.fontName = style.fontName;
            break;
        case StyleCategory::shape:
            a.lineWidth = style.lineWidth;
            a.filled = style.filled;
            break;
        }
    });
}

} // namespace snapkin
