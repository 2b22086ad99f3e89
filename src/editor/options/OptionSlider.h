#pragma once

#include "editor/options/ChangeCoalescer.h"

#include <QSlider>

#include <functional>

namespace snapkin {

// A horizontal slider over a range of doubles (kept as 1000 integer steps) that edits one
// value of the document with sound undo grouping:
// - a mouse drag opens one undo step when the handle is pressed (`onDragBegin`) and writes
//   every value of the drag without recording;
// - keyboard, wheel and groove clicks arrive without a press: each is written recording an
//   undo step, except that a run of them less than a second apart joins one step.
// Values shown from the document (`showValue`) are never written back.
class OptionSlider : public QSlider {
    Q_OBJECT
public:
    static constexpr int steps = 1000;

    // `onEdit(value, recordingUndo)` writes a value the user chose.
    OptionSlider(double minimum, double maximum, QWidget* parent = nullptr);

    std::function<void()> onDragBegin;
    std::function<void(double value, bool recordingUndo)> onEdit;

    // The value the slider shows now.
    double doubleValue() const { return m_minimum + (m_maximum - m_minimum) * value() / steps; }
    // Shows `value` (clamped to the range) without writing it; ignored while the handle is
    // held, so a drag is never moved by the values it writes itself.
    void showValue(double value);
    // Replaces the clock of the keyboard and wheel grouping (tests).
    void setClock(ChangeCoalescer::Clock clock) { m_coalescer = ChangeCoalescer(std::move(clock)); }

private:
    void valueEdited(int position);

    double m_minimum;
    double m_maximum;
    bool m_showing = false;
    ChangeCoalescer m_coalescer;
};

} // namespace snapkin
