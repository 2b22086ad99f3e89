#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace snapkin {

// Merges a run of edits that arrive without a gesture around them (colour-dialog updates,
// arrow keys or the wheel on a slider) into one undo step: an edit opens a new step when more
// than one second has passed since the previous edit, and joins the current one otherwise
// (exactly one second joins). The window is measured from the previous edit, not from the
// first, so a long run without a pause is one step. The very first edit always opens a step.
class ChangeCoalescer {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds window{1000};

    // The clock defaults to the steady clock; tests pass their own.
    explicit ChangeCoalescer(Clock clock = {});

    // Notes an edit now and answers whether it opens a new undo step.
    bool opensStep();
    // Forgets the previous edit, so the next one opens a step (a drag came in between).
    void reset() { m_last.reset(); }

private:
    Clock m_clock;
    std::optional<std::chrono::steady_clock::time_point> m_last;
};

} // namespace snapkin
