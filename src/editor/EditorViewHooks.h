#pragma once

#include "model/Tool.h"

#include <QObject>

#include <functional>

class QDialog;
class QWidget;

namespace snapkin {

class AnnotationStore;
class EditorView;
class EditorZoom;

// What the tool-key monitor calls back: a tool letter, the help key, and whether keys count
// now (not while a crop is being set).
struct ToolKeyHandlers {
    std::function<void(Tool)> onTool;
    std::function<void()> onHelp;
    std::function<bool()> isEnabled;
};

// The parts of an editor page that other parts of the application provide: the per-tool
// options bar, the crop overlay, the tool-key monitor, the three sheets and the Selectable
// Text overlay. Each is installed once at start-up; a page built before, or without, one does
// without it (no options in the bar, the bare image while cropping, no tool letters, a sheet
// request dropped at once).
struct EditorViewHooks {
    // The options bar's content for a page; parented to `parent`.
    std::function<QWidget*(AnnotationStore& store, QWidget* parent)> optionsBar;
    // The crop overlay, drawn over the bare image at the zoom's scale; sized by the page.
    std::function<QWidget*(AnnotationStore& store, EditorZoom& zoom, QWidget* parent)> cropView;
    // Starts watching single tool keys for `view` (owned by `view`).
    std::function<void(QWidget& view, ToolKeyHandlers handlers)> toolKeyMonitor;
    // The sheets, opened window-modal over the page while the store asks for them; the page
    // clears the request when the dialog finishes.
    std::function<QDialog*(AnnotationStore& store, QWidget* parent)> resizeSheet;
    std::function<QDialog*(AnnotationStore& store, QWidget* parent)> sharpenSheet;
    std::function<QDialog*(AnnotationStore& store, QWidget* parent)> shortcutsSheet;
    // Attaches the Selectable Text overlay to a new page; it follows the page's
    // selectableTextRefresh() signal.
    std::function<void(EditorView& view)> selectableText;
    // Copies the text recognised in the page's image (the toolbar's Copy Text).
    std::function<void(AnnotationStore& store, QWidget* parent)> copyText;

    // The New Capture menu's requests, served by the capture service and the collage maker.
    enum class CaptureKind { region, window, fullScreen };
    enum class CollageLayout { sideBySide, stacked };
    std::function<void(CaptureKind kind)> capture;
    std::function<void()> openImage;
    std::function<void(CollageLayout layout)> newCollage;

    static EditorViewHooks& shared();
};

// Requests addressed to one editor page by its store, from anywhere in the application (the
// Help menu asks the key editor to show its keyboard shortcuts). Every page hears each
// request and acts only when the target is its own store, compared by identity.
class EditorRequests : public QObject {
    Q_OBJECT
public:
    static EditorRequests& shared();

signals:
    // `target` is the store of the editor that should show its shortcuts sheet; any other
    // object, or none, reaches no editor.
    void showKeyboardShortcuts(QObject* target);
};

} // namespace snapkin
