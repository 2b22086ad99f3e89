#pragma once

#include "canvas/CanvasStillLayer.h"
#include "canvas/RenderCaches.h"
#include "ui/canvas/handlers/CanvasInteraction.h"
#include "ui/canvas/handlers/InlineTextField.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

namespace snapkin {

class AnnotationStore;
class ImagePicker;

// The interactive canvas of an editor window: the store's base image with its annotations and
// the selection, shown at the editor's zoom, turning the pointer and keys into edits of the
// store. Everything it does is in image points; the zoom only maps them to the screen. The
// editor places it in its scroll area (which owns the zoom wheel and the cursor).
//
// Input goes to a CanvasInteraction, which holds the gesture and its handlers; this widget
// paints, maps coordinates and hosts the inline text field.
class CanvasView : public QWidget {
    Q_OBJECT
public:
    // `store` must outlive the view (the editor's window owns both).
    explicit CanvasView(AnnotationStore& store, QWidget* parent = nullptr);
    ~CanvasView() override;

    AnnotationStore& store() const { return m_store; }
    CanvasInteraction& interaction() { return m_interaction; }

    // Screen pixels per image point (the editor's zoom scale; 1 = actual size).
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);

    // Where the image tool asks for a file; not owned. Null restores Qt's open dialog.
    void setImagePicker(ImagePicker* picker);

    // The field of the open in-place edit; null when none is open.
    InlineTextField* inlineTextField() const { return m_field; }
    // Opens the in-place edit of `field` of the annotation `id` and shows its field; nothing
    // happens when the annotation is absent. `isNew`: the annotation was just made.
    void beginTextEditing(const QUuid& id, bool isNew, EditField field);

    QPointF toImagePoint(QPointF widgetPoint) const { return widgetPoint / m_zoom; }
    QSize sizeHint() const override;

    // How long after the last zoom change the shrunk image is made afresh.
    static constexpr int reshrinkDelayMs = 150;
    // How long after a zoom step has been shown stretched the sharp picture is made.
    static constexpr int sharpenDelayMs = 0;
    // From how many pixels an image is first shown quickly (stretched) and then smoothly.
    static constexpr qint64 quickFirstPixels = 4'000'000;
    // True while the view shows a quick picture that a sharp one replaces on the next turn: a
    // zoom step stretched from the picture made before it, or a large image's first showing.
    bool showsStandIn() const { return !m_standIn.isNull() || m_sharpen.isActive(); }
    // True while a picture of a very long pen stroke is being made off this thread; the view
    // draws each part in as it comes.
    bool makesStrokePictures() const { return m_caches.strokePictures().busy(); }
    // The part of the view whose still picture is kept (empty before the first paint).
    QRect stillPictureArea() const { return m_still.area(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Brings the view in line with the store after input: the inline field, the size.
    void afterInput();
    // Repaints what changed since the last call: the areas of the annotations that changed and
    // of the selection, or everything when the image or the layering changed.
    void refresh();
    void scheduleRefresh();
    void syncInlineField();
    void scheduleSync();
    void updateSize();
    // Ends editing in any other text field of the window, as a press on the canvas should.
    void endOtherFieldEditing();
    // The base image as it lands on the device, when the zoom shrinks it; null otherwise.
    // While zooming it may be the copy made for the previous zoom (`stretched`), to be drawn
    // over the view's size; a fresh copy is made once zooming pauses.
    const QImage& shrunkImage(qreal devicePixelRatio, bool& stretched);
    // The annotations as drawn: without the one edited in place.
    QList<Annotation> shownAnnotations() const;
    // The index in `shown` of the mark being dragged, when it can be drawn over a picture of
    // what lies below it (no lens or spotlight depends on it).
    std::optional<qsizetype> movingIndex(const QList<Annotation>& shown) const;
    // The background, the base image and `annotations`, within the painter's clip.
    void paintScene(QPainter& painter, const QList<Annotation>& annotations, const QImage& shrunk,
                    bool stretched);

    AnnotationStore& m_store;
    CanvasInteraction m_interaction;
    std::unique_ptr<ImagePicker> m_defaultPicker;
    double m_zoom = 1;
    QPointer<InlineTextField> m_field;
    // What the renderer keeps between this view's paints (no other view or thread uses it).
    RenderCaches m_caches;
    // The picture of what lies below the mark being dragged (or of everything, between drags).
    CanvasStillLayer m_still;
    // The still picture from before a zoom step, shown stretched until the sharp one is made.
    CanvasStillLayer::StandIn m_standIn;
    QList<Annotation> m_standInShows;
    std::uint64_t m_standInSerial = 0;
    // The stand-in of the lowest zoom stepped in from (the picture at fit, usually: all of the
    // canvas), kept while zoomed in above it and the scene is unchanged. A step back out uncovers
    // more than the picture before it held; this covers the rest, stretched, in one copy instead
    // of drawing the image and every mark that reaches there.
    CanvasStillLayer::StandIn m_overview;
    QList<Annotation> m_overviewShows;
    std::uint64_t m_overviewSerial = 0;
    QTimer m_sharpen;
    // What was last asked to be painted, to tell what a change touches.
    struct Shown {
        QList<Annotation> annotations;
        QRectF selection; // the selection outline and handles, in image points
        std::uint64_t serial = 0;
        QSizeF points;
        bool valid = false;
    };
    Shown shownNow() const;
    Shown m_shown;
    bool m_refreshScheduled = false;
    bool m_syncScheduled = false;

    // Shrinking a large capture smoothly on every repaint costs more than the rest of the
    // frame, so the shrunk copy is kept until the image, the zoom or the screen changes.
    struct ShrunkImage {
        std::uint64_t serial = 0;
        QSize deviceSize;
        qreal devicePixelRatio = 0;
        QImage image;
    };
    ShrunkImage m_shrunk;
    QTimer m_reshrink;
    bool m_reshrinkDue = false;
    // The image halved, quartered, …, made once per image as zooming out needs them: a zoom
    // step then shrinks from the nearest larger level instead of the full image.
    struct HalvedImages {
        std::uint64_t serial = 0;
        std::vector<QImage> levels;
    };
    HalvedImages m_halved;
    // The smallest of the image and its halvings that still has at least `deviceSize` pixels.
    const QImage& shrinkSource(QSize deviceSize);
};

} // namespace snapkin
