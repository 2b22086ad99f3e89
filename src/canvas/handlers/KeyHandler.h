#pragma once

#include <Qt>

namespace snapkin {

class AnnotationStore;

// The canvas's own keys: the arrow keys nudge the selected annotation by 1 point, or 10 with
// Shift, each press one undo step. Every other key is left to the rest of the window.
class KeyHandler {
public:
    explicit KeyHandler(AnnotationStore& store);

    // Returns whether the press was handled. Auto-repeat presses must not reach it.
    bool handleKeyPress(int key, Qt::KeyboardModifiers modifiers);
    // Whether handleKeyPress would act on `key` now (used to swallow auto-repeats of a key the
    // canvas owns, so they do not scroll the view around it).
    bool handles(int key) const;

    static constexpr double step = 1;
    static constexpr double shiftStep = 10;

private:
    AnnotationStore& m_store;
};

} // namespace snapkin
