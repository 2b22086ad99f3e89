#pragma once

#include <functional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class EditorView;
class EditorWindowController;
class SavedStyles;

// What an editor page is given by whoever makes it (the application gives every page the
// same): the saved-styles library, and what the page asks of the layers above the editor. A
// page without a hook does without it: no Selectable Text overlay, Copy Text and the capture
// entries disabled.
struct EditorViewHooks {
    // The library the style menus list and save to, shared by every page so that a style saved
    // in one window is offered in the others; it must outlive the page. None: the page keeps
    // its own over the standard settings.
    SavedStyles* savedStyles = nullptr;

    // The Selectable Text overlay: attaches itself to a new page and follows the page's
    // selectableTextRefresh() signal.
    std::function<void(EditorView& view)> selectableText;
    // Text copying: copies the text recognised in the page's image (the toolbar's Copy Text).
    std::function<void(AnnotationStore& store, QWidget* parent)> copyText;

    // The capture service: the New Capture menu's captures and Open Image.
    enum class CaptureKind { region, window, fullScreen };
    std::function<void(CaptureKind kind)> capture;
    std::function<void()> openImage;

    // The editors the page is one of (the controller that made it gives itself): where the New
    // Capture menu's Blank Canvas and collages open. None: those entries do nothing.
    EditorWindowController* editors = nullptr;
};

} // namespace snapkin
