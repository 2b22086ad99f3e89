#pragma once

#include "model/Annotation.h"
#include "model/FrameLayout.h"
#include "model/FrameStyle.h"
#include "model/Tool.h"
#include "model/Watermark.h"
#include "platform/BaseImage.h"

#include <QObject>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace snapkin {

namespace platform {
class Defaults;
}

struct SavedStyle;

// The edit state of one editor window: the base image, its annotations, the selection, the
// active tool and the settings new annotations take, crop state, frame and watermark, and the
// undo history. Every edit of the window goes through one store.
//
// Every published field has a getter, a setter and a change signal. Assigning a field emits
// willChange(), then the field's signal with the new value, then stores it; this happens on every
// assignment, also of an equal value, so views may repaint from either signal and still read the
// old value. platform::subscribe() delivers the current value before the changes.
//
// Undo works on snapshots of the document content (annotations, image, stamp counter, frame,
// watermark). A snapshot shares the image's pixels and the annotations' bytes; nothing copies a
// frame. Callers open an undo step with beginChange() before they change anything.
class AnnotationStore : public QObject {
    Q_OBJECT
public:
    using Annotations = QList<Annotation>;

    // The store over `image` with the tool settings taken from the user's defaults.
    explicit AnnotationStore(platform::BaseImage image, QObject* parent = nullptr);
    AnnotationStore(platform::BaseImage image, const platform::Defaults& settings,
                    QObject* parent = nullptr);
    ~AnnotationStore() override;

    // ---- published fields ------------------------------------------------------------------
    const Annotations& annotations() const { return m_annotations; }
    void setAnnotations(Annotations annotations);
    const std::optional<QUuid>& selectedID() const { return m_selectedID; }
    void setSelectedID(std::optional<QUuid> id);
    const Tool& tool() const { return m_tool; }
    void setTool(Tool tool);

    const QString& colorHex() const { return m_colorHex; }
    void setColorHex(QString hex);
    const double& lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    const bool& rectFilled() const { return m_rectFilled; }
    void setRectFilled(bool filled);
    const bool& ellipseFilled() const { return m_ellipseFilled; }
    void setEllipseFilled(bool filled);
    const bool& arrowDoubleHeaded() const { return m_arrowDoubleHeaded; }
    void setArrowDoubleHeaded(bool doubleHeaded);
    const ArrowHeadStyle& arrowHead() const { return m_arrowHead; }
    void setArrowHead(ArrowHeadStyle head);
    const double& textSize() const { return m_textSize; }
    void setTextSize(double size);
    const bool& textBold() const { return m_textBold; }
    void setTextBold(bool bold);
    const bool& textItalic() const { return m_textItalic; }
    void setTextItalic(bool italic);
    const QString& textFont() const { return m_textFont; }
    void setTextFont(QString font);
    const StampKind& stampKind() const { return m_stampKind; }
    void setStampKind(StampKind kind);
    const qint64& nextStampNumber() const { return m_nextStampNumber; }
    void setNextStampNumber(qint64 number);
    const bool& spotEllipse() const { return m_spotEllipse; }
    void setSpotEllipse(bool ellipse);
    const double& spotDim() const { return m_spotDim; }
    void setSpotDim(double dim);
    const QString& stickerEmoji() const { return m_stickerEmoji; }
    void setStickerEmoji(QString emoji);
    const ObscureStyle& obscureStyle() const { return m_obscureStyle; }
    void setObscureStyle(ObscureStyle style);
    const double& obscureStrength() const { return m_obscureStrength; }
    void setObscureStrength(double strength);
    const double& highlightOpacity() const { return m_highlightOpacity; }
    void setHighlightOpacity(double opacity);
    const bool& arrowCurved() const { return m_arrowCurved; }
    void setArrowCurved(bool curved);
    const double& magnifierZoom() const { return m_magnifierZoom; }
    void setMagnifierZoom(double zoom);
    const bool& magnifierRound() const { return m_magnifierRound; }
    void setMagnifierRound(bool round);

    const platform::BaseImage& image() const { return m_image; }
    void setImage(platform::BaseImage image);
    const bool& isCropping() const { return m_isCropping; }
    void setIsCropping(bool cropping);
    const bool& isResizing() const { return m_isResizing; }
    void setIsResizing(bool resizing);
    const bool& isSharpening() const { return m_isSharpening; }
    void setIsSharpening(bool sharpening);
    const bool& hasUnsavedChanges() const { return m_hasUnsavedChanges; }
    void setHasUnsavedChanges(bool unsaved);
    // The document package this window was opened from or saved to; empty when there is none.
    const QUrl& documentURL() const { return m_documentURL; }
    void setDocumentURL(QUrl url);
    const QRectF& cropRect() const { return m_cropRect; }
    void setCropRect(QRectF rect);
    const std::optional<FrameStyle>& frame() const { return m_frame; }
    // Plain assignment, recording nothing (opening a document). Edits use setFrame().
    void assignFrame(std::optional<FrameStyle> frame);
    const std::optional<Watermark>& watermark() const { return m_watermark; }
    // Plain assignment, recording nothing (opening a document). Edits use setWatermark().
    void assignWatermark(std::optional<Watermark> watermark);
    const CropAspect& cropAspect() const { return m_cropAspect; }
    void setCropAspectValue(CropAspect aspect);
    const bool& cropLock() const { return m_cropLock; }
    void setCropLock(bool lock);

    // Conveniences over setAnnotations() for the canvas: each publishes the whole new list.
    void appendAnnotation(const Annotation& annotation);
    void replaceAnnotation(qsizetype index, const Annotation& annotation);

    // ---- selection and tools -----------------------------------------------------------------
    // A copy of the selected annotation; none when nothing (or a vanished id) is selected.
    std::optional<Annotation> selected() const;
    std::optional<qsizetype> indexOf(const QUuid& id) const;
    // The topmost annotation containing `point` (image points).
    std::optional<Annotation> annotationAt(QPointF point) const;
    // Applies `mutation` to a copy of the selected annotation and stores it when it changed,
    // opening an undo step first when `recordingUndo` is true. An unchanged copy records and
    // publishes nothing.
    void updateSelection(bool recordingUndo, const std::function<void(Annotation&)>& mutation);
    // Carries the tool settings that belong to the selected annotation's kind onto it. Colour
    // and line width are never carried.
    void applyStyleToSelection(bool recordingUndo);
    // The mutation of the magnifier-shape control: a round loupe that is a square of the shorter
    // side about the same centre.
    static void squareMagnifier(Annotation& annotation);
    void activate(Tool tool);
    // Applies a saved style to the tool settings and, when it fits, to the selected annotation
    // (one undo step, only if the annotation changes).
    void apply(const SavedStyle& style, Tool tool);

    // ---- change recording, undo and redo -----------------------------------------------------
    static constexpr int maxUndoSteps = 100;
    // Records one undo step: the document content as it is now. Call before changing anything.
    void beginChange();
    // Takes back the step that the last beginChange() opened, after removing every annotation
    // with the id `removing`. The step is dropped only while it is still the newest: if it was
    // undone (or otherwise left the top) in between, no unrelated step is discarded.
    void cancelLastChange(std::optional<QUuid> removing = std::nullopt);
    void deleteSelected();
    void setFrame(std::optional<FrameStyle> frame, bool recordingUndo);
    void setWatermark(std::optional<Watermark> watermark, bool recordingUndo);
    void undo();
    void redo();
    bool canUndo() const { return !m_undoStack.empty(); }
    bool canRedo() const { return !m_redoStack.empty(); }
    int undoCount() const { return static_cast<int>(m_undoStack.size()); }
    int redoCount() const { return static_cast<int>(m_redoStack.size()); }
    // The image left the application (copied, exported): a window without a document location
    // counts as saved from now on.
    void markExported();

    // ---- pixel geometry --------------------------------------------------------------------
    // The read-outs that flattening uses are also pure functions of what they read, so a
    // snapshot of the store taken for work off the GUI thread answers exactly as the store does.
    QSize pixelDimensions() const { return pixelDimensions(m_image); }
    static QSize pixelDimensions(const platform::BaseImage& image);
    int dpi() const;
    // Pixels per point, at least 1.
    double pixelScale() const { return pixelScale(m_image); }
    static double pixelScale(const platform::BaseImage& image);
    FrameLayout frameLayout() const { return frameLayout(m_image, m_frame); }
    static FrameLayout frameLayout(const platform::BaseImage& image,
                                   const std::optional<FrameStyle>& frame);
    // Whether the document is presented in a frame composition (background, padding, shadow,
    // watermark) rather than as the bare image: it has a frame, or a watermark that shows.
    bool hasPresentation() const { return hasPresentation(m_frame, m_watermark); }
    static bool hasPresentation(const std::optional<FrameStyle>& frame,
                                const std::optional<Watermark>& watermark);
    std::optional<double> activeRatio() const;

    // ---- image operations (each successful one is one undo step) ----------------------------
    void beginCrop();
    void setCropAspect(CropAspect aspect);
    void setCropWidth(double width);
    void setCropHeight(double height);
    void applyCrop();
    void rotate(bool clockwise);
    void flipHorizontal() { flip(true); }
    void flipVertical() { flip(false); }
    void resize(int pixelWidth, int pixelHeight);
    void sharpen(double amount);

    // The image functions behind them: a new image, or none when the input has no pixels or
    // the work fails. The input is never changed.
    static std::optional<platform::BaseImage> cropImage(const platform::BaseImage& image,
                                                        const QRectF& rect);
    static std::optional<platform::BaseImage> rotateImage(const platform::BaseImage& image,
                                                          bool clockwise);
    static std::optional<platform::BaseImage> flipImage(const platform::BaseImage& image,
                                                        bool horizontal);
    static std::optional<platform::BaseImage> scaleImage(const platform::BaseImage& image,
                                                         QSizeF pixels, QSizeF logicalSize);
    static std::optional<platform::BaseImage> sharpened(const platform::BaseImage& image,
                                                        double amount);

signals:
    void willChange();
    void annotationsChanged(const AnnotationStore::Annotations& annotations);
    void selectedIDChanged(const std::optional<QUuid>& id);
    void toolChanged(const snapkin::Tool& tool);
    void colorHexChanged(const QString& hex);
    void lineWidthChanged(const double& width);
    void rectFilledChanged(const bool& filled);
    void ellipseFilledChanged(const bool& filled);
    void arrowDoubleHeadedChanged(const bool& doubleHeaded);
    void arrowHeadChanged(const snapkin::ArrowHeadStyle& head);
    void textSizeChanged(const double& size);
    void textBoldChanged(const bool& bold);
    void textItalicChanged(const bool& italic);
    void textFontChanged(const QString& font);
    void stampKindChanged(const snapkin::StampKind& kind);
    void nextStampNumberChanged(const qint64& number);
    void spotEllipseChanged(const bool& ellipse);
    void spotDimChanged(const double& dim);
    void stickerEmojiChanged(const QString& emoji);
    void obscureStyleChanged(const snapkin::ObscureStyle& style);
    void obscureStrengthChanged(const double& strength);
    void highlightOpacityChanged(const double& opacity);
    void arrowCurvedChanged(const bool& curved);
    void magnifierZoomChanged(const double& zoom);
    void magnifierRoundChanged(const bool& round);
    void imageChanged(const snapkin::platform::BaseImage& image);
    void isCroppingChanged(const bool& cropping);
    void isResizingChanged(const bool& resizing);
    void isSharpeningChanged(const bool& sharpening);
    void hasUnsavedChangesChanged(const bool& unsaved);
    void documentURLChanged(const QUrl& url);
    void cropRectChanged(const QRectF& rect);
    void frameChanged(const std::optional<snapkin::FrameStyle>& frame);
    void watermarkChanged(const std::optional<snapkin::Watermark>& watermark);
    void cropAspectChanged(const snapkin::CropAspect& aspect);
    void cropLockChanged(const bool& lock);

private:
    void flip(bool horizontal);
    struct Snapshot {
        Annotations annotations;
        platform::BaseImage image;
        qint64 nextStampNumber = 1;
        std::optional<FrameStyle> frame;
        std::optional<Watermark> watermark;
        std::uint64_t step = 0; // which beginChange() made it; 0 for undo/redo swaps
    };

    Snapshot currentSnapshot() const;
    void restore(const Snapshot& snapshot);
    void swapSnapshot(std::vector<Snapshot>& from, std::vector<Snapshot>& to);
    void readSettings(const platform::Defaults& settings);
    // Moves every annotation point through `map`, then lets `adjust` turn what else turns with
    // the image (image operations).
    void transformAnnotations(const std::function<QPointF(QPointF)>& map,
                              const std::function<void(Annotation&)>& adjust = {});

    Annotations m_annotations;
    std::optional<QUuid> m_selectedID;
    Tool m_tool = Tool::arrow;
    QString m_colorHex = QStringLiteral("#FF3366");
    double m_lineWidth = 20;
    bool m_rectFilled = false;
    bool m_ellipseFilled = false;
    bool m_arrowDoubleHeaded = false;
    ArrowHeadStyle m_arrowHead = ArrowHeadStyle::tapered;
    double m_textSize = 18;
    bool m_textBold = false;
    bool m_textItalic = false;
    QString m_textFont;
    StampKind m_stampKind = StampKind::check;
    qint64 m_nextStampNumber = 1;
    bool m_spotEllipse = true;
    double m_spotDim = 0.5;
    QString m_stickerEmoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // U+1F600 grinning face
    ObscureStyle m_obscureStyle = ObscureStyle::pixelate;
    double m_obscureStrength = 1.0;
    double m_highlightOpacity = 0.45;
    bool m_arrowCurved = false;
    double m_magnifierZoom = 2.0;
    bool m_magnifierRound = true;
    platform::BaseImage m_image;
    bool m_isCropping = false;
    bool m_isResizing = false;
    bool m_isSharpening = false;
    bool m_hasUnsavedChanges = false;
    QUrl m_documentURL;
    QRectF m_cropRect;
    std::optional<FrameStyle> m_frame;
    std::optional<Watermark> m_watermark;
    CropAspect m_cropAspect = CropAspect::free;
    bool m_cropLock = false;

    std::vector<Snapshot> m_undoStack; // oldest first
    std::vector<Snapshot> m_redoStack; // oldest first
    std::uint64_t m_lastStep = 0;      // the step of the newest beginChange()
};

} // namespace snapkin
