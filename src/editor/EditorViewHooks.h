#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class EditorView;

// What an editor page asks of the layers above the editor: the Selectable Text overlay, text
// copying and new captures. Each is installed once at start-up; a page built before, or
// without, one does without it (no overlay, Copy Text and the capture entries disabled).
struct EditorViewHooks {
    // Attaches the Selectable Text overlay to a new page; it follows the page's
    // selectableTextRefresh() signal.
    std::function<void(EditorView& view)> selectableText;
    // Copies the text recognised in the page's image (the toolbar's Copy Text).
    std::function<void(AnnotationStore& store, QWidget* parent)> copyText;

    // The New Capture menu's requests, served by the capture service.
    enum class CaptureKind { region, window, fullScreen };
    std::function<void(CaptureKind kind)> capture;
    std::function<void()> openImage;

    static EditorViewHooks& shared();
};

} // namespace snapkin
