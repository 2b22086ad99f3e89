#pragma once

#include <functional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class EditorView;

// What an editor page asks of the layers above the editor, given to the page by whoever makes
// it (the application gives every page the same). A page without one does without it: no
// Selectable Text overlay, Copy Text and the capture entries disabled.
struct EditorViewHooks {
    // The Selectable Text overlay: attaches itself to a new page and follows the page's
    // selectableTextRefresh() signal.
    std::function<void(EditorView& view)> selectableText;
    // Text copying: copies the text recognised in the page's image (the toolbar's Copy Text).
    std::function<void(AnnotationStore& store, QWidget* parent)> copyText;

    // The capture service: the New Capture menu's captures and Open Image.
    enum class CaptureKind { region, window, fullScreen };
    std::function<void(CaptureKind kind)> capture;
    std::function<void()> openImage;
};

} // namespace snapkin
