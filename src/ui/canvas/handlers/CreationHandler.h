#pragma once

#include "canvas/handlers/CanvasState.h"
#include "model/Tool.h"

#include <QImage>
#include <QSizeF>

class QWidget;

namespace snapkin {

class AnnotationStore;
class ImagePicker;
class TextEditing;

// Turns presses and drags of the creation tools into new annotations. Drag tools make a draft
// at the drag's first event, reshape it while the pointer moves and keep or take it back at
// release; tap tools place one annotation when the press ends. Every creation is one undo
// step and selects what it made; none changes the tool.
class CreationHandler {
public:
    CreationHandler(AnnotationStore& store, CanvasState& state, TextEditing& textEditing);

    // A drag event of a drag tool: creates the draft at the first event, reshapes it after.
    void createChanged(const DragValue& drag, Tool tool);
    // The end of a drag-tool drag: keeps, completes or takes back the draft.
    void createEnded();

    void textTap(const DragValue& drag);
    void stampTap(const DragValue& drag);
    void stickerTap(const DragValue& drag);
    // Asks `picker` for an image file and places it centred on the press; a file refused for
    // the memory it would take goes back to `picker` to tell.
    void imageTap(const DragValue& drag, ImagePicker* picker, QWidget* dialogParent);

    // Thresholds, in image points.
    static constexpr double smallestKeptDrag = 4;
    static constexpr double tapTolerance = 6;
    static constexpr double defaultLoupe = 160;
    static constexpr double stampSide = 40;
    static constexpr double stickerSide = 44;
    static constexpr double stickerFontSize = 35.2;
    static constexpr double placedImageSide = 320;
    static constexpr const char* highlightColor = "#FFD60A";
    static constexpr const char* stickerColor = "#FF3366";

    // The box of a placed image of `pointSize`: the longer side at most placedImageSide,
    // never enlarged.
    static QSizeF placedImageSize(QSizeF pointSize);
    // The pixels a placed image keeps: `image` in sRGB. An image without a profile or already
    // in sRGB comes back as it is, sharing its pixels; null when a conversion found no memory.
    static QImage placedImagePixels(QImage image);

private:
    void place(Annotation annotation);

    AnnotationStore& m_store;
    CanvasState& m_state;
    TextEditing& m_textEditing;
};

} // namespace snapkin
