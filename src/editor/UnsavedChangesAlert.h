#pragma once

class QWidget;

namespace snapkin {

class AnnotationStore;
class ExportDialogs;

enum class UnsavedChangesDecision {
    close,     // the page may close, or quitting may go on
    discarded, // the same, after "Don't Save" let its changes go
    keepOpen,  // the page stays; quitting stops
};

// The question asked before an editor page with unsaved annotations closes, and for each such
// page when the application quits: "Save…" (the default, Return), "Cancel" (Escape) or
// "Don't Save" (Ctrl+D). Application-modal; it returns once answered.
class UnsavedChangesAlert {
public:
    UnsavedChangesAlert() = delete;

    // Closes at once when the store has no unsaved changes. "Save…" exports the image; the
    // page closes only when the store is clean afterwards, so a page bound to a document whose
    // package was not written stays open. "Don't Save" clears the store's flag.
    static UnsavedChangesDecision run(ExportDialogs& exports, AnnotationStore& store,
                                      QWidget* parent = nullptr);
};

} // namespace snapkin
